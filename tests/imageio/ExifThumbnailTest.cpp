#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codecs/JpegIStream.h"
#include "codecs/SlimJpegDecoder.h"
#include "common/TestFiles.h"
#include "imageio/ExifBlocks.h"
#include "imageio/ExifFinders.h"
#include "imageio/ExifThumbnail.h"
#include "imageio/ImageBuilders.h"

namespace kv::test {
namespace {

constexpr uint16_t kExifIfd = 0x8769, kPixelX = 0xA002, kPixelY = 0xA003, kWidth = 0x0100, kHeight = 0x0101,
                   kCompression = 0x0103, kThumbOffset = 0x0201, kThumbLength = 0x0202;

struct Read {
    ExifThumbnail result;
    ThumbSize box;
    uint32_t width = 0, height = 0;
};

Read ReadJpeg(const Bytes& file, ThumbSize box) {
    Read r{{}, box};
    r.result = ReadJpegExifThumbnail(MemoryReader(std::make_shared<const Bytes>(file)), r.box, r.width, r.height);
    return r;
}

// The pixel (B, G, R) of a DIB at column x of row y counted from the top.
std::vector<uint8_t> PixelAt(const DibImage& dib, int32_t x, int32_t y) {
    const uint8_t* p = dib.bits() + static_cast<size_t>(dib.height() - 1 - y) * dib.stride() + x * 3;
    return {p[0], p[1], p[2]};
}

// An Exif block with a picture size in the Exif directory and a thumbnail directory; the directories
// are written after the data they point at.
struct ExifLayout {
    bool bigEndian = false;
    uint32_t pixelX = 4000, pixelY = 3000;
    uint16_t compression = 1;
    uint32_t thumbWidth = 4, thumbHeight = 3;
    Bytes data = RgbPattern(4, 3);
    std::optional<uint32_t> length;  // the data's own length unless given
};

TiffBlock ExifBlock(const ExifLayout& l) {
    TiffBlock tiff(l.bigEndian);
    const uint32_t data = tiff.AddData(l.data);
    const uint32_t ifd1 = tiff.AddIfd({{kCompression, TiffType::Short, 1, l.compression},
                                       {kWidth, TiffType::Long, 1, l.thumbWidth},
                                       {kHeight, TiffType::Long, 1, l.thumbHeight},
                                       {kThumbOffset, TiffType::Long, 1, data},
                                       {kThumbLength, TiffType::Long, 1, l.length.value_or(uint32_t(l.data.size()))}});
    const uint32_t exif =
        tiff.AddIfd({{kPixelX, TiffType::Short, 1, l.pixelX}, {kPixelY, TiffType::Short, 1, l.pixelY}});
    tiff.SetIfd0(tiff.AddIfd({{kExifIfd, TiffType::Long, 1, exif}}, ifd1));
    return tiff;
}

Bytes ExifJpeg(const ExifLayout& layout) { return JpegWithSegments({ExifApp1(ExifBlock(layout))}); }

Bytes SmallJpeg(int width, int height, int components) {
    JpegImage image;
    image.width = width;
    image.height = height;
    image.components = components;
    image.colourSpace = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    image.samples.resize(size_t(width) * height * components);
    for (size_t i = 0; i < image.samples.size(); ++i) image.samples[i] = uint8_t(i * 7);
    return EncodeJpeg(image);
}

TEST(ExifThumbnailTest, FitIntoBoxFillsTheBoxInOneDirection) {
    const struct {
        ThumbSize source, box, fitted;
    } cases[] = {
        {{160, 120}, {200, 200}, {200, 150}},  // a small preview is enlarged
        {{160, 120}, {100, 100}, {100, 75}},
        {{120, 160}, {200, 200}, {150, 200}},  // portrait
        {{66, 43}, {220, 165}, {220, 143}},
        {{4000, 3000}, {220, 165}, {220, 165}},
        {{10000, 1}, {200, 200}, {200, 1}},    // never thinner than one pixel
        {{1, 10000}, {200, 200}, {1, 200}},
        {{65535, 65535}, {32767, 32767}, {32767, 32767}},  // no overflow in the cross products
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FitIntoBox(c.source, c.box), c.fitted) << c.source.width << "x" << c.source.height;
    }
}

// A big-endian camera file whose Exif directory gives the picture size as SHORT values, with a
// 160 x 120 JPEG preview.
TEST(ExifThumbnailTest, CameraPreviewIsFittedIntoTheBox) {
    const std::filesystem::path path = DataPath("kodak-dc240.jpg");
    // The preview as our own decoder makes it, to compare the sampled pixels with.
    const Bytes preview = ReadBytes(DataPath("exif-thumb-kodakdc240.jpg"));
    IQZStreamMem stream(preview.data(), preview.size());
    unsigned pw = 0, ph = 0;
    uint8_t colour = 0;
    auto decoder = SlimJpeg::CreateDecoder(stream, &pw, &ph, &colour, nullptr, nullptr, nullptr);
    ASSERT_EQ(pw, 160u);
    ASSERT_EQ(ph, 120u);
    std::vector<Bytes> rows;
    for (unsigned y = 0; y < ph; ++y) {
        const uint8_t* row = decoder->ReadRow();
        rows.emplace_back(row, row + pw * 3);
    }

    for (const auto& [box, fitted] : {std::pair{ThumbSize{200, 200}, ThumbSize{200, 150}}, {{100, 100}, {100, 75}}}) {
        ThumbSize size = box;
        uint32_t width = 0, height = 0;
        const ExifThumbnail thumb = ReadJpegExifThumbnail(path, size, width, height);
        ASSERT_TRUE(thumb.image) << thumb.error;
        EXPECT_EQ(width, 1280u);  // a SHORT in a big-endian field is its high half
        EXPECT_EQ(height, 960u);
        EXPECT_EQ(size, fitted);
        const BitmapInfoHeader& h = *thumb.image.get()->header();
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, int32_t(fitted.width));
        EXPECT_EQ(h.biHeight, int32_t(fitted.height));
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biBitCount, 24);
        EXPECT_EQ(h.biCompression, 0u);
        EXPECT_EQ(h.biSizeImage, fitted.height * uint32_t(thumb.image->stride()));
        EXPECT_EQ(h.biXPelsPerMeter, 2835);
        EXPECT_EQ(h.biYPelsPerMeter, 2835);
        EXPECT_EQ(h.biClrUsed, 0u);
        for (uint32_t y = 0; y < fitted.height; ++y)
            for (uint32_t x = 0; x < fitted.width; ++x) {
                const uint8_t* s = rows[y * 120 / fitted.height].data() + (x * 160 / fitted.width) * 3;
                ASSERT_EQ(PixelAt(*thumb.image.get(), x, y), (std::vector<uint8_t>{s[2], s[1], s[0]})) << x << "," << y;
            }
    }
}

