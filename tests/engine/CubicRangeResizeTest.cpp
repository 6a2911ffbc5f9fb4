#include "engine/CubicRangeResize.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "RangeResizeSupport.h"
#include "engine/AreaShrink.h"
#include "engine/DericheBlur.h"
#include "engine/KernelResample.h"
#include "engine/KernelWeight.h"
#include "engine/RangeClamp.h"
#include "engine/SharpenPlane.h"

namespace kv {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr double kStrength40 = 103 / (40.0 * 40 / 100 + 3);  // sharpness of "Smart for Natural Scenes"

Bytes Resample(const Bytes& src, int sw, int sh, int dw, int dh, int type) {
    Bytes dst(static_cast<size_t>(dw * dh));
    EXPECT_TRUE(KernelResample(dst.data(), src.data(), sw, sh, dw, dh, 0, 0.5, type, nullptr));
    return dst;
}

Bytes Sharpened(Bytes plane, int w, int h, int amount) {
    EXPECT_TRUE(SharpenPlane(plane.data(), w, h, amount, nullptr));
    return plane;
}

// Catmull-Rom, stretched against its own local range in windows of trunc(2 * (ratio - 0.5)) (at
// least 2), blurred with extent 8 from a threefold enlargement on.
Bytes ExpectedCore(const Bytes& src, int sw, int sh, int dw, int dh, int windowWidth, int windowHeight, bool blur) {
    Bytes out = Resample(src, sw, sh, dw, dh, KernelType::MitchellNetravali);
    EXPECT_TRUE(RangeClamp(out.data(), out.data(), dw, dh, windowWidth, windowHeight, double(dw) / sw,
                           double(dh) / sh, kStrength40, nullptr));
    if (blur) {
        EXPECT_TRUE(DericheBlur(out.data(), dw, dh, 8, 8, nullptr));
    }
    return out;
}

TEST(ResizePlaneCubicTest, StagingFollowsTheRatios) {
    const int sw = 100, sh = 100;
    const Bytes src = test::NoisyBytes(sw * sh, 30, sw);
    struct Case {
        int dw, dh;
        std::function<Bytes()> expected;
    };
    const Case cases[] = {
        // Exactly threefold: stretch in windows of 5, then the blur.
        {300, 300, [&] { return ExpectedCore(src, sw, sh, 300, 300, 5, 5, true); }},
        // 2.5: windows of 4 (half size 2), no blur.
        {250, 250, [&] { return ExpectedCore(src, sw, sh, 250, 250, 4, 4, false); }},
        // 1.2: Catmull-Rom alone, sharpened with trunc(2.7 * 20 / sqrt(c)) = 23.
        {120, 120, [&] { return Sharpened(Resample(src, sw, sh, 120, 120, KernelType::MitchellNetravali), 120, 120, 23); }},
        // Equal sizes: the source back, sharpened with 21.
        {100, 100, [&] { return Sharpened(src, 100, 100, 21); }},
        // A reduction to 0.4: box areas, then 25 and trunc(50 / c) = 9.
        {40, 40,
         [&] {
             Bytes narrow(40 * 100), out(40 * 40);
             EXPECT_TRUE(AreaShrinkRows(narrow.data(), src.data(), 100, 100, 40, nullptr));
             EXPECT_TRUE(AreaShrinkColumns(out.data(), narrow.data(), 40, 100, 40, nullptr));
             return Sharpened(Sharpened(out, 40, 40, 25), 40, 40, 9);
         }},
        // 4 x 1.2: the core into 400 x 150 (windows 7 and 2, blur from 4), columns averaged down.
        {400, 120,
         [&] {
             const Bytes middle = ExpectedCore(src, sw, sh, 400, 150, 7, 2, true);
             Bytes out(400 * 120);
             EXPECT_TRUE(AreaShrinkColumns(out.data(), middle.data(), 400, 150, 120, nullptr));
             return Sharpened(out, 400, 120, 23);
         }},
    };
    for (const Case& k : cases) {
        Bytes dst(static_cast<size_t>(k.dw * k.dh));
        ASSERT_TRUE(ResizePlaneCubic(dst.data(), src.data(), k.dw, k.dh, sw, sh, kStrength40, 0, 3, nullptr));
        EXPECT_EQ(dst, k.expected()) << k.dw << "x" << k.dh;
    }
}

TEST(ResizePlaneCubicTest, PlainModesRunTheKernelOnlyAndHigherModesSkipTheStretch) {
    const Bytes src = test::NoisyBytes(60 * 40, 31, 60);
    // Mode 1: the triangle, straight, even for a reduction; no sharpening.
    for (const auto& [dw, dh] : {std::pair{240, 160}, std::pair{24, 16}}) {
        Bytes dst(static_cast<size_t>(dw * dh));
        ASSERT_TRUE(ResizePlaneCubic(dst.data(), src.data(), dw, dh, 60, 40, kStrength40, 0, 1, nullptr));
        EXPECT_EQ(dst, Resample(src, 60, 40, dw, dh, KernelType::Triangle)) << dw;
    }
    // Mode 4: the staging with the Catmull-Rom core, without stretch or blur.
    Bytes dst(240 * 160);
    ASSERT_TRUE(ResizePlaneCubic(dst.data(), src.data(), 240, 160, 60, 40, kStrength40, 0, 4, nullptr));
    EXPECT_EQ(dst, Resample(src, 60, 40, 240, 160, KernelType::MitchellNetravali));
}

TEST(CubicCoreTest, OnePixelWideOrHighSourceTakesTheWholeLineAsWindow) {
    // A column of 1 x 30 enlarged to 6 x 90: the row window of 11 does not fit in 6 columns, so
    // each row's range is the whole row, which the Catmull-Rom pass made flat.
    const Bytes column = test::NoisyBytes(30, 32);
    Bytes wide(6 * 90);
    ASSERT_TRUE(CubicCore(wide.data(), column.data(), 6, 90, 1, 30, kStrength40, 3, 0, nullptr));
    EXPECT_EQ(wide, ExpectedCore(column, 1, 30, 6, 90, 11, 5, true));
    // The stretch did work down the columns.
    EXPECT_NE(wide, ExpectedCore(column, 1, 30, 6, 90, 2, 2, true));

    Bytes tall(90 * 6);
    ASSERT_TRUE(CubicCore(tall.data(), column.data(), 90, 6, 30, 1, kStrength40, 3, 0, nullptr));
    EXPECT_EQ(tall, ExpectedCore(column, 30, 1, 90, 6, 5, 11, true));

    // Through the staging a one-pixel source side meets the 1.5 intermediate too (1 -> 1 column).
    Bytes staged(1 * 90);
    ASSERT_TRUE(ResizePlaneCubic(staged.data(), column.data(), 1, 90, 1, 30, kStrength40, 0, 3, nullptr));
}

TEST(CubicRangeResizeTest, ChannelsAreResizedApart) {
    const int sw = 21, sh = 13, dw = 70, dh = 33, srcStride = 3 * sw + 3;
    const Bytes raster = test::NoisyBytes(static_cast<size_t>(srcStride * sh), 33, srcStride);
    Bytes out(static_cast<size_t>(3 * dw * dh));
    ASSERT_TRUE(CubicRangeResize(out.data(), 3 * dw, raster.data(), srcStride, true, dw, dh, sw, sh, 40, 0, 3, nullptr));
    for (int k = 0; k < 3; ++k) {
        Bytes plane(static_cast<size_t>(sw * sh));
        for (int y = 0; y < sh; ++y)
            for (int x = 0; x < sw; ++x) plane[y * sw + x] = raster[y * srcStride + 3 * x + k];
        Bytes expected(static_cast<size_t>(dw * dh));
        ASSERT_TRUE(ResizePlaneCubic(expected.data(), plane.data(), dw, dh, sw, sh, kStrength40, 0, 3, nullptr));
        for (int i = 0; i < dw * dh; ++i) ASSERT_EQ(out[3 * i + k], expected[i]) << "channel " << k << " pixel " << i;
    }
}

}  // namespace
}  // namespace kv
