#include "imageio/AlphaResize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/TestFiles.h"
#include "imageio/Bitmap.h"
#include "imageio/ResizeBitmap.h"

namespace kv {
namespace {

using test::DataPath;

constexpr const char* kTransparentFixtures[] = {"rgba.png",        "grey-alpha.png",       "palette-trns.png",
                                                "transparent.gif", "associated-alpha.tif", "alpha-mask.bmp"};

std::unique_ptr<Bitmap> OpenFixture(const std::string& name) {
    auto bitmap = Bitmap::FromFile(DataPath("alpha/" + name));
    EXPECT_NE(bitmap->GetPixelFormat(), PixelFormatUndefined) << name;
    return bitmap;
}

// A bitmap's pixels as straight B, G, R, A rows, packed.
std::vector<uint8_t> Bgra(Bitmap& bitmap) {
    BitmapData data;
    EXPECT_EQ(bitmap.LockBits({0, 0, bitmap.GetWidth(), bitmap.GetHeight()}, ImageLockMode::Read, PixelFormat32bppARGB, &data),
              Status::Ok);
    std::vector<uint8_t> out;
    for (int32_t y = 0; y < data.height; ++y)
        out.insert(out.end(), data.scan0 + static_cast<ptrdiff_t>(y) * data.stride,
                   data.scan0 + static_cast<ptrdiff_t>(y) * data.stride + 4 * data.width);
    bitmap.UnlockBits(&data);
    return out;
}

std::unique_ptr<Bitmap> FromBgra(int32_t width, int32_t height, const std::vector<uint8_t>& bgra) {
    auto bitmap = std::make_unique<Bitmap>(width, height, PixelFormat32bppARGB);
    BitmapData data;
    EXPECT_EQ(bitmap->LockBits({0, 0, width, height}, ImageLockMode::Write, PixelFormat32bppARGB, &data), Status::Ok);
    for (int32_t y = 0; y < height; ++y)
        std::copy_n(bgra.begin() + static_cast<ptrdiff_t>(y) * width * 4, 4 * width,
                    data.scan0 + static_cast<ptrdiff_t>(y) * data.stride);
    bitmap->UnlockBits(&data);
    return bitmap;
}

std::unique_ptr<Bitmap> Resized(Bitmap& source, int32_t width, int32_t height, int algorithm, bool crop = false) {
    auto result = std::make_unique<Bitmap>(width, height, ResizeResultFormat(source));
    EXPECT_TRUE(ResizeBitmap(source, *result, static_cast<ResizeAlgorithm>(algorithm), crop, nullptr)) << algorithm;
    return result;
}

TEST(AlphaResize, ImagesWithTransparentPixelsTakeTheAlphaRoadAndOpaqueOnesTheOld) {
    for (const char* name : kTransparentFixtures) {
        const auto bitmap = OpenFixture(name);
        EXPECT_EQ(ResizeResultFormat(*bitmap), PixelFormat32bppARGB) << name;
    }
    // An alpha channel that is opaque everywhere (this TIFF's associated alpha), and formats
    // without alpha, resize as they always did.
    for (const char* name : {"Arbitro.tiff", "small.jpg", "Picoawards.tiff"}) {
        const auto bitmap = Bitmap::FromFile(DataPath(name));
        EXPECT_EQ(ResizeResultFormat(*bitmap), PixelFormat24bppRGB) << name;
    }
}

// A picture whose transparent pixels hide a colour: colour gradients (random ones with noise when
// asked), alpha transparent in the left quarter, then soft, then opaque in the right quarter.
std::vector<uint8_t> Picture(int32_t width, int32_t height, uint32_t hidden, bool noise = true) {
    std::mt19937 rng(7);
    std::vector<uint8_t> bgra(4 * static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = &bgra[4 * (static_cast<size_t>(y) * width + x)];
            const int32_t band = (x * 4) / width;
            p[3] = band == 0 ? 0 : band == 3 ? 255 : noise ? static_cast<uint8_t>(rng()) : static_cast<uint8_t>(40 + 4 * x + y);
            for (int c = 0; c < 3; ++c)
                p[c] = p[3] == 0 ? static_cast<uint8_t>(hidden >> (8 * c))
                       : noise   ? static_cast<uint8_t>(rng())
                                 : static_cast<uint8_t>(30 + (c + 2) * x + (3 - c) * y);
        }
    return bgra;
}

TEST(AlphaResize, TheColourUnderTransparentPixelsNeverReachesTheResult) {
    const auto green = FromBgra(41, 29, Picture(41, 29, 0x00FF00));
    const auto magenta = FromBgra(41, 29, Picture(41, 29, 0xFF00FF));
    for (int algorithm = 0; algorithm < kResizeAlgorithmCount; ++algorithm) {
        for (const bool crop : {false, true}) {
            for (const auto& [w, h] : {std::pair{97, 71}, std::pair{17, 12}}) {
                const auto a = Resized(*green, w, h, algorithm, crop);
                const auto b = Resized(*magenta, w, h, algorithm, crop);
                EXPECT_EQ(Bgra(*a), Bgra(*b)) << "algorithm " << algorithm << " crop " << crop << " " << w << "x" << h;
            }
        }
    }
}

uint8_t OnWhite(uint32_t c, uint32_t a) { return static_cast<uint8_t>((c * a + 255 * (255 - a) + 127) / 255); }

// Resampling colour premultiplied by alpha is linear: the resized picture shown on white is the
// resized picture of the one shown on white, up to rounding (and, for the cubics, their overshoot
// at the transparent edge being clipped).
TEST(AlphaResize, ResultOnWhiteMatchesTheResizedPictureOnWhite) {
    const std::vector<uint8_t> picture = Picture(41, 29, 0x00FF00, false);
    std::vector<uint8_t> flat(picture.size());
    for (size_t i = 0; i < picture.size(); i += 4) {
        for (int c = 0; c < 3; ++c) flat[i + c] = OnWhite(picture[i + c], picture[i + 3]);
        flat[i + 3] = 255;
    }
    const auto transparent = FromBgra(41, 29, picture);
    const auto opaque = FromBgra(41, 29, flat);
    const int tolerance[] = {1, 2, 2, 12, 12};
    for (int algorithm = 0; algorithm <= 4; ++algorithm) {
        const auto result = Resized(*transparent, 90, 64, algorithm);
        Bitmap reference(90, 64, PixelFormat24bppRGB);
        ASSERT_TRUE(ResizeBitmap(*opaque, reference, static_cast<ResizeAlgorithm>(algorithm), false, nullptr));
        const std::vector<uint8_t> got = Bgra(*result), want = Bgra(reference);
        int worst = 0;
        for (size_t i = 0; i < got.size(); i += 4)
            for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(OnWhite(got[i + c], got[i + 3]) - want[i + c]));
        EXPECT_LE(worst, tolerance[algorithm]) << "algorithm " << algorithm;
    }
}

// The fixtures show one colour (red, or its grey) where they are not transparent, on a transparent
// background that hides another (green). The centre keeps the colour, the background its
// transparency (or white). On white, red keeps green and blue equal, which the hidden green would
// not. With exact, every pixel shows the visible colour in what it adds over a background (its
// colour weighted by its alpha), as the standard modes keep it: they resample colour and alpha
// alike. (The own algorithms' sharpened colour and their cubic alpha differ at an edge; that the
// hidden colour never reaches them is shown above, byte for byte.)
void ExpectNoHiddenColour(const std::vector<uint8_t>& bgra, int32_t width, int32_t height, const uint8_t* visible,
                          bool composited, bool exact, int tolerance, const std::string& what) {
    const auto at = [&](int32_t x, int32_t y) { return &bgra[4 * (static_cast<size_t>(y) * width + x)]; };
    const uint8_t* centre = at(width / 2, height / 2);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(centre[c], visible[c], 5) << what;
    EXPECT_EQ(centre[3], 255) << what;
    const uint8_t* corner = at(0, 0);
    if (composited) EXPECT_GE(std::min({corner[0], corner[1], corner[2]}), 250) << what << ": the background is white";
    else EXPECT_EQ(corner[3], 0) << what << ": the background stays transparent";
    int worst = 0;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = at(x, y);
            if (composited) {
                // Red (or grey) on white keeps green and blue equal; the hidden green would not.
                worst = std::max(worst, std::abs(p[1] - p[0]));
                continue;
            }
            if (exact)
                for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(p[c] - visible[c]) * p[3] / 255);
        }
    EXPECT_LE(worst, tolerance) << what;
}

