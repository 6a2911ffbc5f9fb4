#include "engine/RangeClamp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "RangeResizeSupport.h"

namespace kv {
namespace {

using test::RecordingSink;
using testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

TEST(RangeClampTest, FlatGuideGivesTheGuide) {
    const Bytes plane = test::NoisyBytes(12 * 9, 4);
    const Bytes guide(12 * 9, 77);
    Bytes out = plane;
    ASSERT_TRUE(RangeClamp(out.data(), guide.data(), 12, 9, 4, 4, 2, 2, 3.678571, nullptr));
    EXPECT_EQ(out, guide);
}

TEST(RangeClampTest, StretchesAwayFromTheMiddleAndClipsToTheRange) {
    // Guide 0 | 200 over a row of 8, window 5 wide: every pixel sees both sides (the edge pixels
    // through the window of their nearest interior pixel), so mid 100, t 100 and, with strength 1
    // and ratios 1, gain 50. A pixel 1 from the middle moves 50; 3 from it would land at 250 and
    // is clipped to the range instead.
    const Bytes guide{0, 0, 0, 0, 200, 200, 200, 200};
    Bytes plane{101, 99, 103, 97, 100, 102, 98, 250};
    ASSERT_TRUE(RangeClamp(plane.data(), guide.data(), 8, 1, 4, 1, 1, 1, 1.0, nullptr));
    EXPECT_THAT(plane, ElementsAre(150, 50, 200, 0, 100, 200, 0, 200));
}

TEST(RangeClampTest, SmallRangesKeepTheGuideAndWindowsFollowTheNearestInteriorPixel) {
    // Gain ((t / 1) / 1) * 0.5 reaches 1 only from t = 2 on: a range of 0..2 (t 1) gives the guide.
    const Bytes guide{0, 2, 2, 2, 2, 2, 2, 120};
    Bytes plane{5, 5, 5, 5, 5, 5, 5, 5};
    ASSERT_TRUE(RangeClamp(plane.data(), guide.data(), 8, 1, 2, 1, 1, 1, 1.0, nullptr));
    // Windows of 3: pixels 0..1 see 0..2 (t 1, the guide), pixels 6..7 see 2..120 (mid 61, t 59,
    // gain 29.5): 5 lies far below the middle and is clipped to 2.
    EXPECT_THAT(plane, ElementsAre(0, 2, 2, 2, 2, 2, 2, 2));
}

TEST(RangeClampTest, WindowLargerThanThePlaneTakesTheWholeRow) {
    // Three columns cannot hold a window of 9: each row's range is the whole row, so the middle
    // pixel of 0, 40, 200 stretches against 0..200 like its neighbours.
    const Bytes guide{0, 40, 200, 0, 40, 200};
    Bytes plane = guide;
    ASSERT_TRUE(RangeClamp(plane.data(), plane.data(), 3, 2, 8, 1, 1, 1, 1.0, nullptr));
    EXPECT_THAT(plane, ElementsAre(0, 0, 200, 0, 0, 200));
    // The same along a column.
    Bytes column{0, 40, 200};
    ASSERT_TRUE(RangeClamp(column.data(), column.data(), 1, 3, 1, 8, 1, 1, 1.0, nullptr));
    EXPECT_THAT(column, ElementsAre(0, 0, 200));
}

TEST(RangeClampTest, SelfGuidedReadsThePlaneAsItWas) {
    // With the plane as its own guide, a result written early must not shrink a later window.
    const Bytes before = test::NoisyBytes(40 * 30, 5, 40);
    Bytes self = before;
    ASSERT_TRUE(RangeClamp(self.data(), self.data(), 40, 30, 6, 6, 3, 3, 1.0, nullptr));
    Bytes separate = before;
    ASSERT_TRUE(RangeClamp(separate.data(), before.data(), 40, 30, 6, 6, 3, 3, 1.0, nullptr));
    EXPECT_EQ(self, separate);
    EXPECT_NE(self, before);
}

// The step by its definition, window by window, pixel by pixel.
Bytes RangeClampByDefinition(const Bytes& plane, const Bytes& guide, int w, int h, int kx, int ky, double wr,
                             double hr, double c) {
    const int hx = kx / 2, hy = ky / 2;
    const double q4 = std::sqrt(std::sqrt(wr * hr));
    Bytes out(plane.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool wholeRow = w < 2 * hx + 1, wholeColumn = h < 2 * hy + 1;
            const int cx = wholeRow ? 0 : std::clamp(x, hx, w - hx - 1);
            const int cy = wholeColumn ? 0 : std::clamp(y, hy, h - hy - 1);
            int mx = 0, mn = 255;
            for (int j = wholeColumn ? 0 : cy - hy; j <= (wholeColumn ? h - 1 : cy + hy); ++j)
                for (int i = wholeRow ? 0 : cx - hx; i <= (wholeRow ? w - 1 : cx + hx); ++i) {
                    mx = std::max<int>(mx, guide[j * w + i]);
                    mn = std::min<int>(mn, guide[j * w + i]);
                }
            const int mid = (mx + mn + 1) / 2;
            const int t = mx - mid == 0 ? 1 : mx - mid;
            double u = ((t / c) / q4) * 0.5;
            if (u < 1) u = 1;
            const int v = plane[y * w + x];
            const double delta = static_cast<double>(v - mid) / t;
            int r;
            if (u == 1)
                r = guide[y * w + x];
            else if (std::fabs(delta) > 1 / u)
                r = delta > 0 ? mx : mn;
            else
                r = static_cast<int>(mid + u * (v - mid));
            out[y * w + x] = static_cast<uint8_t>(std::clamp(r, 0, 255));
        }
    return out;
}

TEST(RangeClampTest, AgreesWithItsDefinitionForSmallLargeAndWholeWindows) {
    const int w = 150, h = 90;
    const Bytes plane = test::NoisyBytes(w * h, 13, w);
    // A noisy guide (wide ranges everywhere) and a blocky one (flat parts that keep the guide,
    // edges that stretch, often side by side).
    Bytes blocky(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) blocky[y * w + x] = static_cast<uint8_t>(((x / 23 + y / 17) % 2 ? 200 : 30) + (x * y) % 3);
    struct Window {
        int kx, ky;
    };
    for (const Bytes& guide : {test::NoisyBytes(w * h, 14, w), blocky})
        for (const Window k : {Window{2, 2}, Window{8, 5}, Window{81, 71}, Window{40, 300}, Window{400, 36}}) {
            Bytes out = plane;
            ASSERT_TRUE(RangeClamp(out.data(), guide.data(), w, h, k.kx, k.ky, 3, 2.5, 1.5, nullptr));
            EXPECT_EQ(out, RangeClampByDefinition(plane, guide, w, h, k.kx, k.ky, 3, 2.5, 1.5)) << k.kx << "x" << k.ky;
        }
}

TEST(RangeClampTest, ReportsEachRow) {
    Bytes plane = test::NoisyBytes(16 * 7, 6);
    RecordingSink sink;
    ASSERT_TRUE(RangeClamp(plane.data(), plane.data(), 16, 7, 4, 4, 2, 2, 3.0, &sink));
    EXPECT_THAT(sink.values, ElementsAre(0, 14, 28, 42, 57, 71, 85));
}

}  // namespace
}  // namespace kv
