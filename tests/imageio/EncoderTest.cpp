#include "imageio/Encoders.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ExternalTools.h"
#include "common/TestFiles.h"
#include "imageio/Bitmap.h"
#include "imageio/Decoders.h"
#include "imageio/PixelConvert.h"

namespace kv {
namespace {

constexpr int32_t kWidth = 13;  // odd, so packed and padded rows end mid-byte and mid-word
constexpr int32_t kHeight = 7;

// A small image in any format whose pixels differ from one another. Indexed images get a colour
// palette of their full size; 16-bit samples use all their bits; premultiplied colour never
// exceeds its alpha.
PixelBuffer TestImage(PixelFormat format, int32_t width = kWidth, int32_t height = kHeight) {
    PixelBuffer pixels;
    EXPECT_TRUE(AllocatePixels(pixels, width, height, format));
    const int32_t bits = GetPixelFormatSize(format);
    if (IsIndexedPixelFormat(format)) {
        pixels.palette.clear();
        for (uint32_t i = 0; i < (1u << bits); ++i)
            pixels.palette.push_back(0xFF000000u | ((i * 97) & 255) << 16 | ((i * 53 + 40) & 255) << 8 | ((255 - i * 29) & 255));
        for (int32_t y = 0; y < height; ++y) {
            uint8_t* row = pixels.Row(y);
            for (int32_t x = 0; x < width; ++x) {
                const uint32_t index = static_cast<uint32_t>(x * 5 + y * 3) % (1u << bits);
                if (bits == 8) row[x] = static_cast<uint8_t>(index);
                if (bits == 4) row[x / 2] |= static_cast<uint8_t>(index << (x % 2 ? 0 : 4));
                if (bits == 1) row[x / 8] |= static_cast<uint8_t>(index << (7 - x % 8));
            }
        }
        return pixels;
    }
    if (format == PixelFormat16bppGrayScale || format == PixelFormat48bppRGB || format == PixelFormat64bppARGB ||
        format == PixelFormat64bppPARGB) {
        const int32_t samples = bits / 16;
        for (int32_t y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<uint16_t*>(pixels.Row(y));
            for (int32_t x = 0; x < width; ++x) {
                uint16_t* p = row + x * samples;
                for (int32_t s = 0; s < samples; ++s) p[s] = static_cast<uint16_t>(x * 4099 + y * 7919 + s * 12345 + 1);
                if (format == PixelFormat64bppPARGB)
                    for (int32_t s = 0; s < 3; ++s) p[s] = static_cast<uint16_t>(p[s] % (p[3] + 1u));
            }
        }
        return pixels;
    }
    std::vector<uint8_t> bgra(static_cast<size_t>(width) * 4);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = &bgra[static_cast<size_t>(x) * 4];
            p[0] = static_cast<uint8_t>(x * 19 + y * 5);
            p[1] = static_cast<uint8_t>(40 + x * 7 + y * 23);
            p[2] = static_cast<uint8_t>(200 - x * 11 - y * 9);
            p[3] = static_cast<uint8_t>(30 + x * 15 + y * 3);
        }
        RowFromBgra32(bgra.data(), width, format, pixels.Row(y), 0, nullptr);
    }
    return pixels;
}

// A smooth picture, which lossy encoders keep close to.
PixelBuffer Gradient(int32_t width, int32_t height) {
    PixelBuffer pixels;
    EXPECT_TRUE(AllocatePixels(pixels, width, height, PixelFormat24bppRGB));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = pixels.Row(y) + x * 3;
            p[0] = static_cast<uint8_t>(x * 255 / width);
            p[1] = static_cast<uint8_t>(y * 255 / height);
            p[2] = static_cast<uint8_t>(128 + (x - y) / 4);
        }
    return pixels;
}

std::vector<uint8_t> EncodeOk(const PixelBuffer& pixels, ImageFormat format, int32_t quality = -1, float dpiX = 96,
                              float dpiY = 96) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_EQ(Encode(pixels, format, quality, dpiX, dpiY, out, error), Status::Ok) << error;
    return out;
}

struct Decoded {
    ImageHeader header;
    PixelBuffer pixels;
};

Decoded DecodeOk(const std::vector<uint8_t>& file) {
    Decoded d;
    const MemoryReader reader(std::make_shared<std::vector<uint8_t>>(file));
    const DecodeResult probed = ProbeImage(reader, d.header);
    EXPECT_TRUE(probed.ok()) << probed.message;
    if (!probed.ok()) return d;
    const DecodeResult decoded = DecodeImage(reader, d.header.format, d.pixels);
    EXPECT_TRUE(decoded.ok()) << decoded.message;
    return d;
}