TEST(AlphaResize, TransparentFilesKeepTheirAlphaWhereTheFormatHoldsItAndShowOnWhiteElsewhere) {
    struct Output {
        const char* mime;
        bool composited;
    };
    const Output outputs[] = {{"image/png", false}, {"image/tiff", false}, {"image/gif", false}, {"image/jpeg", true}};
    for (const char* name : kTransparentFixtures) {
        const auto source = OpenFixture(name);
        const std::vector<uint8_t> pixels = Bgra(*source);
        const uint8_t* visible = &pixels[4 * (static_cast<size_t>(source->GetHeight() / 2) * source->GetWidth() +
                                              source->GetWidth() / 2)];
        for (const int algorithm : {0, 2, 4, 6, 9}) {
            const auto result = Resized(*source, 96, 64, algorithm);
            for (const Output& output : outputs) {
                std::vector<uint8_t> file;
                ASSERT_EQ(result->Save(file, output.mime, 95), Status::Ok);
                const auto back = Bitmap::FromMemory(std::move(file));
                const std::string what = std::string(name) + " a" + std::to_string(algorithm) + " " + output.mime;
                ASSERT_EQ(back->GetWidth(), 96) << what;
                if (!output.composited) {
                    EXPECT_NE(back->GetFlags() & ImageFlagsHasAlpha, 0u) << what;
                }
                // Cubic overshoot rounds a little, GIF's palette is dithered, JPEG's chroma blurs.
                const bool exact = algorithm <= 4 && std::string(output.mime) != "image/gif";
                ExpectNoHiddenColour(Bgra(*back), 96, 64, visible, output.composited, exact, output.composited ? 24 : 6, what);
            }
        }
    }
}

}  // namespace
}  // namespace kv
