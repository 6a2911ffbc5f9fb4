#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "engine/AreaShrink.h"
#include "engine/DericheBlur.h"
#include "engine/Grain.h"
#include "engine/KernelResample.h"
#include "engine/KernelWeight.h"
#include "engine/RangeClamp.h"
#include "engine/SharpenPlane.h"
#include "engine/StageCount.h"
#include "RangeResizeSupport.h"

namespace kv {
namespace {

using test::RecordingSink;
using testing::ElementsAre;
using testing::ElementsAreArray;
using Bytes = std::vector<uint8_t>;

TEST(KernelWeightTest, EveryTypeAtKnownDistances) {
    struct Case {
        int type;
        double p1, p2, x, weight;
    };
    const double pi = std::acos(-1.0);
    const Case cases[] = {
        {KernelType::Triangle, 0, 0.5, 0, 1},
        {KernelType::Triangle, 0, 0.5, -0.25, 0.75},
        {KernelType::Triangle, 0, 0.5, 1, 0},
        {KernelType::MitchellNetravali, 0, 0.5, 0, 1},  // Catmull-Rom interpolates
        {KernelType::MitchellNetravali, 0, 0.5, 1, 0},
        {KernelType::MitchellNetravali, 0, 0.5, 0.5, 0.5625},
        {KernelType::MitchellNetravali, 0, 0.5, -1.5, -0.0625},
        {KernelType::MitchellNetravali, 0, 0.5, 2, 0},
        {KernelType::MitchellNetravali, 1, 0, 0, 4.0 / 6},  // the cubic B-spline does not
        {KernelType::WindowedSinc, 2, 1, 0, 1},
        {KernelType::WindowedSinc, 2, 1, 0.5, (2 / pi) * (std::sin(pi / 4) / (pi / 4))},  // Lanczos
        {KernelType::WindowedSinc, 2, 1, 2, 0},
        {KernelType::WindowedSinc, 3, 2, 1.5, std::sin(1.5 * pi) / (1.5 * pi) * (0.5 + 0.5 * std::cos(pi / 2))},
        {KernelType::WindowedSinc, 2, 3, 0.5, (2 / pi) * 0.75},                 // Bartlett
        {KernelType::WindowedSinc, 2, 4, 1, 0.5},                                // Hann alone
        {KernelType::WindowedSinc, 2, 7, 0.5, 0},                                // unknown window
        {5, 0, 0, 0.49, 1},                                                      // box
        {5, 0, 0, -0.5, 0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(KernelWeight(c.x, c.p1, c.p2, c.type), c.weight, 1e-12)
            << "type " << c.type << " p2 " << c.p2 << " x " << c.x;
}

TEST(KernelResampleTest, EqualSizeReproducesTheSourceWithEveryInterpolatingKernel) {
    const Bytes src = test::NoisyBytes(37 * 23, 1, 37);
    struct Kernel {
        int type;
        double p1, p2;
    };
    for (const Kernel k : {Kernel{KernelType::WindowedSinc, 2, 1}, Kernel{KernelType::WindowedSinc, 3, 1},
                           Kernel{KernelType::WindowedSinc, 4, 2},
                           Kernel{KernelType::MitchellNetravali, 0, 0.5}, Kernel{KernelType::Triangle, 0, 0.5}}) {
        Bytes dst(src.size());
        ASSERT_TRUE(KernelResample(dst.data(), src.data(), 37, 23, 37, 23, k.p1, k.p2, k.type, nullptr));
        EXPECT_EQ(dst, src) << "type " << k.type << " p1 " << k.p1;
    }
}

TEST(KernelResampleTest, PositionsAreTopLeftAlignedAndEdgesRepeat) {
    // Doubling with the triangle: even pixels are source pixels, odd ones the rounded mean of two
    // neighbours; past the last pixel the edge repeats.
    const Bytes src{10, 20, 41, 255};
    Bytes dst(8);
    ASSERT_TRUE(KernelResample(dst.data(), src.data(), 4, 1, 8, 1, 0, 0.5, KernelType::Triangle, nullptr));
    EXPECT_THAT(dst, ElementsAre(10, 15, 20, 31, 41, 148, 255, 255));
}

TEST(KernelResampleTest, WeightsAreNotNormalised) {
    // At half-pixel positions the Lanczos-2 taps add up to 1.0191, so a flat plane brightens where
    // the positions fall between source pixels: 100 -> 102, and 104 where both do.
    const Bytes src(8 * 8, 100);
    Bytes dst(16 * 16);
    ASSERT_TRUE(KernelResample(dst.data(), src.data(), 8, 8, 16, 16, 2, 1, KernelType::WindowedSinc, nullptr));
    EXPECT_EQ(dst[4 * 16 + 4], 100);
    EXPECT_EQ(dst[4 * 16 + 5], 102);
    EXPECT_EQ(dst[5 * 16 + 4], 102);
    EXPECT_EQ(dst[5 * 16 + 5], 104);
    // A box of one tap each side falls between its taps at phase one half: nothing is left.
    ASSERT_TRUE(KernelResample(dst.data(), src.data(), 8, 8, 16, 16, 1, 0, 5, nullptr));
    EXPECT_EQ(dst[4 * 16 + 4], 100);
    EXPECT_EQ(dst[4 * 16 + 5], 0);
}

TEST(KernelResampleTest, ClampsOvershootAndRefusesTypeZero) {
    // Lanczos rings past a hard edge: both ends of the range are reached and held.
    Bytes src(12, 0);
    std::fill(src.begin() + 6, src.end(), 255);
    Bytes dst(36, 7);
    ASSERT_TRUE(KernelResample(dst.data(), src.data(), 12, 1, 36, 1, 3, 1, KernelType::WindowedSinc, nullptr));
    EXPECT_EQ(*std::min_element(dst.begin(), dst.end()), 0);
    EXPECT_EQ(*std::max_element(dst.begin(), dst.end()), 255);

    Bytes untouched(36, 7);
    EXPECT_FALSE(KernelResample(untouched.data(), src.data(), 12, 1, 36, 1, 0, 0, KernelType::Box, nullptr));
    EXPECT_EQ(untouched, Bytes(36, 7));
}

TEST(KernelResampleTest, ReportsEveryDestinationRowAndStopsAtTheCall) {
    const Bytes src = test::NoisyBytes(10 * 10, 2);
    Bytes dst(20 * 30);
    RecordingSink sink;
    ASSERT_TRUE(KernelResample(dst.data(), src.data(), 10, 10, 20, 30, 0, 0.5, 2, &sink));
    ASSERT_EQ(sink.values.size(), 30u);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(sink.values[static_cast<size_t>(i)], 100 * i / 30);
    EXPECT_EQ(sink.foreignCalls, 0);

    RecordingSink stopper(7);
    EXPECT_FALSE(KernelResample(dst.data(), src.data(), 10, 10, 20, 30, 0, 0.5, 2, &stopper));
    EXPECT_EQ(stopper.values.size(), 7u);
}

TEST(DericheTest, SigmaOfAnExtent) {
    EXPECT_NEAR(DericheSigma(10), 0.6007733, 1e-7);
    EXPECT_NEAR(DericheSigma(8), 0.5406959, 1e-7);
    EXPECT_NEAR(DericheSigma(-8), 0.5406959, 1e-7);
}

TEST(DericheTest, CoefficientsFollowTheirDefinitions) {
    const DericheTerms t = DericheCoefficients(0.6007733);
    EXPECT_EQ(t.np[4], 0);
    EXPECT_EQ(t.nm[0], 0);
    EXPECT_EQ(t.d[0], 0);
    double sumP = 0, sumM = 0, sumD = 0;
    for (int k = 0; k <= 4; ++k) {
        sumP += t.np[k];
        sumM += t.nm[k];
        sumD += t.d[k];
        if (k > 0) {
            EXPECT_DOUBLE_EQ(t.nm[k], t.np[k] - t.d[k] * t.np[0]);
        }
    }
    // The causal and anticausal halves of a unit impulse add up to the Gaussian's unit area.
    EXPECT_NEAR((sumP + sumM) / (1 + sumD), 1.0, 1e-2);
    for (int k = 0; k <= 4; ++k) {
        EXPECT_DOUBLE_EQ(t.b[k], (1 - sumP / (1 + sumD)) * t.d[k]);
        EXPECT_DOUBLE_EQ(t.e[k], (1 - sumM / (1 + sumD)) * t.d[k]);
    }
}

TEST(DericheTest, ConstantLineIsNotKeptAtItsEnds) {
    // A row of 20 (the column pass sees lines of one sample, which keep their value).
    Bytes line(20, 100);
    ASSERT_TRUE(DericheBlur(line.data(), 20, 1, 10, 10, nullptr));
    EXPECT_EQ(line.front(), 104);
    EXPECT_EQ(line.back(), 96);
    EXPECT_EQ(Bytes(line.begin() + 5, line.end() - 5), Bytes(10, 100));

    // The same along a column, and a single sample.
    Bytes column(20, 100);
    ASSERT_TRUE(DericheBlur(column.data(), 1, 20, 10, 10, nullptr));
    EXPECT_EQ(column, line);
    Bytes one{100};
    ASSERT_TRUE(DericheBlur(one.data(), 1, 1, 10, 10, nullptr));
    EXPECT_EQ(one[0], 100);
}

// The recursion of one line exactly as defined, with the sums in their written order.
std::vector<int> DericheLine(const std::vector<int>& x, const DericheTerms& c) {
    const int n = static_cast<int>(x.size());
    std::vector<double> yp(x.size()), ym(x.size());
    for (int i = 0; i < n; ++i) {
        double sum = 0;
        for (int k = 0; k <= 4; ++k) sum += i - k >= 0 ? c.np[k] * x[i - k] : (c.np[k] - c.b[k]) * x[0];
        for (int k = 1; k <= 4; ++k) sum -= i - k >= 0 ? c.d[k] * yp[i - k] : 0;
        yp[i] = sum;
    }
    for (int i = n - 1; i >= 0; --i) {
        double sum = 0;
        for (int k = 1; k <= 4; ++k) sum += i + k < n ? c.nm[k] * x[i + k] : (c.nm[k] - c.e[k]) * x[n - 1];
        for (int k = 1; k <= 4; ++k) sum -= i + k < n ? c.d[k] * ym[i + k] : 0;
        ym[i] = sum;
    }
    std::vector<int> out(x.size());
    for (int i = 0; i < n; ++i)
        out[i] = std::clamp(static_cast<int>(std::nearbyint(static_cast<float>(yp[i] + ym[i]))), 0, 255);
    return out;
}

TEST(DericheTest, MatchesTheRecursionLineByLine) {
    // Sizes with whole and partial blocks of lines; the extents differ between the directions.
    for (const auto& [w, h] : {std::pair{53, 37}, std::pair{32, 16}, std::pair{7, 70}}) {
        Bytes plane = test::NoisyBytes(static_cast<size_t>(w * h), 12, w);
        std::vector<int> expected(plane.begin(), plane.end());
        const DericheTerms down = DericheCoefficients(DericheSigma(12));
        const DericheTerms along = DericheCoefficients(DericheSigma(10));
        for (int x = 0; x < w; ++x) {
            std::vector<int> line;
            for (int y = 0; y < h; ++y) line.push_back(expected[y * w + x]);
            line = DericheLine(line, down);
            for (int y = 0; y < h; ++y) expected[y * w + x] = line[y];
        }
        for (int y = 0; y < h; ++y) {
            std::vector<int> line(expected.begin() + y * w, expected.begin() + (y + 1) * w);
            line = DericheLine(line, along);
            std::copy(line.begin(), line.end(), expected.begin() + y * w);
        }
        ASSERT_TRUE(DericheBlur(plane.data(), w, h, 10, 12, nullptr));
        // The sums may be taken in another order: at most one level apart, and rarely.
        int differ = 0;
        for (size_t i = 0; i < plane.size(); ++i) {
            ASSERT_LE(std::abs(plane[i] - expected[i]), 1) << w << "x" << h << " at " << i;
            differ += plane[i] != expected[i];
        }
        EXPECT_LE(differ, static_cast<int>(plane.size()) / 200) << w << "x" << h;
    }
}

TEST(DericheTest, BlursAStepSymmetricallyAndClamps) {
    // A vertical edge in a plane wide enough for the lanes to hold several lines at once. Away
    // from the top and bottom ends every row is alike.
    const int w = 21, h = 16;
    Bytes plane(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) plane[y * w + x] = x < 10 ? 0 : 255;
    ASSERT_TRUE(DericheBlur(plane.data(), w, h, 10, 10, nullptr));
    const uint8_t* row = plane.data() + 5 * w;
    for (int y = 6; y < h - 5; ++y) EXPECT_TRUE(std::equal(row, row + w, plane.data() + y * w)) << y;
    EXPECT_EQ(row[6], 0);
    EXPECT_LT(row[9], 128);
    EXPECT_GT(row[9], 0);
    EXPECT_GT(row[10], 128);
    EXPECT_LT(row[10], 255);
    EXPECT_EQ(row[9] + row[10], 255);
    EXPECT_EQ(row[13], 255);
}

TEST(DericheTest, ProgressGoesDownTheColumnsThenAlongTheRows) {
    Bytes plane = test::NoisyBytes(30 * 20, 3);
    RecordingSink sink;
    ASSERT_TRUE(DericheBlur(plane.data(), 30, 20, 10, 10, &sink));
    std::vector<int32_t> expected;
    for (int c = 0; c < 30; ++c) expected.push_back(50 * c / 30);
    for (int r = 0; r < 20; ++r) expected.push_back(50 * r / 20 + 50);
    EXPECT_EQ(sink.values, expected);

    RecordingSink stopper(33);
    EXPECT_FALSE(DericheBlur(plane.data(), 30, 20, 10, 10, &stopper));
    EXPECT_EQ(stopper.values.size(), 33u);
}

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

TEST(AreaShrinkTest, ThreeToTwoDropsTheLowBitsOfPartialProducts) {
    struct Case {
        Bytes src;
        Bytes expected;
    };
    for (const Case& c : {Case{{0, 255, 0}, {84, 84}}, Case{{255, 255, 255}, {254, 254}}}) {
        Bytes row(2);
        ASSERT_TRUE(AreaShrinkRows(row.data(), c.src.data(), 3, 1, 2, nullptr));
        EXPECT_EQ(row, c.expected);
        Bytes column(2);
        ASSERT_TRUE(AreaShrinkColumns(column.data(), c.src.data(), 1, 3, 2, nullptr));
        EXPECT_EQ(column, c.expected);
    }
}

TEST(AreaShrinkTest, WholeFactorsAverageExactlyAndColumnsMatchRows) {
    // 8 -> 2 is a plain mean of four; a plane and its transpose shrink alike.
    const int w = 24, h = 10;
    const Bytes src = test::NoisyBytes(w * h, 9, w);
    Bytes rows(8 * h);
    ASSERT_TRUE(AreaShrinkRows(rows.data(), src.data(), w, h, 8, nullptr));
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < 8; ++i) {
            const int sum = src[y * w + 3 * i] + src[y * w + 3 * i + 1] + src[y * w + 3 * i + 2];
            EXPECT_EQ(rows[y * 8 + i], sum / 3);
        }
    Bytes transposed(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) transposed[x * h + y] = src[y * w + x];
    for (const int n : {8, 7}) {  // a whole factor and a fractional step
        Bytes columns(static_cast<size_t>(h * n));
        ASSERT_TRUE(AreaShrinkColumns(columns.data(), transposed.data(), h, w, n, nullptr));
        Bytes shrunk(static_cast<size_t>(n * h));
        ASSERT_TRUE(AreaShrinkRows(shrunk.data(), src.data(), w, h, n, nullptr));
        for (int y = 0; y < h; ++y)
            for (int i = 0; i < n; ++i) EXPECT_EQ(columns[i * h + y], shrunk[y * n + i]) << n;
    }
}

TEST(AreaShrinkTest, VeryLongSpansAndWideRowsDoNotOverflow) {
    // 600 pixels into one, and a row wider than 65535: 32-bit sums and positions would wrap.
    const Bytes bright(600, 255);
    Bytes one(1);
    ASSERT_TRUE(AreaShrinkRows(one.data(), bright.data(), 600, 1, 1, nullptr));
    EXPECT_EQ(one[0], 255);
    ASSERT_TRUE(AreaShrinkColumns(one.data(), bright.data(), 1, 600, 1, nullptr));
    EXPECT_EQ(one[0], 255);

    Bytes wide(70000, 0);
    std::fill(wide.begin() + 35000, wide.end(), 200);
    Bytes two(2);
    ASSERT_TRUE(AreaShrinkRows(two.data(), wide.data(), 70000, 1, 2, nullptr));
    EXPECT_THAT(two, ElementsAre(0, 200));
}

TEST(AreaShrinkTest, ReportsRowsAndColumns) {
    const Bytes src = test::NoisyBytes(9 * 6, 10);
    Bytes dst(4 * 6);
    RecordingSink rows;
    ASSERT_TRUE(AreaShrinkRows(dst.data(), src.data(), 9, 6, 4, &rows));
    EXPECT_THAT(rows.values, ElementsAre(0, 16, 33, 50, 66, 83));
    Bytes dst2(9 * 4);
    RecordingSink columns(5);
    EXPECT_FALSE(AreaShrinkColumns(dst2.data(), src.data(), 9, 6, 4, &columns));
    EXPECT_THAT(columns.values, ElementsAre(0, 11, 22, 33, 44));
}

TEST(GrainTest, ZeroAmplitudeAddsAndDrawsNothing) {
    EXPECT_EQ(GrainValue(0), 0);
    std::srand(11);
    const int next = std::rand();
    std::srand(11);
    Bytes plane{0, 128, 255};
    AddGrain(plane.data(), plane.size(), 0);
    EXPECT_THAT(plane, ElementsAre(0, 128, 255));
    EXPECT_EQ(std::rand(), next);
}

TEST(GrainTest, StaysWithinItsBoundAndFollowsTheGenerator) {
    // Six draws of at most 16384 from the centre: |a * 98304 / 16383 / 10| <= 0.6 * a.
    std::srand(5);
    std::vector<int32_t> first;
    for (int i = 0; i < 200; ++i) {
        first.push_back(GrainValue(50));
        EXPECT_LE(std::abs(first.back()), 30);
    }
    EXPECT_NE(std::count(first.begin(), first.end(), first.front()), 200);
    std::srand(5);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(GrainValue(50), first[static_cast<size_t>(i)]);
}

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