std::vector<uint8_t> Bgra(const PixelBuffer& pixels, int32_t y) {
    std::vector<uint8_t> row(static_cast<size_t>(pixels.width) * 4);
    RowToBgra32(pixels.format, pixels.Row(y), 0, pixels.width, pixels.palette, row.data());
    return row;
}

// The largest difference of any colour sample (and of alpha, when asked) between two images.
// Pixels of a that are not opaque may be left out, for formats that keep no partial transparency.
int MaxDifference(const PixelBuffer& a, const PixelBuffer& b, bool alpha, bool opaqueOnly = false) {
    int worst = 0;
    for (int32_t y = 0; y < a.height; ++y) {
        const auto ra = Bgra(a, y);
        const auto rb = Bgra(b, y);
        for (size_t i = 0; i < ra.size(); ++i) {
            if (opaqueOnly && ra[i | 3] != 255) continue;
            if (alpha || i % 4 != 3) worst = std::max(worst, std::abs(ra[i] - rb[i]));
        }
    }
    return worst;
}

double MeanDifference(const PixelBuffer& a, const PixelBuffer& b) {
    double sum = 0;
    for (int32_t y = 0; y < a.height; ++y) {
        const auto ra = Bgra(a, y);
        const auto rb = Bgra(b, y);
        for (size_t i = 0; i < ra.size(); ++i)
            if (i % 4 != 3) sum += std::abs(ra[i] - rb[i]);
    }
    return sum / (3.0 * a.width * a.height);
}

std::string FormatName(PixelFormat format) {
    static const std::pair<PixelFormat, const char*> kNames[] = {
        {PixelFormat1bppIndexed, "1bppIndexed"},   {PixelFormat4bppIndexed, "4bppIndexed"},
        {PixelFormat8bppIndexed, "8bppIndexed"},   {PixelFormat16bppGrayScale, "16bppGrayScale"},
        {PixelFormat16bppRGB555, "16bppRGB555"},   {PixelFormat16bppRGB565, "16bppRGB565"},
        {PixelFormat16bppARGB1555, "16bppARGB1555"}, {PixelFormat24bppRGB, "24bppRGB"},
        {PixelFormat32bppRGB, "32bppRGB"},         {PixelFormat32bppARGB, "32bppARGB"},
        {PixelFormat32bppPARGB, "32bppPARGB"},     {PixelFormat48bppRGB, "48bppRGB"},
        {PixelFormat64bppARGB, "64bppARGB"},       {PixelFormat64bppPARGB, "64bppPARGB"},
        {PixelFormat32bppCMYK, "32bppCMYK"},
    };
    for (const auto& [f, name] : kNames)
        if (f == format) return name;
    return "format " + std::to_string(format);
}

TEST(EncoderList, MimeTypesMatchExactlyInThePlatformOrder) {
    const std::pair<const char*, ImageFormat> kList[] = {
        {"image/bmp", ImageFormat::Bmp}, {"image/jpeg", ImageFormat::Jpeg}, {"image/gif", ImageFormat::Gif},
        {"image/tiff", ImageFormat::Tiff}, {"image/png", ImageFormat::Png},
    };
    for (int32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(FindEncoder(kList[i].first), i);
        EXPECT_EQ(EncoderFormat(i), kList[i].second);
        EXPECT_EQ(EncoderMimeType(i), kList[i].first);
    }
    for (const char* other : {"image/jpg", "IMAGE/JPEG", "image/jpeg ", "", "image/x-icon"}) EXPECT_EQ(FindEncoder(other), -1) << other;
    EXPECT_EQ(EncoderFormat(-1), ImageFormat::Unknown);
    EXPECT_EQ(EncoderFormat(5), ImageFormat::Unknown);
}

// What each encoder stores a pixel format as, seen through our decoders. Lossless stores keep
// every colour (and alpha, where the stored format has it); 16-bit samples keep all their bits.
struct Choice {
    PixelFormat in;
    PixelFormat png, tiff, bmp;
};