TEST(ExifThumbnailTest, PortraitCameraPreviewStaysPortrait) {
    ThumbSize box{200, 200};
    uint32_t width = 0, height = 0;
    const ExifThumbnail thumb = ReadJpegExifThumbnail(DataPath("Konica_Minolta_DiMAGE_Z3.jpg"), box, width, height);
    ASSERT_TRUE(thumb.image) << thumb.error;
    EXPECT_EQ(box, (ThumbSize{140, 200}));  // the 49 x 70 preview
    EXPECT_EQ(width, 70u);
    EXPECT_EQ(height, 100u);
}

TEST(ExifThumbnailTest, CameraFileWithoutPreviewGivesNoneAndNoError) {
    ThumbSize box{200, 200};
    uint32_t width = 0, height = 0;
    const ExifThumbnail thumb = ReadJpegExifThumbnail(DataPath("Fujifilm_FinePix_E500.jpg"), box, width, height);
    EXPECT_FALSE(thumb.image);
    EXPECT_EQ(thumb.error, "");
    EXPECT_EQ(box, (ThumbSize{200, 200}));
}

TEST(ExifThumbnailTest, ShortSizesAreReadInEitherByteOrder) {
    for (const bool big : {false, true}) {
        ExifLayout layout;
        layout.bigEndian = big;
        const Read r = ReadJpeg(ExifJpeg(layout), {200, 200});
        ASSERT_TRUE(r.result.image) << r.result.error;
        EXPECT_EQ(r.width, 4000u) << big;
        EXPECT_EQ(r.height, 3000u) << big;
    }
}

