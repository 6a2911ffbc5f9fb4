#include "engine/ResizeAlgorithm.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(RatioClass, WholeRatiosInBothDirectionsOnly) {
    struct Case {
        int dw, dh, sw, sh, expected;
    };
    for (const Case c : {Case{200, 200, 100, 100, 1}, Case{250, 200, 100, 100, 2}, Case{50, 50, 100, 100, 2},
                         Case{100, 100, 100, 100, 1}, Case{300, 100, 100, 100, 1}, Case{300, 150, 100, 100, 2}})
        EXPECT_EQ(RatioClass(c.dw, c.dh, c.sw, c.sh), c.expected) << c.dw << "x" << c.dh << " from " << c.sw << "x" << c.sh;
}

TEST(ResizeAlgorithmTable, NamesAndRoutines) {
    EXPECT_EQ(kResizeAlgorithms[0].selectorText, "Nearest Neighbor");
    EXPECT_EQ(kResizeAlgorithms[0].descriptionName, "Nearest Neighbor");
    EXPECT_EQ(kResizeAlgorithms[8].selectorText, "Advanced for Artificial Scenes");
    EXPECT_EQ(kResizeAlgorithms[8].descriptionName, "KARVO for Artificial Scenes");
    EXPECT_EQ(kResizeAlgorithms[9].descriptionName, "KARVO Super-Resolution");
    EXPECT_EQ(kResizeAlgorithms[5].window, kWindowFromRatioClass);
    EXPECT_EQ(kResizeAlgorithms[7].kernelMode, 4);
    EXPECT_EQ(kResizeAlgorithms[6].routine, ResizeRoutine::CubicRange);
    EXPECT_TRUE(kResizeAlgorithms[8].flag);
    EXPECT_FALSE(kResizeAlgorithms[9].flag);
}

TEST(ResizeAlgorithmTable, OutOfRangeIndexTakesTheDefault) {
    EXPECT_EQ(ValidResizeAlgorithm(42), 4);
    EXPECT_EQ(ValidResizeAlgorithm(-1), 4);
    EXPECT_EQ(ValidResizeAlgorithm(9), 9);
}

}  // namespace
}  // namespace kv