const Choice kChoices[] = {
    {PixelFormat1bppIndexed, PixelFormat1bppIndexed, PixelFormat1bppIndexed, PixelFormat1bppIndexed},
    {PixelFormat4bppIndexed, PixelFormat4bppIndexed, PixelFormat4bppIndexed, PixelFormat4bppIndexed},
    {PixelFormat8bppIndexed, PixelFormat8bppIndexed, PixelFormat8bppIndexed, PixelFormat8bppIndexed},
    {PixelFormat16bppGrayScale, PixelFormat48bppRGB, PixelFormat48bppRGB, PixelFormat24bppRGB},
    {PixelFormat16bppRGB555, PixelFormat24bppRGB, PixelFormat24bppRGB, PixelFormat16bppRGB555},
    {PixelFormat16bppRGB565, PixelFormat24bppRGB, PixelFormat24bppRGB, PixelFormat16bppRGB565},
    {PixelFormat16bppARGB1555, PixelFormat32bppARGB, PixelFormat32bppARGB, PixelFormat32bppARGB},
    {PixelFormat24bppRGB, PixelFormat24bppRGB, PixelFormat24bppRGB, PixelFormat24bppRGB},
    {PixelFormat32bppRGB, PixelFormat24bppRGB, PixelFormat24bppRGB, PixelFormat32bppRGB},
    {PixelFormat32bppARGB, PixelFormat32bppARGB, PixelFormat32bppARGB, PixelFormat32bppARGB},
    {PixelFormat32bppPARGB, PixelFormat32bppARGB, PixelFormat32bppARGB, PixelFormat32bppARGB},
    {PixelFormat48bppRGB, PixelFormat48bppRGB, PixelFormat48bppRGB, PixelFormat24bppRGB},
    {PixelFormat64bppARGB, PixelFormat64bppARGB, PixelFormat64bppARGB, PixelFormat32bppARGB},
    {PixelFormat64bppPARGB, PixelFormat64bppARGB, PixelFormat64bppARGB, PixelFormat32bppARGB},
    {PixelFormat32bppCMYK, PixelFormat24bppRGB, PixelFormat32bppCMYK, PixelFormat24bppRGB},
};

TEST(EncoderFormats, LosslessEncodersKeepWhatTheirFormatCanHold) {
    for (const Choice& c : kChoices) {
        const PixelBuffer source = TestImage(c.in);
        for (const auto& [format, expected] : {std::pair{ImageFormat::Png, c.png}, std::pair{ImageFormat::Tiff, c.tiff},
                                             std::pair{ImageFormat::Bmp, c.bmp}}) {
            SCOPED_TRACE(testing::Message() << FormatName(c.in) << " as format " << static_cast<int>(format));
            const Decoded d = DecodeOk(EncodeOk(source, format));
            ASSERT_EQ(FormatName(d.pixels.format), FormatName(expected));
            ASSERT_EQ(d.pixels.width, kWidth);
            ASSERT_EQ(d.pixels.height, kHeight);
            EXPECT_EQ(MaxDifference(source, d.pixels, IsAlphaPixelFormat(expected)), 0);
            if (d.pixels.format == source.format && source.format != PixelFormat32bppRGB &&
                source.format != PixelFormat64bppPARGB) {
                const size_t bytes = (static_cast<size_t>(kWidth) * GetPixelFormatSize(source.format) + 7) / 8;
                for (int32_t y = 0; y < kHeight; ++y)
                    EXPECT_EQ(std::memcmp(source.Row(y), d.pixels.Row(y), bytes), 0) << "row " << y;
            }
        }
    }
}

TEST(EncoderFormats, JpegStoresColourOrGrey) {
    for (const Choice& c : kChoices) {
        SCOPED_TRACE(FormatName(c.in));
        const Decoded d = DecodeOk(EncodeOk(TestImage(c.in), ImageFormat::Jpeg, 100));
        EXPECT_EQ(FormatName(d.pixels.format), "24bppRGB");
    }
    // A picture of greys stays one channel.
    PixelBuffer grey = TestImage(PixelFormat8bppIndexed);
    grey.palette = GreyPalette(PixelFormat8bppIndexed);
    const Decoded d = DecodeOk(EncodeOk(grey, ImageFormat::Jpeg, 100));
    EXPECT_EQ(d.header.flags & ImageFlagsColorSpaceGRAY, ImageFlagsColorSpaceGRAY);
    EXPECT_LE(MaxDifference(grey, d.pixels, false), 2);
    // Colour comes back close to what went in.
    const PixelBuffer gradient = Gradient(64, 48);
    EXPECT_LT(MeanDifference(gradient, DecodeOk(EncodeOk(gradient, ImageFormat::Jpeg, 90)).pixels), 2.0);
}