// Every output pixel of a 4 x 3 uncompressed preview enlarged to 8 x 6 comes from the source pixel
// its position names, stored bottom row first as blue, green, red.
TEST(ExifThumbnailTest, UncompressedPreviewIsSampledNearestNeighbour) {
    for (const bool big : {false, true}) {
        ExifLayout layout;
        layout.bigEndian = big;
        const Read r = ReadJpeg(ExifJpeg(layout), {8, 8});
        ASSERT_TRUE(r.result.image) << r.result.error;
        EXPECT_EQ(r.box, (ThumbSize{8, 6}));
        const DibImage& dib = *r.result.image.get();
        EXPECT_EQ(dib.stride(), 24);
        for (int32_t y = 0; y < 6; ++y)
            for (int32_t x = 0; x < 8; ++x) {
                const uint8_t sx = uint8_t(x / 2), sy = uint8_t(y / 2);
                EXPECT_EQ(PixelAt(dib, x, y), (std::vector<uint8_t>{uint8_t(0x80 | (sx ^ sy)), sy, sx})) << x << "," << y;
            }
    }
    // Shrinking to 3 x 2 skips source columns and rows; the row padding is zero.
    ExifLayout layout;
    const Read r = ReadJpeg(ExifJpeg(layout), {3, 3});
    ASSERT_TRUE(r.result.image);
    EXPECT_EQ(r.box, (ThumbSize{3, 2}));
    EXPECT_EQ(PixelAt(*r.result.image.get(), 2, 1), (std::vector<uint8_t>{uint8_t(0x80 | (2 ^ 1)), 1, 2}));
    const uint8_t* row = r.result.image->bits();
    EXPECT_EQ(row[9], 0);
    EXPECT_EQ(row[10], 0);
    EXPECT_EQ(row[11], 0);
}

TEST(ExifThumbnailTest, GreyJpegPreviewBecomesGreyRgb) {
    ExifLayout layout;
    layout.compression = 6;
    layout.data = SmallJpeg(16, 8, 1);
    const Read r = ReadJpeg(ExifJpeg(layout), {16, 16});
    ASSERT_TRUE(r.result.image) << r.result.error;
    EXPECT_EQ(r.box, (ThumbSize{16, 8}));
    for (int32_t x = 0; x < 16; ++x) {
        const std::vector<uint8_t> p = PixelAt(*r.result.image.get(), x, 3);
        EXPECT_EQ(p[0], p[1]);
        EXPECT_EQ(p[1], p[2]);
    }
}

// What a reader gives for files that announce no usable thumbnail (none, no error) and for files
// whose structure is broken (none, with the reason).
TEST(ExifThumbnailTest, MissingAndDamagedThumbnails) {
    const auto layoutWith = [](auto change) {
        ExifLayout l;
        change(l);
        return ExifJpeg(l);
    };
    // A self-referencing first directory: its next-directory offset points at itself.
    TiffBlock selfReferencing(true);
    selfReferencing.SetNext(selfReferencing.AddIfd({{kPixelX, TiffType::Short, 1, 640}}), 8);
    // The thumbnail directory lies past the end of the block.
    TiffBlock farDirectory(false);
    farDirectory.AddIfd({{kWidth, TiffType::Long, 1, 640}}, 100000);
    // A directory that claims more entries than the file holds.
    TiffBlock longDirectory(false);
    longDirectory.bytes.insert(longDirectory.bytes.end(), {0xFF, 0xFF, 1, 1, 3, 0});
    // Uncompressed data of the right length that lies past the end of the block.
    TiffBlock farData(false);
    const uint32_t farIfd1 = farData.AddIfd({{kCompression, TiffType::Short, 1, 1},
                                             {kWidth, TiffType::Long, 1, 4},
                                             {kHeight, TiffType::Long, 1, 3},
                                             {kThumbOffset, TiffType::Long, 1, 200},
                                             {kThumbLength, TiffType::Long, 1, 36}});
    farData.SetIfd0(farData.AddIfd({}, farIfd1));
    // An Exif block whose first directory has no successor: the size is still reported.
    TiffBlock noThumbnail(false);
    noThumbnail.AddIfd({{kWidth, TiffType::Long, 1, 640}, {kHeight, TiffType::Short, 1, 480}});

    const struct {
        const char* name;
        Bytes file;
        bool damaged;
    } cases[] = {
        {"XMP segment before the Exif one",
         JpegWithSegments({App1Segment(std::string("http://ns.adobe.com/xap/1.0/\0", 29), Bytes(40, 'x')),
                           ExifApp1(ExifBlock({}))}),
         false},
        {"uncompressed length one byte short", layoutWith([](ExifLayout& l) { l.length = 35; }), false},
        {"uncompressed size that wraps in 32 bits",
         layoutWith([](ExifLayout& l) {
             l.thumbWidth = 0x10000;
             l.thumbHeight = 0x5556;  // 0x10000 * 0x5556 * 3 = 2^32 + 2
             l.data = Bytes(2);
         }),
         false},
        {"unknown compression", layoutWith([](ExifLayout& l) { l.compression = 5; }), false},
        {"no thumbnail directory", JpegWithSegments({ExifApp1(noThumbnail)}), false},
        {"no Exif segment", JpegWithSegments({}), false},
        {"lower-case identifier counts", JpegWithSegments({App1Segment(std::string("exif\0\0", 6), {})}), true},
        {"self-referencing directory", JpegWithSegments({ExifApp1(selfReferencing)}), true},
        {"thumbnail directory outside the file", JpegWithSegments({ExifApp1(farDirectory)}), true},
        {"directory longer than the file", JpegWithSegments({ExifApp1(longDirectory)}), true},
        {"thumbnail data outside the file", JpegWithSegments({ExifApp1(farData)}), true},
        {"damaged JPEG preview",
         layoutWith([](ExifLayout& l) {
             l.compression = 6;
             l.data = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x03, 0x08};
         }),
         true},
        {"empty uncompressed preview", layoutWith([](ExifLayout& l) { l.thumbWidth = l.thumbHeight = 0; l.data = {}; }),
         true},
    };
    for (const auto& c : cases) {
        const Read r = ReadJpeg(c.file, {200, 200});
        EXPECT_FALSE(r.result.image) << c.name;
        EXPECT_EQ(!r.result.error.empty(), c.damaged) << c.name << ": " << r.result.error;
        EXPECT_EQ(r.box, (ThumbSize{200, 200})) << c.name;
    }
    const Read sizeOnly = ReadJpeg(JpegWithSegments({ExifApp1(noThumbnail)}), {200, 200});
    EXPECT_EQ(sizeOnly.width, 640u);
    EXPECT_EQ(sizeOnly.height, 480u);
    // The size is written as soon as it is read, before the thumbnail turns out unusable.
    ExifLayout shortData;
    shortData.length = 35;
    const Read early = ReadJpeg(ExifJpeg(shortData), {200, 200});
    EXPECT_EQ(early.width, 4000u);
}

