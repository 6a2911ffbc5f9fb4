#include "engine/SharpenPlane.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "RangeResizeSupport.h"

namespace kv {
namespace {

using test::RecordingSink;
using testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

TEST(SharpenPlaneTest, InteriorOnlyWithTruncationAndClamping) {
    // 5 x 3: the interior row has three pixels, each with its own 3x3 mean.
    Bytes plane{100, 100, 100, 100, 100,  //
                100, 190, 10, 250, 100,   //
                100, 100, 100, 100, 100};
    RecordingSink sink;
    ASSERT_TRUE(SharpenPlane(plane.data(), 5, 3, 25, &sink));
    // 190: mean 900 / 9 = 100, (19000 - 2500) / 75 = 220
    // 10: mean 1050 / 9 = 116, (1000 - 2900) / 75 = -25.3 -> -25 -> 0
    // 250: mean 960 / 9 = 106, (25000 - 2650) / 75 = 298 -> 255
    EXPECT_THAT(plane, ElementsAre(100, 100, 100, 100, 100, 100, 220, 0, 255, 100, 100, 100, 100, 100, 100));
    EXPECT_THAT(sink.values, ElementsAre(50));
}

TEST(SharpenPlaneTest, EveryPixelReadsTheOriginalNeighbourhood) {
    // Tall enough for many bands; each band must still read the rows above it unsharpened.
    const int w = 57, h = 131;
    const Bytes before = test::NoisyBytes(w * h, 15, w);
    Bytes plane = before;
    ASSERT_TRUE(SharpenPlane(plane.data(), w, h, 21, nullptr));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int expected = before[y * w + x];
            if (y > 0 && y < h - 1 && x > 0 && x < w - 1) {
                int sum = 0;
                for (int j = -1; j <= 1; ++j)
                    for (int i = -1; i <= 1; ++i) sum += before[(y + j) * w + x + i];
                expected = std::clamp((100 * before[y * w + x] - 21 * (sum / 9)) / 79, 0, 255);
            }
            ASSERT_EQ(plane[y * w + x], expected) << x << "," << y;
        }
}

TEST(SharpenPlaneTest, ReportsInteriorRowsAndLeavesThinPlanesAlone) {
    Bytes plane = test::NoisyBytes(6 * 5, 7);
    RecordingSink sink;
    ASSERT_TRUE(SharpenPlane(plane.data(), 6, 5, 26, &sink));
    EXPECT_THAT(sink.values, ElementsAre(25, 50, 75));

    for (const int rows : {1, 2}) {
        const Bytes thin = test::NoisyBytes(9 * static_cast<size_t>(rows), 8);
        Bytes out = thin;
        RecordingSink quiet;
        ASSERT_TRUE(SharpenPlane(out.data(), 9, rows, 26, &quiet));
        EXPECT_EQ(out, thin);
        EXPECT_TRUE(quiet.values.empty());
    }
}

}  // namespace
}  // namespace kv