TEST(EncoderFormats, GifKeepsAPaletteAndReducesEverythingElse) {
    for (const Choice& c : kChoices) {
        SCOPED_TRACE(FormatName(c.in));
        const PixelBuffer source = TestImage(c.in);
        const Decoded d = DecodeOk(EncodeOk(source, ImageFormat::Gif));
        ASSERT_EQ(FormatName(d.pixels.format), "8bppIndexed");
        // An indexed image keeps its colours exactly; a 13 x 7 image has fewer than 256 colours
        // of its own, so the reduction keeps its opaque ones too, within a step of rounding.
        EXPECT_LE(MaxDifference(source, d.pixels, false, true), IsIndexedPixelFormat(c.in) ? 0 : 2);
    }
    // Thousands of colours come out dithered: noisy, but close on average.
    const PixelBuffer gradient = Gradient(256, 128);
    EXPECT_LT(MeanDifference(gradient, DecodeOk(EncodeOk(gradient, ImageFormat::Gif)).pixels), 6.0);
}

TEST(EncoderFormats, GifMarksTheTransparentColour) {
    PixelBuffer source = TestImage(PixelFormat32bppARGB);
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) source.Row(y)[x * 4 + 3] = x < 6 ? 0 : 255;
    PixelBuffer indexed = TestImage(PixelFormat8bppIndexed);
    indexed.palette[indexed.Row(0)[0]] &= 0x00FFFFFF;  // the first pixel's colour is transparent
    for (const PixelBuffer* image : {&source, &indexed}) {
        const Decoded d = DecodeOk(EncodeOk(*image, ImageFormat::Gif));
        for (int32_t y = 0; y < kHeight; ++y) {
            const auto want = Bgra(*image, y);
            const auto got = Bgra(d.pixels, y);
            for (int32_t x = 0; x < kWidth; ++x) EXPECT_EQ(got[x * 4 + 3] == 0, want[x * 4 + 3] == 0) << x << "," << y;
        }
    }
}

TEST(EncoderFormats, IndicesPastAShortPaletteStillMakeAReadableFile) {
    PixelBuffer source = TestImage(PixelFormat8bppIndexed);
    source.palette.resize(3);  // the rows use indices up to 12
    for (const ImageFormat format : {ImageFormat::Png, ImageFormat::Gif, ImageFormat::Bmp, ImageFormat::Tiff}) {
        SCOPED_TRACE(static_cast<int>(format));
        const Decoded d = DecodeOk(EncodeOk(source, format));
        EXPECT_EQ(MaxDifference(source, d.pixels, false), 0);  // those read as black, as before
    }
}

TEST(EncoderJpeg, QualityTradesSizeAndDefaultsTo75) {
    const PixelBuffer gradient = Gradient(96, 64);
    const size_t q10 = EncodeOk(gradient, ImageFormat::Jpeg, 10).size();
    const size_t q50 = EncodeOk(gradient, ImageFormat::Jpeg, 50).size();
    const size_t q90 = EncodeOk(gradient, ImageFormat::Jpeg, 90).size();
    EXPECT_LT(q10, q50);
    EXPECT_LT(q50, q90);
    EXPECT_EQ(EncodeOk(gradient, ImageFormat::Jpeg, -1), EncodeOk(gradient, ImageFormat::Jpeg, 75));
    EXPECT_EQ(EncodeOk(gradient, ImageFormat::Jpeg, 250), EncodeOk(gradient, ImageFormat::Jpeg, 100));
    // Quality 0 is the coarsest there is, not a failure.
    EXPECT_LE(EncodeOk(gradient, ImageFormat::Jpeg, 0).size(), q10);
}

TEST(EncoderResolution, EveryFormatThatCanCarriesTheDpi) {
    struct Case {
        ImageFormat format;
        float x, y;        // asked for
        float readX, readY;  // read back (whole dots per inch, or the nearest dots per metre)
    };
    for (const Case& c : {Case{ImageFormat::Jpeg, 150, 300, 150, 300}, Case{ImageFormat::Jpeg, 72.4f, 72.6f, 72, 73},
                          Case{ImageFormat::Jpeg, 0, 0, 96, 96},  // no resolution: the reader's default
                          Case{ImageFormat::Png, 150, 300, 150.0124f, 299.9994f},
                          Case{ImageFormat::Tiff, 150, 300.5f, 150, 300.5f},
                          Case{ImageFormat::Bmp, 150, 300, 150.0124f, 299.9994f},
                          Case{ImageFormat::Gif, 150, 300, 96, 96}}) {
        SCOPED_TRACE(static_cast<int>(c.format));
        const Decoded d = DecodeOk(EncodeOk(TestImage(PixelFormat24bppRGB), c.format, -1, c.x, c.y));
        EXPECT_NEAR(d.header.dpiX, c.readX, 0.001);
        EXPECT_NEAR(d.header.dpiY, c.readY, 0.001);
    }
}

