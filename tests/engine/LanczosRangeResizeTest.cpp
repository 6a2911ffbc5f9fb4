#include "engine/LanczosRangeResize.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "RangeResizeSupport.h"
#include "engine/AreaShrink.h"
#include "engine/DericheBlur.h"
#include "engine/KernelResample.h"
#include "engine/KernelWeight.h"
#include "engine/RangeClamp.h"
#include "engine/RangeStaging.h"
#include "engine/SharpenPlane.h"

namespace kv {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr double kStrength50 = 103 / (50.0 * 50 / 100 + 3);  // sharpness of "Smart for Artificial Scenes"

Bytes Resample(const Bytes& src, int sw, int sh, int dw, int dh, double p1, double p2, int type) {
    Bytes dst(static_cast<size_t>(dw * dh));
    EXPECT_TRUE(KernelResample(dst.data(), src.data(), sw, sh, dw, dh, p1, p2, type, nullptr));
    return dst;
}

Bytes Sharpened(Bytes plane, int w, int h, int amount) {
    EXPECT_TRUE(SharpenPlane(plane.data(), w, h, amount, nullptr));
    return plane;
}

// What the Lanczos core must make of an enlargement beyond 1.5: Lanczos of radius R, blurred with
// the given extents, stretched against a Catmull-Rom guide in the given windows, blurred again.
Bytes ExpectedCore(const Bytes& src, int sw, int sh, int dw, int dh, double radius, int hExtent, int vExtent,
                   int windowWidth, int windowHeight, double strength) {
    Bytes out = Resample(src, sw, sh, dw, dh, radius, 1, KernelType::WindowedSinc);
    const Bytes guide = Resample(src, sw, sh, dw, dh, 0, 0.5, KernelType::MitchellNetravali);
    EXPECT_TRUE(DericheBlur(out.data(), dw, dh, hExtent, vExtent, nullptr));
    EXPECT_TRUE(RangeClamp(out.data(), guide.data(), dw, dh, windowWidth, windowHeight, double(dw) / sw,
                           double(dh) / sh, strength, nullptr));
    EXPECT_TRUE(DericheBlur(out.data(), dw, dh, 10, 10, nullptr));
    return out;
}

TEST(RangeStagingTest, StrengthAndFinalSharpeningAmounts) {
    struct Case {
        double sharpness, strength;
        int reduced, atOne, atOnePointTwo;
    };
    for (const Case& c : {Case{50, 3.678571, 13, 26, 28}, Case{25, 11.135135, 4, 14, 16},
                          Case{40, 5.421052, 9, 21, 23}}) {
        const double strength = RangeStrength(c.sharpness);
        EXPECT_NEAR(strength, c.strength, 1e-6);
        EXPECT_EQ(PostSharpenAmount(0.5, strength), c.reduced);
        EXPECT_EQ(PostSharpenAmount(1, strength), c.atOne);
        EXPECT_EQ(PostSharpenAmount(1.2, strength), c.atOnePointTwo);
        EXPECT_EQ(PostSharpenAmount(1.5, strength), 0);
    }
}

TEST(LanczosCoreTest, EnlargementIsLanczosBlurRangeBlur) {
    // Radius = window parameter + 1; blur extents max(10, trunc(ratio)); windows trunc(2 * ratio),
    // at least 2 and at most half the destination.
    struct Case {
        int sw, sh, dw, dh;
        double window;
        int hExtent, vExtent, windowWidth, windowHeight;
    };
    const Case cases[] = {
        {20, 20, 60, 60, 1, 10, 10, 6, 6},    // radius 2
        {20, 20, 60, 60, 2, 10, 10, 6, 6},    // radius 3
        {10, 10, 130, 40, 2, 13, 10, 26, 8},  // a long extent along the rows
        {3, 4, 24, 7, 1, 10, 10, 12, 3},      // windows held to half the plane
    };
    for (const Case& c : cases) {
        const Bytes src = test::NoisyBytes(static_cast<size_t>(c.sw * c.sh), 20, c.sw);
        Bytes dst(static_cast<size_t>(c.dw * c.dh));
        ASSERT_TRUE(LanczosCore(dst.data(), src.data(), c.dw, c.dh, c.sw, c.sh, kStrength50, c.window, 3, nullptr));
        EXPECT_EQ(dst, ExpectedCore(src, c.sw, c.sh, c.dw, c.dh, c.window + 1, c.hExtent, c.vExtent, c.windowWidth,
                                    c.windowHeight, kStrength50))
            << c.dw << "x" << c.dh << " window " << c.window;
    }
}

TEST(LanczosCoreTest, OtherModesAndSmallRatiosOnlyResample) {
    const Bytes src = test::NoisyBytes(30 * 20, 21, 30);
    Bytes dst(90 * 60);
    ASSERT_TRUE(LanczosCore(dst.data(), src.data(), 90, 60, 30, 20, kStrength50, 2, 1, nullptr));
    EXPECT_EQ(dst, Resample(src, 30, 20, 90, 60, 0, 0.5, KernelType::Triangle));
    ASSERT_TRUE(LanczosCore(dst.data(), src.data(), 90, 60, 30, 20, kStrength50, 2, 2, nullptr));
    EXPECT_EQ(dst, Resample(src, 30, 20, 90, 60, 0, 0.5, KernelType::MitchellNetravali));
    Bytes near(45 * 20);
    ASSERT_TRUE(LanczosCore(near.data(), src.data(), 45, 20, 30, 20, kStrength50, 2, 3, nullptr));
    EXPECT_EQ(near, Resample(src, 30, 20, 45, 20, 3, 1, KernelType::WindowedSinc));
}

TEST(ResizePlaneLanczosTest, StagingFollowsTheRatios) {
    const int sw = 100, sh = 100;
    const Bytes src = test::NoisyBytes(sw * sh, 22, sw);
    const double c = kStrength50;
    struct Case {
        int dw, dh;
        std::function<Bytes()> expected;
    };
    const Case cases[] = {
        // Both ratios at most 0.5: box areas, rows then columns, sharpened twice.
        {40, 40,
         [&] {
             Bytes narrow(40 * 100), out(40 * 40);
             EXPECT_TRUE(AreaShrinkRows(narrow.data(), src.data(), 100, 100, 40, nullptr));
             EXPECT_TRUE(AreaShrinkColumns(out.data(), narrow.data(), 40, 100, 40, nullptr));
             return Sharpened(Sharpened(out, 40, 40, 25), 40, 40, 13);
         }},
        // Equal sizes: the kernel at phase 0 gives the source back, then the sharpening of 1.
        {100, 100, [&] { return Sharpened(src, 100, 100, 26); }},
        // Within 1.5: Lanczos alone, then sharpening from the smaller ratio (0.9 -> 25).
        {120, 90, [&] { return Sharpened(Resample(src, sw, sh, 120, 90, 3, 1, KernelType::WindowedSinc), 120, 90, 25); }},
        // Beyond 1.5 one way: the core into 400 x 150, columns averaged down to 120, sharpened.
        {400, 120,
         [&] {
             const Bytes middle = ExpectedCore(src, sw, sh, 400, 150, 3, 10, 10, 8, 3, c);
             Bytes out(400 * 120);
             EXPECT_TRUE(AreaShrinkColumns(out.data(), middle.data(), 400, 150, 120, nullptr));
             return Sharpened(out, 400, 120, 28);
         }},
        // The other way round: 150 x 400 averaged along the rows.
        {120, 400,
         [&] {
             const Bytes middle = ExpectedCore(src, sw, sh, 150, 400, 3, 10, 10, 3, 8, c);
             Bytes out(120 * 400);
             EXPECT_TRUE(AreaShrinkRows(out.data(), middle.data(), 150, 400, 120, nullptr));
             return Sharpened(out, 120, 400, 28);
         }},
        // Beyond 1.5 both ways: the core alone; no sharpening, and grain 0 adds nothing.
        {250, 250, [&] { return ExpectedCore(src, sw, sh, 250, 250, 3, 10, 10, 5, 5, c); }},
    };
    for (const Case& k : cases) {
        Bytes dst(static_cast<size_t>(k.dw * k.dh));
        ASSERT_TRUE(ResizePlaneLanczos(dst.data(), src.data(), k.dw, k.dh, sw, sh, c, 2, 0, 3, nullptr));
        EXPECT_EQ(dst, k.expected()) << k.dw << "x" << k.dh;
    }
}

TEST(LanczosRangeResizeTest, ChannelsAreResizedApartAndPaddingIsLeftAlone) {
    // Odd sizes with padded rows on both sides; blue, green and red each carry their own picture.
    const int sw = 23, sh = 17, dw = 57, dh = 40, srcStride = 3 * sw + 5, dstStride = 3 * dw + 7;
    Bytes raster = test::NoisyBytes(static_cast<size_t>(srcStride * sh), 23, srcStride);
    Bytes out(static_cast<size_t>(dstStride * dh), 0xA5);
    ASSERT_TRUE(LanczosRangeResize(out.data(), dstStride, raster.data(), srcStride, true, dw, dh, sw, sh, 50, 2, 0, 3,
                                   nullptr));
    for (int k = 0; k < 3; ++k) {
        Bytes plane(static_cast<size_t>(sw * sh));
        for (int y = 0; y < sh; ++y)
            for (int x = 0; x < sw; ++x) plane[y * sw + x] = raster[y * srcStride + 3 * x + k];
        Bytes expected(static_cast<size_t>(dw * dh));
        ASSERT_TRUE(ResizePlaneLanczos(expected.data(), plane.data(), dw, dh, sw, sh, kStrength50, 2, 0, 3, nullptr));
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x)
                ASSERT_EQ(out[y * dstStride + 3 * x + k], expected[y * dw + x]) << "channel " << k << " " << x << "," << y;
    }
    for (int y = 0; y < dh; ++y)
        for (int x = 3 * dw; x < dstStride; ++x) ASSERT_EQ(out[y * dstStride + x], 0xA5);
}

