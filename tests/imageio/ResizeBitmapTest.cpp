#include "imageio/ResizeBitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "common/RecordingTargets.h"
#include "common/TestFiles.h"
#include "engine/LanczosRangeResize.h"
#include "engine/Progress.h"
#include "imageio/Bitmap.h"

namespace kv {
namespace {

// A 24-bit bitmap whose pixels say where they are: blue = x, green = y, red = x + y (mod 256).
std::unique_ptr<Bitmap> Gradient(int32_t w, int32_t h) {
    auto bitmap = std::make_unique<Bitmap>(w, h, PixelFormat24bppRGB);
    BitmapData data;
    EXPECT_EQ(bitmap->LockBits({0, 0, w, h}, ImageLockMode::Write, PixelFormat24bppRGB, &data), Status::Ok);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = data.scan0 + y * data.stride + 3 * x;
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>(x * 7 + y * 3);
        }
    bitmap->UnlockBits(&data);
    return bitmap;
}

std::vector<uint8_t> Pixels(Bitmap& bitmap, Rect rect) {
    BitmapData data;
    EXPECT_EQ(bitmap.LockBits(rect, ImageLockMode::Read, PixelFormat24bppRGB, &data), Status::Ok);
    std::vector<uint8_t> out;
    for (int32_t y = 0; y < rect.height; ++y)
        out.insert(out.end(), data.scan0 + y * data.stride, data.scan0 + y * data.stride + 3 * rect.width);
    bitmap.UnlockBits(&data);
    return out;
}

std::vector<uint8_t> Pixels(Bitmap& bitmap) { return Pixels(bitmap, {0, 0, bitmap.GetWidth(), bitmap.GetHeight()}); }

// A cover wider than 32 bits can hold comes back empty, so the crop fails instead of wrapping.
TEST(CropCoverSize, CoversTheDestinationWithTheSourceAspect) {
    struct Case {
        int dw, dh, sw, sh, tw, th;
    };
    for (const Case c : {Case{300, 300, 1000, 500, 600, 300}, Case{300, 300, 500, 1000, 300, 600},
                         Case{200, 100, 1000, 500, 200, 100}, Case{640, 480, 1001, 500, 960, 480},
                         Case{100000, 100000, 100000, 3, 0, 100000}}) {
        const PixelSize cover = CropCoverSize(c.dw, c.dh, c.sw, c.sh);
        EXPECT_EQ(cover.width, c.tw) << c.dw << "x" << c.dh << " from " << c.sw << "x" << c.sh;
        EXPECT_EQ(cover.height, c.th) << c.dw << "x" << c.dh << " from " << c.sw << "x" << c.sh;
    }
}

TEST(CopyCentre, CopiesTheMiddleColumnsAndRows) {
    auto temporary = Gradient(600, 300);
    const std::vector<uint8_t> expected = Pixels(*temporary, {150, 0, 300, 300});
    Bitmap destination(300, 300, PixelFormat24bppRGB);
    CopyCentre(std::move(temporary), destination);
    EXPECT_EQ(Pixels(destination), expected);

    auto tall = Gradient(40, 101);
    const std::vector<uint8_t> middle = Pixels(*tall, {0, 30, 40, 41});  // (101 - 41) / 2
    Bitmap strip(40, 41, PixelFormat24bppRGB);
    CopyCentre(std::move(tall), strip);
    EXPECT_EQ(Pixels(strip), middle);
}

// Crop is the uncropped resize to the covering size, cut in the middle: for the standard and the
// own algorithms alike.
TEST(ResizeBitmap, CropIsTheCentreOfTheCoveringResize) {
    auto source = Gradient(100, 50);
    for (ResizeAlgorithm algorithm : {0, 4, 5, 6, 7, 8, 9}) {
        Bitmap cover(120, 60, PixelFormat24bppRGB);
        ASSERT_TRUE(ResizeBitmap(*source, cover, algorithm, false, nullptr)) << algorithm;
        Bitmap cropped(60, 60, PixelFormat24bppRGB);
        ASSERT_TRUE(ResizeBitmap(*source, cropped, algorithm, true, nullptr)) << algorithm;
        EXPECT_EQ(Pixels(cropped), Pixels(cover, {30, 0, 60, 60})) << algorithm;
    }
}

TEST(ResizeBitmap, IndexFiveTakesItsWindowFromTheRatioClass) {
    auto source = Gradient(20, 20);
    const std::vector<uint8_t> src = Pixels(*source);
    for (const auto& [w, h, window] : {std::tuple{40, 40, 1.0}, std::tuple{50, 40, 2.0}}) {
        Bitmap viaTable(w, h, PixelFormat24bppRGB);
        ASSERT_TRUE(ResizeBitmap(*source, viaTable, 5, false, nullptr));
        std::vector<uint8_t> direct(static_cast<size_t>(3 * w * h));
        ASSERT_TRUE(LanczosRangeResize(direct.data(), 3 * w, src.data(), 60, true, w, h, 20, 20, 50, window, 0, 3,
                                       nullptr));
        EXPECT_EQ(Pixels(viaTable), direct) << w << "x" << h;
    }
}

TEST(ResizeBitmap, StandardAndOwnAlgorithmsDiffer) {
    auto source = Gradient(30, 30);
    Bitmap five(90, 90, PixelFormat24bppRGB), seven(90, 90, PixelFormat24bppRGB);
    ASSERT_TRUE(ResizeBitmap(*source, five, 5, false, nullptr));
    ASSERT_TRUE(ResizeBitmap(*source, seven, 7, false, nullptr));
    EXPECT_NE(Pixels(five), Pixels(seven));
}

TEST(ResizeBitmap, ABusyTargetRunsNoRoutine) {
    auto source = Gradient(20, 20);
    Bitmap destination(40, 40, PixelFormat24bppRGB);
    BitmapData held;
    ASSERT_EQ(destination.LockBits({0, 0, 40, 40}, ImageLockMode::Read, PixelFormat24bppRGB, &held), Status::Ok);
    test::RecordingCommandTarget frame;
    {
        CRSProgress sink(&frame);
        EXPECT_FALSE(ResizeBitmap(*source, destination, 5, false, &sink));
    }
    destination.UnlockBits(&held);
    EXPECT_EQ(frame.commands().size(), 2u);  // start and end of the sink only: no progress
    EXPECT_EQ(Pixels(destination), std::vector<uint8_t>(40 * 40 * 3, 0));
}

TEST(ResizeBitmap, AStoppedCropLeavesTheDestinationAlone) {
    auto source = Gradient(20, 10);
    Bitmap destination(30, 30, PixelFormat24bppRGB);
    CancelRequested = 1;
    CRSProgress sink(nullptr);
    EXPECT_FALSE(ResizeBitmap(*source, destination, 6, true, &sink));
    CancelRequested = 0;
    EXPECT_EQ(Pixels(destination), std::vector<uint8_t>(30 * 30 * 3, 0));
}

// Pixels that do not decode (the file is cut or damaged) used to leave the standard algorithms'
// destination black with success reported. Every algorithm fails, cropped or not.
TEST(ResizeBitmap, ASourceWhosePixelsDoNotDecodeFailsEveryAlgorithm) {
    for (const char* name : {"png-cut-idat.png", "png-bad-idat.png", "gif-cut.gif", "tiff-bad-lzw.tif", "jpeg-scan-cap.jpg"}) {
        for (ResizeAlgorithm algorithm = 0; algorithm < kResizeAlgorithmCount; ++algorithm) {
            for (const bool crop : {false, true}) {
                SCOPED_TRACE(std::string(name) + " " + std::to_string(algorithm) + (crop ? " crop" : ""));
                auto source = Bitmap::FromFile(test::DataPath(std::string("hostile/") + name));
                ASSERT_EQ(source->GetLastStatus(), Status::Ok);
                Bitmap destination(40, 50, PixelFormat24bppRGB);
                EXPECT_FALSE(ResizeBitmap(*source, destination, algorithm, crop, nullptr));
                EXPECT_FALSE(source->GetLastErrorMessage().empty());
            }
        }
    }
}

TEST(CopyCentre, FailsWhenTheTemporaryCannotCoverTheDestination) {
    Bitmap destination(30, 30, PixelFormat24bppRGB);
    EXPECT_FALSE(CopyCentre(Gradient(20, 40), destination));
    EXPECT_EQ(Pixels(destination), std::vector<uint8_t>(30 * 30 * 3, 0));
}

TEST(MakeDibImage, CopiesTheBitmapBottomUp) {
    auto source = Gradient(5, 3);
    source->SetResolution(300, 150);
    DibImagePtr dib = MakeDibImage(source.get());
    EXPECT_EQ(dib->width(), 5);
    EXPECT_EQ(dib->height(), 3);
    EXPECT_EQ(dib->bitsPerPixel(), 24);
    EXPECT_EQ(dib->header()->biXPelsPerMeter, 11811);
    EXPECT_EQ(dib->header()->biYPelsPerMeter, 5906);
    const std::vector<uint8_t> top = Pixels(*source, {0, 0, 5, 1});
    EXPECT_TRUE(std::equal(top.begin(), top.end(), dib->bits() + 2 * dib->stride()));
    EXPECT_THROW(MakeDibImage(nullptr), std::invalid_argument);
}

}  // namespace
}  // namespace kv