// Any prefix of a good file gives a thumbnail, none or an error: never a crash or a read past the
// bytes (the sanitizer builds run this too).
TEST(ExifThumbnailTest, EveryTruncationIsHandled) {
    ExifLayout layout;
    layout.compression = 6;
    layout.data = SmallJpeg(24, 16, 3);
    const Bytes file = ExifJpeg(layout);
    for (size_t size = 0; size <= file.size(); ++size) {
        const Read r = ReadJpeg(Bytes(file.begin(), file.begin() + size), {50, 50});
        if (size == file.size()) {
            ASSERT_TRUE(r.result.image) << r.result.error;
            EXPECT_EQ(r.box, (ThumbSize{50, 33}));
        }
    }
}

// A TIFF file with an Exif directory and a second directory holding an uncompressed preview.
Bytes TiffWithExifThumbnail(bool bigEndian) {
    TiffBlock tiff(bigEndian);
    const uint32_t data = tiff.AddData(RgbPattern(8, 6));
    const uint32_t ifd1 = tiff.AddIfd({{kCompression, TiffType::Short, 1, 1},
                                       {kWidth, TiffType::Short, 1, 8},
                                       {kHeight, TiffType::Short, 1, 6},
                                       {0x0111, TiffType::Long, 1, data},
                                       {0x0117, TiffType::Long, 1, 8 * 6 * 3}});
    const uint32_t exif = tiff.AddIfd({{kPixelX, TiffType::Long, 1, 9999}});
    tiff.SetIfd0(tiff.AddIfd({{kWidth, TiffType::Short, 1, 3000},
                              {kHeight, TiffType::Long, 1, 2000},
                              {kExifIfd, TiffType::Long, 1, exif}},
                             ifd1));
    return tiff.bytes;
}

