#include "engine/StageCount.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(StageCountTest, PassesPerChannel) {
    struct Case {
        double min, max;
        int lanczos, cubic;
    };
    const Case cases[] = {
        {0.4, 0.4, 6, 6},  // area rows and columns, two sharpenings
        {1, 1, 4, 4},      // copy, kernel, sharpening, copy
        {1.5, 1.5, 3, 3},  // no sharpening at exactly 1.5
        {0.4, 1.5, 4, 4},
        {1.2, 4, 9, 7},    // the 1.5 intermediate, its area pass and the sharpening
        {1.5, 4, 8, 6},    // intermediate but no sharpening
        {2.5, 2.5, 7, 4},  // cubic: no blur below 3
        {3, 3, 7, 5},
        {1.2, 2.5, 9, 6},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lanczos::StageCount(c.min, c.max), c.lanczos) << c.min << " " << c.max;
        EXPECT_EQ(cubic::StageCount(c.min, c.max), c.cubic) << c.min << " " << c.max;
    }
}

}  // namespace
}  // namespace kv
