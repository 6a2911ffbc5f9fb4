#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "common/OrientedPhotos.h"
#include "common/TestFiles.h"
#include "imageio/Bitmap.h"
#include "imageio/ExifBlocks.h"
#include "imageio/ExifThumbnail.h"
#include "imageio/ImageBuilders.h"
#include "imageio/Orientation.h"
#include "imageio/PixelConvert.h"
#include "imageio/UprightMetadata.h"

namespace kv::test {
namespace {

// Where a stored pixel stands in the upright picture, from the tag's own definition: which side of
// the upright picture the stored first row lies along, and which side the stored first column.
struct Sides {
    char row0;  // 't'op, 'b'ottom, 'l'eft, 'r'ight
    char column0;
};
constexpr Sides kSides[9] = {{}, {'t', 'l'}, {'t', 'r'}, {'b', 'r'}, {'b', 'l'},
                             {'l', 't'}, {'r', 't'}, {'r', 'b'}, {'l', 'b'}};

void UprightPosition(int orientation, int32_t sx, int32_t sy, int32_t uprightWidth, int32_t uprightHeight, int32_t& ux,
                     int32_t& uy) {
    const auto place = [&](char side, int32_t distance) {
        switch (side) {
            case 't': uy = distance; break;
            case 'b': uy = uprightHeight - 1 - distance; break;
            case 'l': ux = distance; break;
            default: ux = uprightWidth - 1 - distance; break;
        }
    };
    place(kSides[orientation].row0, sy);
    place(kSides[orientation].column0, sx);
}

uint32_t PixelValue(const PixelBuffer& p, int32_t x, int32_t y) {
    const int bits = GetPixelFormatSize(p.format);
    const uint8_t* row = p.Row(y);
    if (bits < 8) return (row[x * bits / 8] >> (8 - bits - x * bits % 8)) & ((1u << bits) - 1);
    uint32_t value = 0;  // the pixel's bytes folded into one number
    for (int i = 0; i < bits / 8; ++i) value = value * 131 + row[x * (bits / 8) + i];
    return value;
}

PixelBuffer Numbered(PixelFormat format, int32_t width, int32_t height) {
    PixelBuffer p;
    EXPECT_TRUE(AllocatePixels(p, width, height, format));
    const int bits = GetPixelFormatSize(format);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            if (bits < 8) {
                const uint32_t v = static_cast<uint32_t>(x * 5 + y * 3 + x * y) & ((1u << bits) - 1);
                p.Row(y)[x * bits / 8] |= static_cast<uint8_t>(v << (8 - bits - x * bits % 8));
            } else {
                for (int i = 0; i < bits / 8; ++i) p.Row(y)[x * (bits / 8) + i] = static_cast<uint8_t>(x * 37 + y * 101 + i * 13);
            }
        }
    return p;
}

// Every stored pixel lands where the tag's definition puts it, for every pixel size the bitmaps
// hold, in place (mirrors, half turn) and through a second buffer (quarter turns, packed pixels).
TEST(OrientationTest, EveryStoredPixelLandsWhereTheTagSays) {
    const PixelFormat formats[] = {PixelFormat1bppIndexed, PixelFormat4bppIndexed, PixelFormat8bppIndexed,
                                   PixelFormat16bppRGB565,  PixelFormat24bppRGB,    PixelFormat32bppARGB,
                                   PixelFormat48bppRGB,     PixelFormat64bppARGB};
    for (const PixelFormat format : formats) {
        // Odd sizes, wide enough that packed rows span several bytes.
        const int32_t width = 13, height = 6;
        const PixelBuffer stored = Numbered(format, width, height);
        for (int orientation = 1; orientation <= 8; ++orientation) {
            PixelBuffer turned = Numbered(format, width, height);
            ASSERT_TRUE(TurnPixelsUpright(turned, orientation));
            const bool swap = OrientationSwapsSides(orientation);
            ASSERT_EQ(turned.width, swap ? height : width);
            ASSERT_EQ(turned.height, swap ? width : height);
            for (int32_t sy = 0; sy < height; ++sy)
                for (int32_t sx = 0; sx < width; ++sx) {
                    int32_t ux = 0, uy = 0;
                    UprightPosition(orientation, sx, sy, turned.width, turned.height, ux, uy);
                    ASSERT_EQ(PixelValue(turned, ux, uy), PixelValue(stored, sx, sy))
                        << "format " << std::hex << format << std::dec << " orientation " << orientation << " stored " << sx
                        << "," << sy;
                }
        }
    }
}

TEST(OrientationTest, TurningCountsASecondPictureOnlyWhereItNeedsOne) {
    const uint64_t picture = uint64_t(PixelRowStride(PixelFormat24bppRGB, 300)) * 400;  // turned: 300 x 400
    for (int orientation = 1; orientation <= 4; ++orientation)
        EXPECT_EQ(TurnExtraBytes(400, 300, PixelFormat24bppRGB, orientation), 0u) << orientation;
    for (int orientation = 5; orientation <= 8; ++orientation)
        EXPECT_EQ(TurnExtraBytes(400, 300, PixelFormat24bppRGB, orientation), picture) << orientation;
    EXPECT_GT(TurnExtraBytes(400, 300, PixelFormat1bppIndexed, 2), 0u);
}

// A JPEG made in memory whose Exif block says how it stands.
Bytes JpegWithOrientation(int32_t width, int32_t height, uint16_t orientation) {
    JpegImage image;
    image.width = width;
    image.height = height;
    image.samples.resize(size_t(width) * height * 3);
    for (size_t i = 0; i < image.samples.size(); ++i) image.samples[i] = uint8_t(i % 3 == 0 ? (i / 3) % width * 4 : 60);
    Bytes jpeg = EncodeJpeg(image);
    TiffBlock tiff(true);
    tiff.SetIfd0(tiff.AddIfd({{0x0112, TiffType::Short, 1, orientation}}));
    const size_t length = 2 + 6 + tiff.bytes.size();
    Bytes app1{0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length), 'E', 'x', 'i', 'f', 0, 0};
    app1.insert(app1.end(), tiff.bytes.begin(), tiff.bytes.end());
    jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
    return jpeg;
}