TEST(EncoderErrors, BadPixelsAndUnknownFormatsAreRefused) {
    const PixelBuffer good = TestImage(PixelFormat24bppRGB);
    std::vector<uint8_t> out = {1, 2, 3};
    std::string error;
    PixelBuffer empty;
    EXPECT_EQ(Encode(empty, ImageFormat::Png, -1, 96, 96, out, error), Status::InvalidParameter);
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(error.empty());
    PixelBuffer narrow = TestImage(PixelFormat24bppRGB);
    narrow.stride = kWidth * 3 - 1;
    EXPECT_EQ(Encode(narrow, ImageFormat::Bmp, -1, 96, 96, out, error), Status::InvalidParameter);
    PixelBuffer unknown = TestImage(PixelFormat24bppRGB);
    unknown.format = 0x00021899;
    EXPECT_EQ(Encode(unknown, ImageFormat::Tiff, -1, 96, 96, out, error), Status::InvalidParameter);
    for (const ImageFormat format : {ImageFormat::Unknown, ImageFormat::Memory})
        EXPECT_EQ(Encode(good, format, -1, 96, 96, out, error), Status::InvalidParameter);

    // Sizes a format cannot describe fail with a reason, leaving nothing behind.
    const PixelBuffer wide = TestImage(PixelFormat8bppIndexed, 70000, 1);
    for (const ImageFormat format : {ImageFormat::Gif, ImageFormat::Jpeg}) {
        error.clear();
        EXPECT_EQ(Encode(wide, format, -1, 96, 96, out, error), Status::GenericError);
        EXPECT_TRUE(out.empty());
        EXPECT_NE(error.find("too large"), std::string::npos) << error;
    }
}

TEST(EncoderOutput, ImageMagickAndExiftoolReadEveryEncoderOutput) {
    if (!test::HaveTool("identify")) GTEST_SKIP() << "ImageMagick is not installed";
    const bool exiftool = test::HaveTool("exiftool");
    test::TempDir dir;
    struct Case {
        ImageFormat format;
        const char* extension;
        const char* magick;  // a pattern: ImageMagick calls a BMP with the 40-byte header BMP3
    };
    for (const Case& c : {Case{ImageFormat::Jpeg, ".jpg", "JPEG"}, Case{ImageFormat::Png, ".png", "PNG"},
                          Case{ImageFormat::Tiff, ".tif", "TIFF"}, Case{ImageFormat::Gif, ".gif", "GIF"},
                          Case{ImageFormat::Bmp, ".bmp", "BMP3?"}}) {
        for (const PixelFormat in : {PixelFormat1bppIndexed, PixelFormat4bppIndexed, PixelFormat8bppIndexed,
                                     PixelFormat16bppRGB565, PixelFormat24bppRGB, PixelFormat32bppARGB,
                                     PixelFormat48bppRGB, PixelFormat64bppARGB, PixelFormat32bppCMYK}) {
            SCOPED_TRACE(testing::Message() << FormatName(in) << " as " << c.extension);
            const auto path = dir / (FormatName(in) + c.extension);
            test::WriteBytes(path, EncodeOk(TestImage(in), c.format));
            // Anything ImageMagick has to say about a file shows on the same line.
            const std::string said = test::RunTool("identify -format '%m %wx%h\\n' " + test::Quoted(path), true);
            EXPECT_THAT(said, testing::MatchesRegex(std::string(c.magick) + " 13x7\n"));
            if (!exiftool || c.format == ImageFormat::Gif || c.format == ImageFormat::Bmp) continue;
            // exiftool's check of the file's structure; it knows only the baseline TIFF colour
            // models, so a CMYK file draws a remark about its photometric tag.
            const auto tags = test::ExifToolTags(path, "-validate -warning -error");
            EXPECT_EQ(tags.count("ExifTool:Error"), 0u);
            if (in == PixelFormat32bppCMYK && c.format == ImageFormat::Tiff)
                EXPECT_EQ(tags.at("ExifTool:Warning"), "Invalid value for IFD0 tag 0x0106 PhotometricInterpretation");
            else
                EXPECT_EQ(tags.count("ExifTool:Warning"), 0u) << tags.at("ExifTool:Warning");
        }
    }
}

}  // namespace
}  // namespace kv
