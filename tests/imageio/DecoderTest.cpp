#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "ImageBuilders.h"
#include "common/TestFiles.h"
#include "imageio/Bitmap.h"
#include "imageio/BitmapState.h"

namespace kv {
namespace {

using test::Bytes;
using Bgra = std::array<uint8_t, 4>;

struct Probe {
    int32_t x, y;
    Bgra bgra;
};

std::unique_ptr<Bitmap> Open(const Bytes& bytes) { return Bitmap::FromMemory(bytes); }

Bgra PixelAt(Bitmap& bitmap, int32_t x, int32_t y) {
    BitmapData data;
    Bgra p{};
    if (bitmap.LockBits({x, y, 1, 1}, ImageLockMode::Read, PixelFormat32bppARGB, &data) != Status::Ok) {
        ADD_FAILURE() << "lock failed: " << bitmap.GetLastErrorMessage();
        return p;
    }
    std::memcpy(p.data(), data.scan0, 4);
    bitmap.UnlockBits(&data);
    return p;
}

// Opens a file, checks its pixel format and a few pixels (B,G,R,A within a tolerance).
void ExpectImage(const Bytes& file, PixelFormat format, const std::vector<Probe>& probes, int tolerance = 0) {
    ASSERT_FALSE(file.empty());
    auto bitmap = Open(file);
    ASSERT_EQ(bitmap->GetLastStatus(), Status::Ok) << bitmap->GetLastErrorMessage();
    EXPECT_EQ(bitmap->GetPixelFormat(), format);
    for (const Probe& p : probes) {
        const Bgra got = PixelAt(*bitmap, p.x, p.y);
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(got[c], p.bgra[c], tolerance) << "pixel " << p.x << "," << p.y << " channel " << c;
    }
}

Bytes Be16(std::initializer_list<uint16_t> words) {
    Bytes b;
    for (uint16_t w : words) {
        b.push_back(static_cast<uint8_t>(w >> 8));
        b.push_back(static_cast<uint8_t>(w));
    }
    return b;
}

Bytes Native16(std::initializer_list<uint16_t> words) {
    Bytes b(words.size() * 2);
    std::memcpy(b.data(), std::data(words), b.size());
    return b;
}

// ---- files from the collection -------------------------------------------------------------

TEST(DecoderTest, RealFilesOpenWithTheirHeaders) {
    const struct {
        const char* name;
        ImageFormat format;
        int32_t width, height;
        PixelFormat pixelFormat;
        float dpi;
    } files[] = {
        {"Canon_40D.jpg", ImageFormat::Jpeg, 100, 68, PixelFormat24bppRGB, 72},
        {"DSCN0010.jpg", ImageFormat::Jpeg, 640, 480, PixelFormat24bppRGB, 300},
        {"testimgari.jpg", ImageFormat::Jpeg, 227, 149, PixelFormat24bppRGB, 96},
        {"Picoawards.tiff", ImageFormat::Tiff, 436, 547, PixelFormat24bppRGB, 96},
        {"Arbitro.tiff", ImageFormat::Tiff, 174, 38, PixelFormat32bppPARGB, 96},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        auto bitmap = Bitmap::FromFile(test::DataPath(f.name));
        ASSERT_EQ(bitmap->GetLastStatus(), Status::Ok) << bitmap->GetLastErrorMessage();
        EXPECT_EQ(bitmap->GetRawFormat(), f.format);
        EXPECT_EQ(bitmap->GetWidth(), f.width);
        EXPECT_EQ(bitmap->GetHeight(), f.height);
        EXPECT_EQ(bitmap->GetPixelFormat(), f.pixelFormat);
        EXPECT_FLOAT_EQ(bitmap->GetHorizontalResolution(), f.dpi);
        EXPECT_NE(bitmap->GetFlags(), 0u);
        EXPECT_EQ(bitmap->GetType(), ImageType::Bitmap);
        BitmapData data;
        ASSERT_EQ(bitmap->LockBits({0, 0, f.width, f.height}, ImageLockMode::Read, PixelFormat24bppRGB, &data), Status::Ok)
            << bitmap->GetLastErrorMessage();
        bitmap->UnlockBits(&data);
    }
}

TEST(DecoderTest, TwelveBitJpegFailsCleanly) {
    auto bitmap = Bitmap::FromFile(test::DataPath("monkey12.jpg"));
    EXPECT_NE(bitmap->GetLastStatus(), Status::Ok);
    EXPECT_EQ(bitmap->GetPixelFormat(), PixelFormatUndefined);
    EXPECT_EQ(bitmap->GetType(), ImageType::Unknown);
    EXPECT_NE(bitmap->GetLastErrorMessage().find("precision"), std::string::npos) << bitmap->GetLastErrorMessage();
    BitmapData data;
    EXPECT_NE(bitmap->LockBits({0, 0, 1, 1}, ImageLockMode::Read, PixelFormat24bppRGB, &data), Status::Ok);
}

TEST(DecoderTest, DamagedJpegShowsWhatLibjpegRecovers) {
    auto bitmap = Bitmap::FromFile(test::DataPath("image01137.jpg"));
    ASSERT_EQ(bitmap->GetLastStatus(), Status::Ok) << bitmap->GetLastErrorMessage();
    EXPECT_EQ(bitmap->GetWidth(), 88);
    BitmapData data;
    ASSERT_EQ(bitmap->LockBits({0, 0, 88, 64}, ImageLockMode::Read, PixelFormat24bppRGB, &data), Status::Ok);
    bitmap->UnlockBits(&data);
}

// ---- JPEG ----------------------------------------------------------------------------------

test::JpegImage Flat(int components, J_COLOR_SPACE space, std::initializer_list<uint8_t> sample) {
    test::JpegImage image;
    image.components = components;
    image.colourSpace = space;
    for (int i = 0; i < image.width * image.height; ++i) image.samples.insert(image.samples.end(), sample);
    return image;
}

TEST(DecoderTest, JpegColourLayouts) {
    // Grey becomes indexed with a grey palette.
    const Bytes grey = test::EncodeJpeg(Flat(1, JCS_GRAYSCALE, {100}));
    ExpectImage(grey, PixelFormat8bppIndexed, {{3, 3, {100, 100, 100, 255}}}, 1);
    EXPECT_EQ(Open(grey)->GetFlags() & ImageFlagsColorSpaceGRAY, ImageFlagsColorSpaceGRAY);

    // CMYK as Adobe writes it (inks inverted: 255 is no ink): full cyan is R=0, G=B=255.
    const Bytes cmyk = test::EncodeJpeg(Flat(4, JCS_CMYK, {0, 255, 255, 255}));
    ExpectImage(cmyk, PixelFormat32bppCMYK, {{0, 0, {255, 255, 0, 255}}}, 2);
    EXPECT_TRUE(Open(cmyk)->GetFlags() & ImageFlagsColorSpaceCMYK);

    test::JpegImage progressive = Flat(3, JCS_RGB, {200, 40, 10});
    progressive.progressive = true;
    ExpectImage(test::EncodeJpeg(progressive), PixelFormat24bppRGB, {{7, 7, {10, 40, 200, 255}}}, 4);
}

TEST(DecoderTest, JpegResolutionFromJfifDensity) {
    test::JpegImage image = Flat(3, JCS_RGB, {1, 2, 3});
    image.densityUnit = 2;  // dots per centimetre
    image.density = 100;
    auto cm = Open(test::EncodeJpeg(image));
    EXPECT_FLOAT_EQ(cm->GetHorizontalResolution(), 254.0f);
    EXPECT_TRUE(cm->GetFlags() & ImageFlagsHasRealDPI);

    image.densityUnit = 0;  // aspect ratio only
    auto none = Open(test::EncodeJpeg(image));
    EXPECT_FLOAT_EQ(none->GetHorizontalResolution(), 96.0f);
    EXPECT_FALSE(none->GetFlags() & ImageFlagsHasRealDPI);
}

// A valid progressive file with one scan per AC coefficient and component: far past the cap.
TEST(DecoderTest, JpegWithTooManyScansIsStopped) {
    test::JpegImage image = Flat(3, JCS_RGB, {50, 60, 70});
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = c.image_height = 8;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    std::vector<jpeg_scan_info> scans;
    scans.push_back({3, {0, 1, 2, 0}, 0, 0, 0, 0});
    for (int k = 1; k < 64; ++k)
        for (int comp = 0; comp < 3; ++comp) scans.push_back({1, {comp, 0, 0, 0}, k, k, 0, 0});
    c.scan_info = scans.data();
    c.num_scans = static_cast<int>(scans.size());
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < 8) {
        JSAMPROW row = image.samples.data() + c.next_scanline * 24;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    const Bytes file(buffer, buffer + size);
    std::free(buffer);

    auto bitmap = Open(file);
    ASSERT_EQ(bitmap->GetLastStatus(), Status::Ok);  // the header is fine
    BitmapData data;
    EXPECT_EQ(bitmap->LockBits({0, 0, 8, 8}, ImageLockMode::Read, PixelFormat24bppRGB, &data), Status::Aborted);
    EXPECT_NE(bitmap->GetLastErrorMessage().find("scans"), std::string::npos);
}

// ---- PNG -----------------------------------------------------------------------------------

TEST(DecoderTest, PngLayouts) {
    const std::vector<png_color> rgbw = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    struct Case {
        const char* name;
        test::PngImage image;
        PixelFormat format;
        std::vector<Probe> probes;
    };
    std::vector<Case> cases;
    {
        test::PngImage p{.width = 3, .bitDepth = 2, .colourType = PNG_COLOR_TYPE_PALETTE, .palette = rgbw,
                         .trnsAlpha = {0}};
        p.rows = {0b11'00'10'00};  // indices 3, 0, 2
        cases.push_back({"2-bit palette, transparent entry", p, PixelFormat4bppIndexed,
                         {{0, 0, {255, 255, 255, 255}}, {1, 0, {0, 0, 255, 0}}, {2, 0, {255, 0, 0, 255}}}});
    }
    {
        test::PngImage p{.width = 9, .bitDepth = 1, .colourType = PNG_COLOR_TYPE_GRAY};
        p.rows = {0b0100'0000, 0b1000'0000};
        cases.push_back({"1-bit grey", p, PixelFormat1bppIndexed,
                         {{0, 0, {0, 0, 0, 255}}, {1, 0, {255, 255, 255, 255}}, {8, 0, {255, 255, 255, 255}}}});
    }
    {
        test::PngImage p{.width = 2, .bitDepth = 8, .colourType = PNG_COLOR_TYPE_GRAY,
                         .trnsColour = png_color_16{0, 0, 0, 0, 128}};
        p.rows = {128, 129};
        cases.push_back({"8-bit grey with a transparent grey", p, PixelFormat8bppIndexed,
                         {{0, 0, {128, 128, 128, 0}}, {1, 0, {129, 129, 129, 255}}}});
    }
    {
        test::PngImage p{.width = 2, .bitDepth = 16, .colourType = PNG_COLOR_TYPE_GRAY};
        p.rows = Be16({0xFFFF, 0x8080});
        cases.push_back({"16-bit grey", p, PixelFormat48bppRGB, {{0, 0, {255, 255, 255, 255}}, {1, 0, {128, 128, 128, 255}}}});
    }
    {
        test::PngImage p{.width = 1, .bitDepth = 8, .colourType = PNG_COLOR_TYPE_GRAY_ALPHA};
        p.rows = {77, 33};
        cases.push_back({"grey and alpha", p, PixelFormat32bppARGB, {{0, 0, {77, 77, 77, 33}}}});
    }
    {
        test::PngImage p{.width = 2, .bitDepth = 8, .colourType = PNG_COLOR_TYPE_RGB};
        p.rows = {10, 20, 30, 40, 50, 60};
        cases.push_back({"8-bit RGB", p, PixelFormat24bppRGB, {{0, 0, {30, 20, 10, 255}}, {1, 0, {60, 50, 40, 255}}}});
    }
    {
        test::PngImage p{.width = 2, .bitDepth = 8, .colourType = PNG_COLOR_TYPE_RGB,
                         .trnsColour = png_color_16{0, 40, 50, 60, 0}};
        p.rows = {10, 20, 30, 40, 50, 60};
        cases.push_back({"8-bit RGB with a transparent colour", p, PixelFormat32bppARGB,
                         {{0, 0, {30, 20, 10, 255}}, {1, 0, {60, 50, 40, 0}}}});
    }
    {
        test::PngImage p{.width = 1, .bitDepth = 16, .colourType = PNG_COLOR_TYPE_RGB_ALPHA};
        p.rows = Be16({0x1010, 0x2020, 0x3030, 0x8080});
        cases.push_back({"16-bit RGBA", p, PixelFormat64bppARGB, {{0, 0, {0x30, 0x20, 0x10, 0x80}}}});
    }
    {
        test::PngImage p{.width = 9, .height = 9, .bitDepth = 8, .colourType = PNG_COLOR_TYPE_RGB, .interlaced = true};
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x) p.rows.insert(p.rows.end(), {uint8_t(x * 20), uint8_t(y * 20), 7});
        cases.push_back({"interlaced", p, PixelFormat24bppRGB,
                         {{0, 0, {7, 0, 0, 255}}, {3, 5, {7, 100, 60, 255}}, {8, 8, {7, 160, 160, 255}}}});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectImage(test::EncodePng(c.image), c.format, c.probes);
    }
}

TEST(DecoderTest, PngSixteenBitSamplesKeepTheirOrderAndDpi) {
    test::PngImage p{.width = 1, .bitDepth = 16, .colourType = PNG_COLOR_TYPE_RGB, .pixelsPerMetre = 3780};
    p.rows = Be16({0x1234, 0x5678, 0x9ABC});
    auto bitmap = Open(test::EncodePng(p));
    ASSERT_EQ(bitmap->GetPixelFormat(), PixelFormat48bppRGB);
    EXPECT_NEAR(bitmap->GetHorizontalResolution(), 96.0f, 0.02f);
    EXPECT_TRUE(bitmap->GetFlags() & ImageFlagsHasRealDPI);
    BitmapData data;
    ASSERT_EQ(bitmap->LockBits({0, 0, 1, 1}, ImageLockMode::Read, PixelFormat48bppRGB, &data), Status::Ok);
    uint16_t samples[3];
    std::memcpy(samples, data.scan0, sizeof samples);
    bitmap->UnlockBits(&data);
    EXPECT_EQ(samples[0], 0x9ABC);  // blue first, in machine order
    EXPECT_EQ(samples[1], 0x5678);
    EXPECT_EQ(samples[2], 0x1234);
}

// ---- TIFF ----------------------------------------------------------------------------------

TEST(DecoderTest, TiffLayouts) {
    struct Case {
        const char* name;
        test::TiffImage image;
        PixelFormat format;
        std::vector<Probe> probes;
        int tolerance = 0;
    };
    std::vector<Case> cases;
    cases.push_back({"RGB", {.width = 2, .rows = {10, 20, 30, 40, 50, 60}}, PixelFormat24bppRGB, {{1, 0, {60, 50, 40, 255}}}});
    cases.push_back({"RGBA straight",
                     {.samplesPerPixel = 4, .extraSample = EXTRASAMPLE_UNASSALPHA, .rows = {10, 20, 30, 40}},
                     PixelFormat32bppARGB, {{0, 0, {30, 20, 10, 40}}}});
    cases.push_back({"RGBA premultiplied",
                     {.samplesPerPixel = 4, .extraSample = EXTRASAMPLE_ASSOCALPHA, .rows = {10, 20, 30, 128}},
                     PixelFormat32bppPARGB, {{0, 0, {60, 40, 20, 128}}}, 1});
    {
        test::TiffImage t{.width = 3, .bitsPerSample = 4, .samplesPerPixel = 1, .photometric = PHOTOMETRIC_PALETTE};
        t.colourMap.assign(48, 0);
        t.colourMap[2] = 0xFFFF;          // entry 2 red
        t.colourMap[16 + 1] = 0x8080;     // entry 1 green half
        t.rows = {0x21, 0x00};
        cases.push_back({"4-bit palette", t, PixelFormat4bppIndexed, {{0, 0, {0, 0, 255, 255}}, {1, 0, {0, 128, 0, 255}}}});
    }
    {
        // Some writers put 8-bit values into the 16-bit colour map.
        test::TiffImage t{.bitsPerSample = 8, .samplesPerPixel = 1, .photometric = PHOTOMETRIC_PALETTE};
        t.colourMap.assign(768, 0);
        t.colourMap[5] = 200;
        t.colourMap[512 + 5] = 100;
        t.rows = {5};
        cases.push_back({"8-bit palette with 8-bit map", t, PixelFormat8bppIndexed, {{0, 0, {100, 0, 200, 255}}}});
    }
    cases.push_back({"1-bit min-is-white",
                     {.width = 2, .bitsPerSample = 1, .samplesPerPixel = 1, .photometric = PHOTOMETRIC_MINISWHITE,
                      .rows = {0b0100'0000}},
                     PixelFormat1bppIndexed, {{0, 0, {255, 255, 255, 255}}, {1, 0, {0, 0, 0, 255}}}});
    cases.push_back({"2-bit grey",
                     {.width = 3, .bitsPerSample = 2, .samplesPerPixel = 1, .photometric = PHOTOMETRIC_MINISBLACK,
                      .rows = {0b01'10'11'00}},
                     PixelFormat4bppIndexed, {{0, 0, {85, 85, 85, 255}}, {2, 0, {255, 255, 255, 255}}}});
    cases.push_back({"16-bit grey",
                     {.bitsPerSample = 16, .samplesPerPixel = 1, .photometric = PHOTOMETRIC_MINISBLACK,
                      .rows = Native16({0x8080})},
                     PixelFormat48bppRGB, {{0, 0, {128, 128, 128, 255}}}});
    cases.push_back({"grey and alpha",
                     {.samplesPerPixel = 2, .photometric = PHOTOMETRIC_MINISBLACK,
                      .extraSample = EXTRASAMPLE_UNASSALPHA, .rows = {90, 45}},
                     PixelFormat32bppARGB, {{0, 0, {90, 90, 90, 45}}}});
    cases.push_back({"CMYK",
                     {.samplesPerPixel = 4, .photometric = PHOTOMETRIC_SEPARATED, .rows = {255, 0, 0, 0}},
                     PixelFormat32bppCMYK, {{0, 0, {255, 255, 0, 255}}}});
    {
        test::TiffImage t{.width = 20, .height = 20, .tileSize = 16};
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) t.rows.insert(t.rows.end(), {uint8_t(x * 10), uint8_t(y * 10), 3});
        cases.push_back({"tiled", t, PixelFormat24bppRGB, {{17, 18, {3, 180, 170, 255}}, {2, 1, {3, 10, 20, 255}}}});
        t.tileSize = 0;
        t.compression = COMPRESSION_JPEG;
        t.photometric = PHOTOMETRIC_YCBCR;
        cases.push_back({"YCbCr JPEG", t, PixelFormat24bppRGB, {{10, 10, {3, 100, 100, 255}}}, 12});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectImage(test::EncodeTiff(c.image), c.format, c.probes, c.tolerance);
    }
}

TEST(DecoderTest, TiffResolutionInCentimetres) {
    auto bitmap = Open(test::EncodeTiff({.xResolution = 100, .resolutionUnit = RESUNIT_CENTIMETER, .rows = {1, 2, 3}}));
    EXPECT_FLOAT_EQ(bitmap->GetHorizontalResolution(), 254.0f);
    EXPECT_TRUE(bitmap->GetFlags() & ImageFlagsHasRealDPI);
}

// ---- GIF -----------------------------------------------------------------------------------

const std::vector<GifColorType> kGifColours = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

TEST(DecoderTest, GifFirstFrameOnItsScreen) {
    // A 2x2 frame at (1,1) of a 4x3 screen; the rest of the screen shows the background index.
    test::GifImage framed{.screenWidth = 4, .screenHeight = 3, .background = 3, .left = 1, .top = 1, .width = 2,
                          .height = 2, .colours = kGifColours, .indices = {1, 2, 2, 1}};
    ExpectImage(test::EncodeGif(framed), PixelFormat8bppIndexed,
                {{0, 0, {255, 0, 0, 255}}, {1, 1, {0, 0, 255, 255}}, {2, 2, {0, 0, 255, 255}}, {2, 1, {0, 255, 0, 255}}});

    // With a transparent index the screen outside the frame is transparent.
    framed.transparent = 0;
    auto transparent = Open(test::EncodeGif(framed));
    EXPECT_TRUE(transparent->GetFlags() & ImageFlagsHasAlpha);
    EXPECT_EQ(PixelAt(*transparent, 3, 0)[3], 0);
    EXPECT_EQ(transparent->GetPalette().at(0), 0x00000000u);

    // A frame reaching past the screen is clipped.
    test::GifImage large{.screenWidth = 2, .screenHeight = 2, .left = 1, .top = 1, .width = 3, .height = 3,
                         .colours = kGifColours, .indices = {1, 2, 3, 2, 2, 2, 3, 3, 3}};
    ExpectImage(test::EncodeGif(large), PixelFormat8bppIndexed, {{1, 1, {0, 0, 255, 255}}, {0, 1, {0, 0, 0, 255}}});
}

TEST(DecoderTest, GifInterlacedRowsLandInOrder) {
    test::GifImage image{.screenWidth = 1, .screenHeight = 10, .width = 1, .height = 10, .interlaced = true,
                         .colours = kGifColours};
    for (int y = 0; y < 10; ++y) image.indices.push_back(static_cast<uint8_t>(y % 4));
    auto bitmap = Open(test::EncodeGif(image));
    ASSERT_EQ(bitmap->GetLastStatus(), Status::Ok);
    for (int y = 0; y < 10; ++y) {
        const uint32_t colour = kGifColours[static_cast<size_t>(y % 4)].Blue | kGifColours[static_cast<size_t>(y % 4)].Green << 8 |
                                kGifColours[static_cast<size_t>(y % 4)].Red << 16;
        const Bgra p = PixelAt(*bitmap, 0, y);
        EXPECT_EQ(uint32_t(p[0] | p[1] << 8 | p[2] << 16), colour) << "row " << y;
    }
}

// ---- BMP -----------------------------------------------------------------------------------

TEST(DecoderTest, BmpVariants) {
    struct Case {
        const char* name;
        test::BmpImage image;
        PixelFormat format;
        std::vector<Probe> probes;
    };
    const std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    std::vector<Case> cases;
    cases.push_back({"1 bit", {.width = 9, .height = 1, .bitCount = 1, .palette = {0x000000, 0xFFFFFF}, .data = {0x00, 0x80, 0, 0}},
                     PixelFormat1bppIndexed, {{0, 0, {0, 0, 0, 255}}, {8, 0, {255, 255, 255, 255}}}});
    cases.push_back({"4 bit bottom-up", {.width = 3, .height = 2, .bitCount = 4, .palette = palette, .data = {0x12, 0x30, 0, 0, 0x00, 0x01, 0, 0}},
                     PixelFormat4bppIndexed, {{0, 1, {0, 0, 255, 255}}, {2, 1, {255, 0, 0, 255}}, {0, 0, {0, 0, 0, 255}}}});
    cases.push_back({"8 bit top-down", {.width = 2, .height = -2, .bitCount = 8, .palette = palette, .data = {1, 2, 0, 0, 3, 0, 0, 0}},
                     PixelFormat8bppIndexed, {{0, 0, {0, 0, 255, 255}}, {0, 1, {255, 0, 0, 255}}}});
    cases.push_back({"8 bit OS/2 core header", {.width = 1, .height = 1, .bitCount = 8, .headerSize = 12, .palette = palette, .data = {2, 0, 0, 0}},
                     PixelFormat8bppIndexed, {{0, 0, {0, 255, 0, 255}}}});
    cases.push_back({"16 bit 555", {.width = 1, .bitCount = 16, .data = {0x1F, 0x7C, 0, 0}},
                     PixelFormat16bppRGB555, {{0, 0, {255, 0, 255, 255}}}});
    cases.push_back({"16 bit 565 fields", {.width = 1, .bitCount = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}, .data = {0xE0, 0x07, 0, 0}},
                     PixelFormat16bppRGB565, {{0, 0, {0, 255, 0, 255}}}});
    cases.push_back({"16 bit 1555 in a v4 header", {.width = 1, .bitCount = 16, .compression = 3, .headerSize = 108, .masks = {0x7C00, 0x03E0, 0x001F, 0x8000}, .data = {0x1F, 0x00, 0, 0}},
                     PixelFormat16bppARGB1555, {{0, 0, {255, 0, 0, 0}}}});
    cases.push_back({"16 bit 444 fields", {.width = 1, .bitCount = 16, .compression = 3, .masks = {0x0F00, 0x00F0, 0x000F}, .data = {0xF0, 0x0F, 0, 0}},
                     PixelFormat24bppRGB, {{0, 0, {0, 255, 255, 255}}}});
    cases.push_back({"24 bit", {.width = 1, .height = 2, .data = {1, 2, 3, 0, 4, 5, 6, 0}},
                     PixelFormat24bppRGB, {{0, 0, {4, 5, 6, 255}}, {0, 1, {1, 2, 3, 255}}}});
    cases.push_back({"32 bit", {.width = 1, .bitCount = 32, .data = {1, 2, 3, 9}}, PixelFormat32bppRGB, {{0, 0, {1, 2, 3, 255}}}});
    cases.push_back({"32 bit with alpha in a v5 header", {.width = 1, .bitCount = 32, .compression = 3, .headerSize = 124, .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, .data = {1, 2, 3, 9}},
                     PixelFormat32bppARGB, {{0, 0, {1, 2, 3, 9}}}});
    cases.push_back({"32 bit 10-10-10 fields", {.width = 1, .bitCount = 32, .compression = 3, .masks = {0x3FF00000, 0x000FFC00, 0x000003FF}, .data = {0xFF, 0x03, 0, 0}},
                     PixelFormat24bppRGB, {{0, 0, {255, 0, 0, 255}}}});
    // RLE8: a run of 3 x index 1, end of line, three literal pixels 2, 3, 1 (padded), end of line,
    // a move right by 1 and up 0, a run of 1 x index 3, end of bitmap.
    cases.push_back({"RLE8", {.width = 4, .height = 3, .bitCount = 8, .compression = 1, .palette = palette,
                              .data = {3, 1, 0, 0, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 1, 0, 1, 3, 0, 1}},
                     PixelFormat8bppIndexed,
                     {{0, 2, {0, 0, 255, 255}}, {2, 2, {0, 0, 255, 255}}, {3, 2, {0, 0, 0, 255}}, {1, 1, {255, 0, 0, 255}},
                      {1, 0, {255, 0, 0, 255}}, {0, 0, {0, 0, 0, 255}}}});
    // RLE4: a run of 5 alternating 1,2; end of line; 3 literal pixels 3,2,1 (two bytes, padded).
    cases.push_back({"RLE4", {.width = 5, .height = 2, .bitCount = 4, .compression = 2, .palette = palette,
                              .data = {5, 0x12, 0, 0, 0, 3, 0x32, 0x10, 0, 1}},
                     PixelFormat4bppIndexed,
                     {{0, 1, {0, 0, 255, 255}}, {1, 1, {0, 255, 0, 255}}, {4, 1, {0, 0, 255, 255}}, {0, 0, {255, 0, 0, 255}},
                      {2, 0, {0, 0, 255, 255}}, {3, 0, {0, 0, 0, 255}}}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectImage(test::EncodeBmp(c.image), c.format, c.probes);
    }
}

TEST(DecoderTest, BmpResolutionFromPelsPerMetre) {
    auto bitmap = Open(test::EncodeBmp({.pelsPerMetre = 11811, .data = {0, 0, 0, 0}}));
    EXPECT_NEAR(bitmap->GetHorizontalResolution(), 300.0f, 0.01f);
}

TEST(DecoderTest, BmpDamageIsRefused) {
    const Bytes good = test::EncodeBmp({.width = 2, .height = 2, .data = Bytes(16, 7)});
    struct Case {
        const char* name;
        Bytes file;
    };
    std::vector<Case> cases;
    auto patched = [&](size_t at, uint32_t value) {
        Bytes b = good;
        test::Put32(b, at, value);
        return b;
    };
    cases.push_back({"data offset past the end", patched(10, 1000)});
    cases.push_back({"data offset inside the header", patched(10, 20)});
    cases.push_back({"unknown header size", patched(14, 41)});
    cases.push_back({"huge header size", patched(14, 0xFFFFFFF0u)});
    cases.push_back({"height of INT_MIN", patched(22, 0x80000000u)});
    cases.push_back({"zero width", patched(18, 0)});
    cases.push_back({"JPEG inside", patched(30, 4)});
    cases.push_back({"bit depth 2", [&] { Bytes b = good; test::Put16(b, 28, 2); return b; }()});
    cases.push_back({"pixel data cut short", Bytes(good.begin(), good.end() - 5)});
    cases.push_back({"top-down RLE", test::EncodeBmp({.width = 1, .height = -1, .bitCount = 8, .compression = 1, .palette = {0}, .data = {0, 1}})});
    cases.push_back({"RLE on 24 bits", test::EncodeBmp({.width = 1, .height = 1, .bitCount = 24, .compression = 1, .data = {0, 1}})});
    cases.push_back({"bit field wider than the pixel", test::EncodeBmp({.width = 1, .bitCount = 16, .compression = 3, .masks = {0x1F0000, 0xFF, 0xF00}, .data = {0, 0, 0, 0}})});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto bitmap = Open(c.file);
        EXPECT_NE(bitmap->GetLastStatus(), Status::Ok);
        EXPECT_EQ(bitmap->GetPixelFormat(), PixelFormatUndefined);
        EXPECT_FALSE(bitmap->GetLastErrorMessage().empty());
    }
}

// Runs that point outside the picture are clipped, never written past the rows. (A literal run
// longer than the data is a damaged file: see DamagedFilesTest.)
TEST(DecoderTest, BmpRleRunsOutsideThePictureAreClipped) {
    const std::vector<uint32_t> palette = {0x000000, 0xFFFFFF};
    auto bitmap = Open(test::EncodeBmp({.width = 2, .height = 2, .bitCount = 8, .compression = 1, .palette = palette,
                                        .data = {255, 1, 0, 2, 200, 0, 4, 1, 0, 0, 0, 1}}));
    ASSERT_EQ(bitmap->GetLastStatus(), Status::Ok);
    EXPECT_EQ(PixelAt(*bitmap, 1, 1)[0], 255);
    EXPECT_EQ(PixelAt(*bitmap, 0, 0)[0], 0);
}

// ---- every format: header-only opening and hostile bytes -------------------------------------

std::vector<std::pair<const char*, Bytes>> SmallFiles() {
    test::JpegImage jpeg = Flat(3, JCS_RGB, {9, 99, 199});
    jpeg.width = jpeg.height = 32;
    jpeg.samples.resize(32 * 32 * 3, 128);
    test::PngImage png{.width = 16, .height = 16, .colourType = PNG_COLOR_TYPE_RGB};
    png.rows.assign(16 * 16 * 3, 77);
    test::GifImage gif{.screenWidth = 8, .screenHeight = 8, .width = 8, .height = 8, .colours = kGifColours};
    gif.indices.assign(64, 2);
    return {{"jpeg", test::EncodeJpeg(jpeg)},
            {"png", test::EncodePng(png)},
            {"tiff", test::EncodeTiff({.width = 4, .height = 4, .compression = COMPRESSION_LZW, .rows = Bytes(48, 5)})},
            {"gif", test::EncodeGif(gif)},
            {"bmp", test::EncodeBmp({.width = 4, .height = 4, .data = Bytes(48, 5)})}};
}

TEST(DecoderTest, TruncatedFilesFailOrRecoverButNeverCrash) {
    for (const auto& [name, file] : SmallFiles()) {
        for (size_t length : {size_t{0}, size_t{1}, size_t{3}, size_t{12}, size_t{30}, file.size() / 2, file.size() - 1}) {
            SCOPED_TRACE(std::string(name) + " cut to " + std::to_string(length));
            auto bitmap = Open(Bytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(length)));
            const Status opened = bitmap->GetLastStatus();
            if (opened != Status::Ok) {
                EXPECT_EQ(bitmap->GetPixelFormat(), PixelFormatUndefined);
                EXPECT_FALSE(bitmap->GetLastErrorMessage().empty());
                continue;
            }
            BitmapData data;
            const Status locked = bitmap->LockBits({0, 0, bitmap->GetWidth(), bitmap->GetHeight()}, ImageLockMode::Read,
                                                   PixelFormat24bppRGB, &data);
            if (locked == Status::Ok) bitmap->UnlockBits(&data);
            else EXPECT_FALSE(bitmap->GetLastErrorMessage().empty());
        }
    }
}

TEST(DecoderTest, OpeningReadsTheHeaderOnly) {
    for (const auto& [name, file] : SmallFiles()) {
        SCOPED_TRACE(name);
        auto bitmap = Open(file);
        ASSERT_EQ(bitmap->GetLastStatus(), Status::Ok);
        EXPECT_FALSE(bitmap->state().decodeTried);
        EXPECT_FALSE(bitmap->state().pixels.data);
    }
    // A JPEG cut a few bytes into its scan still tells its size; its pixels, incomplete, do not
    // decode.
    const Bytes whole = SmallFiles()[0].second;
    size_t sos = 0;
    while (sos + 1 < whole.size() && !(whole[sos] == 0xFF && whole[sos + 1] == 0xDA)) ++sos;
    ASSERT_LT(sos + 20, whole.size());
    auto cut = Open(Bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(sos + 20)));
    ASSERT_EQ(cut->GetLastStatus(), Status::Ok) << cut->GetLastErrorMessage();
    EXPECT_EQ(cut->GetWidth(), 32);
    EXPECT_EQ(cut->GetHeight(), 32);
    BitmapData data;
    EXPECT_NE(cut->LockBits({0, 0, 32, 32}, ImageLockMode::Read, PixelFormat24bppRGB, &data), Status::Ok);
    EXPECT_NE(cut->GetLastErrorMessage().find("premature end"), std::string::npos) << cut->GetLastErrorMessage();
}

TEST(DecoderTest, EmptyAndUnknownFiles) {
    auto empty = Open({});
    EXPECT_EQ(empty->GetLastStatus(), Status::UnknownImageFormat);
    EXPECT_EQ(empty->GetLastErrorMessage(), "The file is empty");
    auto text = Open(Bytes{'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(text->GetLastStatus(), Status::UnknownImageFormat);
    EXPECT_EQ(text->GetPixelFormat(), PixelFormatUndefined);
}

class PixelLimitTest : public ::testing::Test {
protected:
    void TearDown() override { SetDecodePixelLimit(uint64_t{1} << 30); }
};

TEST_F(PixelLimitTest, HugeHeadersAreRefusedBeforeAllocating) {
    EXPECT_EQ(DecodePixelLimit(), uint64_t{1} << 30);
    // Headers that claim 40000 x 40000 (1.6 gigapixels) over a few bytes of data.
    Bytes jpeg = SmallFiles()[0].second;
    for (size_t i = 0; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // baseline frame header: height, width at +5
            jpeg[i + 5] = jpeg[i + 7] = 0x9C;
            jpeg[i + 6] = jpeg[i + 8] = 0x40;
            break;
        }
    }
    const std::vector<std::pair<const char*, Bytes>> huge = {
        {"bmp", test::EncodeBmp({.width = 40000, .height = 40000, .data = Bytes(16, 0)})},
        {"jpeg", jpeg},
        {"gif", [] {
             test::GifImage g{.screenWidth = 40000, .screenHeight = 40000, .colours = kGifColours, .indices = {1}};
             return test::EncodeGif(g);
         }()},
    };
    for (const auto& [name, file] : huge) {
        SCOPED_TRACE(name);
        auto bitmap = Open(file);
        EXPECT_EQ(bitmap->GetLastStatus(), Status::OutOfMemory);
        EXPECT_EQ(bitmap->GetPixelFormat(), PixelFormatUndefined);
        EXPECT_NE(bitmap->GetLastErrorMessage().find("too large"), std::string::npos) << bitmap->GetLastErrorMessage();
    }
}

// The limit counts what a decode allocates: a picture one pixel wide takes a padded row per pixel,
// and a progressive JPEG keeps every coefficient of the picture besides its rows.
TEST_F(PixelLimitTest, TheLimitCountsTheMemoryADecodeTakes) {
    for (const char* name : {"bmp-tall-rle-gigapixel.bmp", "gif-huge-screen.gif", "jpeg-progressive-huge.jpg"}) {
        SCOPED_TRACE(name);
        auto bitmap = Bitmap::FromFile(test::DataPath(std::string("hostile/") + name));
        EXPECT_EQ(bitmap->GetLastStatus(), Status::OutOfMemory);
        EXPECT_NE(bitmap->GetLastErrorMessage().find("MB of memory"), std::string::npos) << bitmap->GetLastErrorMessage();
    }
    // 1 x 20,000,000: 80 MB of padded rows, within the limit, and no more than that to open.
    auto tall = Bitmap::FromFile(test::DataPath("hostile/bmp-tall-rle.bmp"));
    ASSERT_EQ(tall->GetLastStatus(), Status::Ok);
    EXPECT_EQ(tall->PendingDecodeBytes(), uint64_t{4} * 20000000);
    // 1 x 2^30 pixels of 24 bits take 4 GB, more than a gigapixel of them would.
    EXPECT_EQ(std::make_unique<Bitmap>(1, 1 << 30, PixelFormat24bppRGB)->GetLastStatus(), Status::OutOfMemory);
}

TEST_F(PixelLimitTest, TheLimitIsConfigurable) {
    SetDecodePixelLimit(10);
    for (const auto& [name, file] : SmallFiles()) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Open(file)->GetLastStatus(), Status::OutOfMemory);
    }
    auto empty = std::make_unique<Bitmap>(11, 10, PixelFormat24bppRGB);
    EXPECT_EQ(empty->GetLastStatus(), Status::OutOfMemory);
}

}  // namespace
}  // namespace kv