// The picture's shape follows the tag from the header on, so that sizes are right before anything
// is decoded, and the decode's memory counts the turned copy; kept as stored, nothing is turned.
TEST(OrientationTest, ABitmapIsUprightFromItsHeaderOn) {
    const Bytes file = JpegWithOrientation(64, 16, 6);
    {
        const std::unique_ptr<Bitmap> bitmap = Bitmap::FromMemory(file);
        EXPECT_EQ(bitmap->GetWidth(), 16);
        EXPECT_EQ(bitmap->GetHeight(), 64);
        EXPECT_EQ(bitmap->GetAppliedOrientation(), 6);
        EXPECT_GE(bitmap->PendingDecodeBytes(), 2u * PixelRowStride(PixelFormat24bppRGB, 16) * 64);
        BitmapData data;
        ASSERT_EQ(bitmap->LockBits({0, 0, 16, 64}, ImageLockMode::Read, PixelFormat24bppRGB, &data), Status::Ok);
        // The stored rows ran dark to bright in red from left to right: upright, from top to bottom.
        EXPECT_LT(data.scan0[2], 20);
        EXPECT_GT(data.scan0[static_cast<size_t>(data.stride) * 63 + 2], 200);
        bitmap->UnlockBits(&data);
        const std::unique_ptr<Bitmap> small = bitmap->GetThumbnailImage(4, 16);
        ASSERT_TRUE(small);
        EXPECT_EQ(small->GetWidth(), 4);
    }
    for (const uint16_t ignored : {0, 9, 300}) {
        const std::unique_ptr<Bitmap> bitmap = Bitmap::FromMemory(JpegWithOrientation(64, 16, ignored));
        EXPECT_EQ(bitmap->GetWidth(), 64) << ignored;
        EXPECT_EQ(bitmap->GetAppliedOrientation(), 1) << ignored;
    }
    const TurnPicturesUprightScope asStored(false);
    const std::unique_ptr<Bitmap> bitmap = Bitmap::FromMemory(file);
    EXPECT_EQ(bitmap->GetWidth(), 64);
    EXPECT_EQ(bitmap->GetAppliedOrientation(), 1);
}

RgbPicture PictureOf(Bitmap& bitmap) {
    RgbPicture picture{bitmap.GetWidth(), bitmap.GetHeight(), {}};
    BitmapData data;
    EXPECT_EQ(bitmap.LockBits({0, 0, picture.width, picture.height}, ImageLockMode::Read, PixelFormat24bppRGB, &data),
              Status::Ok);
    for (int32_t y = 0; y < picture.height; ++y)
        for (int32_t x = 0; x < picture.width; ++x) {
            const uint8_t* p = data.scan0 + static_cast<size_t>(y) * data.stride + x * 3;
            picture.rgb.insert(picture.rgb.end(), {p[2], p[1], p[0]});
        }
    bitmap.UnlockBits(&data);
    return picture;
}

RgbPicture PictureOf(const DibImage& dib) {
    RgbPicture picture{dib.width(), dib.height(), {}};
    for (int32_t y = 0; y < picture.height; ++y)
        for (int32_t x = 0; x < picture.width; ++x) {
            const uint8_t* p = dib.bits() + static_cast<size_t>(dib.height() - 1 - y) * dib.stride() + x * 3;
            picture.rgb.insert(picture.rgb.end(), {p[2], p[1], p[0]});
        }
    return picture;
}