TEST(LanczosRangeResizeTest, ModeFourSharpensTheSourceFirstAndOneChannelHasStepOne) {
    const int sw = 31, sh = 19, dw = 90, dh = 50;
    const Bytes grey = test::NoisyBytes(static_cast<size_t>(sw * sh), 24, sw);
    const double c = 103 / (25.0 * 25 / 100 + 3);
    Bytes out(static_cast<size_t>(dw * dh));
    ASSERT_TRUE(LanczosRangeResize(out.data(), dw, grey.data(), sw, false, dw, dh, sw, sh, 25, 2, 0, 4, nullptr));
    const Bytes sharpened = Sharpened(grey, sw, sh, 25);
    Bytes expected(static_cast<size_t>(dw * dh));
    ASSERT_TRUE(ResizePlaneLanczos(expected.data(), sharpened.data(), dw, dh, sw, sh, c, 2, 0, 3, nullptr));
    EXPECT_EQ(out, expected);
    Bytes plain(static_cast<size_t>(dw * dh));
    ASSERT_TRUE(LanczosRangeResize(plain.data(), dw, grey.data(), sw, false, dw, dh, sw, sh, 25, 2, 0, 3, nullptr));
    EXPECT_NE(plain, out);
}

}  // namespace
}  // namespace kv