TEST(ExifThumbnailTest, TiffPreviewWithSizeFromTheFirstDirectoryOnly) {
    for (const bool big : {false, true}) {
        const Bytes file = TiffWithExifThumbnail(big);
        ASSERT_GT(file.size(), 128u);
        ThumbSize box{4, 4};
        uint32_t width = 0, height = 0;
        const ExifThumbnail thumb =
            ReadTiffExifThumbnail(MemoryReader(std::make_shared<const Bytes>(file)), box, width, height);
        ASSERT_TRUE(thumb.image) << thumb.error;
        EXPECT_EQ(width, 3000u);  // not the Exif directory's 9999
        EXPECT_EQ(height, 2000u);
        EXPECT_EQ(box, (ThumbSize{4, 3}));
        EXPECT_EQ(PixelAt(*thumb.image.get(), 3, 2), (std::vector<uint8_t>{uint8_t(0x80 | (6 ^ 4)), 4, 6}));
    }
}

// The readers look at a file only when its name has one of their format's extensions, in any case.
TEST(ExifThumbnailTest, OnlyTheFormatsOwnExtensionsAreSearched) {
    TempDir dir;
    const Bytes jpeg = ExifJpeg({});
    const Bytes tiff = TiffWithExifThumbnail(false);
    enum Reader { Jpeg, Tiff };
    const struct {
        const char* name;
        const Bytes& content;
        Reader reader;
        bool found;
    } cases[] = {
        {"a.jpg", jpeg, Jpeg, true},  {"b.JPG", jpeg, Jpeg, true},   {"c.jpeg", jpeg, Jpeg, true},
        {"c.Jpe", jpeg, Jpeg, true},  {"d.tif", jpeg, Jpeg, false},  {"e.tif", tiff, Tiff, true},
        {"f.TIF", tiff, Tiff, true},  {"g.tiff", tiff, Tiff, true},  {"h.TIFF", tiff, Tiff, true},
        {"i.jpg", tiff, Tiff, false}, {"j.png", jpeg, Jpeg, false},
    };
    for (const auto& c : cases) {
        const std::filesystem::path path = dir / c.name;
        WriteBytes(path, c.content);
        ThumbSize box{16, 16};
        uint32_t width = 0, height = 0;
        const ExifThumbnail thumb = c.reader == Jpeg ? ReadJpegExifThumbnail(path, box, width, height)
                                                     : ReadTiffExifThumbnail(path, box, width, height);
        EXPECT_EQ(bool(thumb.image), c.found) << c.name << " " << thumb.error;
    }
    ThumbSize box{16, 16};
    uint32_t width = 0, height = 0;
    EXPECT_FALSE(ReadJpegExifThumbnail(dir / "missing.jpg", box, width, height).image);
}

TEST(ExifFindersTest, ExifSegmentPosition) {
    EXPECT_EQ(FindExifSegment(DataPath("Canon_40D.jpg")), 22u);  // after the 18-byte JFIF segment
    EXPECT_EQ(FindExifSegment(DataPath("testorig.jpg")), 0u);
    EXPECT_EQ(FindExifSegment(DataPath("missing.jpg")), 0u);
    const auto find = [](const Bytes& b) { return FindExifSegment(MemoryReader(std::make_shared<const Bytes>(b))); };
    const Bytes exif = App1Segment(std::string("EXIF\0", 5), {});
    Bytes padded{0xFF, 0xD8, 0xFF};  // fill bytes before a marker
    padded.insert(padded.end(), exif.begin(), exif.end());
    EXPECT_EQ(find(padded), 5u);
    EXPECT_EQ(find(JpegWithSegments({App1Segment("Exif!", {})})), 0u);  // the fifth byte must be zero
    EXPECT_EQ(find({0xFF, 0xD8, 0xFF, 0xE1, 0x00}), 0u);                  // cut inside the identifier
}

TEST(ExifFindersTest, ExifDirectoryOffsetOfTiffFiles) {
    const Bytes tiff = TiffWithExifThumbnail(true);
    const auto find = [](const Bytes& b) { return FindExifIfdOffset(MemoryReader(std::make_shared<const Bytes>(b))); };
    EXPECT_EQ(find(tiff), 8u + 144 + 2 + 5 * 12 + 4);  // after the pixels and the thumbnail directory
    TiffBlock small(false);
    small.AddIfd({{kExifIfd, TiffType::Long, 1, 8}});
    small.bytes.resize(128);
    EXPECT_EQ(find(small.bytes), 0u);  // 128 bytes are too few
    small.bytes.resize(129);
    EXPECT_EQ(find(small.bytes), 8u);
    EXPECT_EQ(FindExifIfdOffset(DataPath("Picoawards.tiff")), 0u);
    EXPECT_EQ(FindExifIfdOffset(DataPath("Canon_40D.jpg")), 0u);
}

}  // namespace
}  // namespace kv::test