double MeanDifference(const RgbPicture& a, const RgbPicture& b) {
    double sum = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
    return a.rgb.empty() ? 0 : sum / double(a.rgb.size());
}

class OrientedPhotoTest : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveOrientationTools()) GTEST_SKIP() << "ImageMagick or exiftool is not installed";
        upright_ = dir_ / "upright.png";
        ASSERT_TRUE(RunQuiet("/usr/bin/convert " + ToolQuoted(DataPath("kodak-dc240.jpg")) + " -strip " + ToolQuoted(upright_)));
    }

    TempDir dir_;
    std::filesystem::path upright_;
};

// Real photos stored in each of the eight ways read as ImageMagick reads them upright: a JPEG
// within one level (two decoders), a TIFF in strips or tiles exactly. The reduced decode of a
// preview and the embedded thumbnail are upright too.
TEST_F(OrientedPhotoTest, EveryOrientationReadsAsImageMagickTurnsIt) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
        for (const char* name : {"photo.jpg", "photo.tif", "tiled.tif"}) {
            const std::filesystem::path file = dir_ / (std::to_string(orientation) + name);
            const bool jpeg = file.extension() == ".jpg";
            ASSERT_TRUE(MakeOrientedPhoto(upright_, orientation, file, jpeg ? std::optional<int>(160) : std::nullopt));
            if (std::string(name) == "tiled.tif") {
                ASSERT_TRUE(RunQuiet("/usr/bin/convert " + ToolQuoted(file) + " -define tiff:tile-geometry=64x64 " +
                                     ToolQuoted(file)));
            }
            const std::optional<RgbPicture> reference = ReadWithImageMagick(file);
            ASSERT_TRUE(reference);
            ASSERT_EQ(reference->width, 640) << file;

            const std::unique_ptr<Bitmap> bitmap = Bitmap::FromFile(file);
            ASSERT_EQ(bitmap->GetWidth(), 640) << file;
            ASSERT_EQ(bitmap->GetHeight(), 480) << file;
            EXPECT_EQ(bitmap->GetAppliedOrientation(), orientation) << file;
            const std::unique_ptr<Bitmap> preview = Bitmap::FromFile(file)->GetThumbnailImage(160, 120);
            ASSERT_TRUE(preview);
            EXPECT_LT(MeanDifference(PictureOf(*preview), Shrunk(*reference, 160, 120)), 4) << file;
            EXPECT_LE(LargestDifference(PictureOf(*bitmap), *reference), jpeg ? 1 : 0) << file;

            if (!jpeg) continue;
            ThumbSize box{200, 200};
            uint32_t width = 0, height = 0;
            const ExifThumbnail thumb = ReadJpegExifThumbnail(file, box, width, height);
            ASSERT_TRUE(thumb.image) << file << " " << thumb.error;
            EXPECT_EQ(width, 640u) << file;
            EXPECT_EQ(height, 480u) << file;
            EXPECT_EQ(box, (ThumbSize{200, 150})) << file;
            EXPECT_LT(MeanDifference(PictureOf(*thumb.image.get()), Shrunk(*reference, 200, 150)), 8) << file;
        }
    }
}

// Kept as stored, the picture and its thumbnail are the file's pixels, sideways as they are.
TEST_F(OrientedPhotoTest, KeptAsStoredNothingIsTurned) {
    const std::filesystem::path file = dir_ / "six.jpg";
    ASSERT_TRUE(MakeOrientedPhoto(upright_, 6, file, 160));
    const TurnPicturesUprightScope asStored(false);
    const std::unique_ptr<Bitmap> bitmap = Bitmap::FromFile(file);
    EXPECT_EQ(bitmap->GetWidth(), 480);
    EXPECT_EQ(bitmap->GetHeight(), 640);
    ThumbSize box{200, 200};
    uint32_t width = 0, height = 0;
    ASSERT_TRUE(ReadJpegExifThumbnail(file, box, width, height).image);
    EXPECT_EQ(width, 480u);
    EXPECT_EQ(box, (ThumbSize{150, 200}));
}

TEST(UprightMetadataTest, XmpOrientationSaysUpright) {
    const struct {
        const char* packet;
        const char* upright;
    } cases[] = {
        {R"(<rdf:Description tiff:Orientation="6" tiff:Make="X"/>)", R"(<rdf:Description tiff:Orientation="1" tiff:Make="X"/>)"},
        {"<rdf:Description tiff:Orientation = '8'/>", "<rdf:Description tiff:Orientation = '1'/>"},
        {"<tiff:Orientation>3</tiff:Orientation>", "<tiff:Orientation>1</tiff:Orientation>"},
        {R"(<x exif:PixelXDimension="6"/>)", R"(<x exif:PixelXDimension="6"/>)"},
    };
    for (const auto& c : cases) EXPECT_EQ(UprightXmpPacket(c.packet), c.upright) << c.packet;
}

}  // namespace
}  // namespace kv::test
