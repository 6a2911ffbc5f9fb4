// Where a damaged file stops being a picture: data that runs out before the picture is complete,
// or that does not decode, fails the decode in every format (a partly grey or black picture is not
// the photo); irregularities of a complete file (a missing end marker, bytes after the end, an
// unknown chunk) stay harmless.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ImageBuilders.h"
#include "common/TestFiles.h"
#include "imageio/Bitmap.h"

namespace kv {
namespace {

using test::Bytes;

// Whether a file's pixels decode: it opens and locks whole.
bool Decodes(const Bytes& file, std::string* why = nullptr) {
    auto bitmap = Bitmap::FromMemory(file);
    if (bitmap->GetLastStatus() != Status::Ok) {
        if (why) *why = bitmap->GetLastErrorMessage();
        return false;
    }
    BitmapData data;
    if (bitmap->LockBits({0, 0, bitmap->GetWidth(), bitmap->GetHeight()}, ImageLockMode::Read, PixelFormat24bppRGB,
                         &data) != Status::Ok) {
        if (why) *why = bitmap->GetLastErrorMessage();
        return false;
    }
    bitmap->UnlockBits(&data);
    return true;
}

Bytes Cut(const Bytes& file, size_t length) { return Bytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(length)); }

// A real photo in each of our own written formats.
Bytes Encoded(const char* mime) {
    auto photo = Bitmap::FromFile(test::DataPath("small.jpg"));
    auto small = photo->GetThumbnailImage(200, 150);
    Bytes file;
    EXPECT_EQ(small->Save(file, mime, 90), Status::Ok);
    return file;
}

// An uncompressed RGB TIFF whose directory comes first, so that a cut takes pixel data only.
Bytes TiffDirectoryFirst(uint32_t width, uint32_t height) {
    const uint32_t entries = 8, dataAt = 8 + 2 + entries * 12 + 4 + 6;
    Bytes f = {'I', 'I', 42, 0, 8, 0, 0, 0};
    const auto u16 = [&](uint32_t v) { f.insert(f.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    const auto u32 = [&](uint32_t v) { f.insert(f.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); };
    const auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        u16(tag), u16(type), u32(count), u32(value);
    };
    u16(entries);
    entry(256, 4, 1, width);
    entry(257, 4, 1, height);
    entry(258, 3, 3, dataAt - 6);  // bits per sample: 8, 8, 8 right after the directory
    entry(262, 3, 1, 2);           // RGB
    entry(273, 4, 1, dataAt);      // the one strip
    entry(277, 3, 1, 3);
    entry(278, 4, 1, height);
    entry(279, 4, 1, width * height * 3);
    u32(0);
    u16(8), u16(8), u16(8);
    for (uint32_t i = 0; i < width * height * 3; ++i) f.push_back(static_cast<uint8_t>(i * 7));
    return f;
}

TEST(DamagedFiles, PixelDataThatRunsOutFailsInEveryFormat) {
    test::JpegImage progressive{.width = 64, .height = 48, .progressive = true};
    progressive.samples.resize(64 * 48 * 3);
    for (size_t i = 0; i < progressive.samples.size(); ++i) progressive.samples[i] = static_cast<uint8_t>(i * 13);
    const std::vector<std::pair<std::string, Bytes>> files = {
        {"camera jpeg", test::ReadBytes(test::DataPath("Canon_40D.jpg"))},
        {"progressive jpeg", test::EncodeJpeg(progressive)},
        {"jpeg", Encoded("image/jpeg")},
        {"png", Encoded("image/png")},
        {"gif", Encoded("image/gif")},
        {"bmp", Encoded("image/bmp")},
        {"tiff", TiffDirectoryFirst(40, 30)},
    };
    for (const auto& [name, file] : files) {
        ASSERT_TRUE(Decodes(file)) << name;
        for (const double part : {0.55, 0.8, 0.97}) {
            std::string why;
            EXPECT_FALSE(Decodes(Cut(file, static_cast<size_t>(file.size() * part)), &why)) << name << " cut at " << part;
            EXPECT_FALSE(why.empty()) << name;
        }
    }
}

// Every scan boundary of a progressive file: a file that ends there lacks the scans after it.
TEST(DamagedFiles, ProgressiveJpegEndingBetweenScansFails) {
    test::JpegImage image{.width = 64, .height = 48, .progressive = true};
    image.samples.resize(64 * 48 * 3);
    for (size_t i = 0; i < image.samples.size(); ++i) image.samples[i] = static_cast<uint8_t>(i * 31 + i / 200);
    const Bytes file = test::EncodeJpeg(image);
    int boundaries = 0;
    for (size_t i = 2; i + 1 < file.size(); ++i) {
        if (file[i] != 0xFF || file[i + 1] != 0xDA || i < 100) continue;
        // The file cut right before a later scan's header: complete scans, then nothing.
        EXPECT_FALSE(Decodes(Cut(file, i))) << "cut before the scan at " << i;
        ++boundaries;
    }
    EXPECT_GT(boundaries, 3);
}

TEST(DamagedFiles, IrregularitiesOfCompleteFilesStayHarmless) {
    const Bytes jpeg = test::ReadBytes(test::DataPath("Canon_40D.jpg"));
    Bytes trailing = jpeg;
    trailing.insert(trailing.end(), 300, 0x55);  // bytes after the end marker
    Bytes png = Encoded("image/png");
    Bytes pngExtra = png;
    pngExtra.insert(pngExtra.end(), {1, 2, 3, 4, 5});
    // An unknown ancillary chunk right after the header.
    Bytes pngChunk = png;
    const uint8_t chunk[] = {0, 0, 0, 2, 't', 'e', 'S', 't', 7, 7, 0x5C, 0x2E, 0x16, 0x4D};
    pngChunk.insert(pngChunk.begin() + 33, std::begin(chunk), std::end(chunk));
    const Bytes gif = Encoded("image/gif");
    const std::vector<std::pair<std::string, Bytes>> files = {
        {"jpeg without its end marker", Cut(jpeg, jpeg.size() - 2)},
        {"jpeg with bytes after its end", trailing},
        {"png without its end chunk", Cut(png, png.size() - 12)},
        {"png with bytes after its end", pngExtra},
        {"png with an unknown chunk", pngChunk},
        {"gif without its trailer", Cut(gif, gif.size() - 1)},
        {"the damaged camera file libjpeg reads whole", test::ReadBytes(test::DataPath("image01137.jpg"))},
    };
    for (const auto& [name, file] : files) {
        std::string why;
        EXPECT_TRUE(Decodes(file, &why)) << name << ": " << why;
    }
}

TEST(DamagedFiles, DamagedDataFails) {
    for (const char* name : {"png-cut-idat.png", "png-bad-idat.png", "gif-cut.gif", "tiff-bad-lzw.tif"})
        EXPECT_FALSE(Decodes(test::ReadBytes(test::DataPath(std::string("hostile/") + name)))) << name;
    // A run-length BMP whose runs end before its rows do.
    const std::vector<uint32_t> palette = {0x000000, 0xFFFFFF};
    const Bytes rle = test::EncodeBmp({.width = 4, .height = 4, .bitCount = 8, .compression = 1, .palette = palette,
                                       .data = {4, 1, 0, 0, 4, 1}});
    EXPECT_FALSE(Decodes(rle));
    // One whose literal run is longer than the data left.
    EXPECT_FALSE(Decodes(test::EncodeBmp({.width = 2, .height = 2, .bitCount = 8, .compression = 1, .palette = palette,
                                          .data = {2, 1, 0, 0, 0, 255, 1, 2}})));
    // Corrupt entropy-coded data in the middle of a baseline photo.
    Bytes jpeg = test::ReadBytes(test::DataPath("small.jpg"));
    for (size_t i = jpeg.size() / 2; i < jpeg.size() / 2 + 64; ++i) jpeg[i] = static_cast<uint8_t>(i * 37);
    EXPECT_FALSE(Decodes(jpeg));
}

}  // namespace
}  // namespace kv
