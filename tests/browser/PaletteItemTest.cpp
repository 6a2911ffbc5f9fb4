#include "browser/PaletteItem.h"

#include <gtest/gtest.h>

#include <vector>

#include "browser/CellTestSupport.h"
#include "browser/ThumbnailJpeg.h"
#include "codecs/JpegIStream.h"
#include "codecs/SlimJpegDecoder.h"

namespace kv {
namespace {

using test::Bgr;
using test::MakeCell;
using test::PixelAt;

TEST(PaletteItemTest, GeometryAtAZoom) {
    struct Case {
        int zoom;
        PixelSize box;
        PixelSize cell;
    };
    const std::vector<Case> cases{
        {100, {220, 165}, {232, 197}},
        {66, {145, 109}, {157, 141}},  // 108.9 rounds up, 145.2 down
        {50, {110, 83}, {122, 115}},   // 82.5 rounds half up
    };
    CPaletteItemImg cell;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zoom);
        EXPECT_EQ(cell.PictureBox(c.zoom), c.box);
        EXPECT_EQ(cell.GetCellSize(c.zoom), c.cell);
    }
    EXPECT_EQ(cell.sizeAt100, (PixelSize{232, 197}));
}

TEST(PaletteItemTest, RectanglesOfACell) {
    CPaletteItemImg cell;
    cell.displayWidth = 123;  // a portrait picture
    cell.displayHeight = 165;
    const PixelRect at{100, 50, 332, 247};  // the cell at zoom 100

    EXPECT_EQ(cell.InnerRect(at), (PixelRect{106, 56, 326, 221}));
    EXPECT_EQ(cell.LabelRect(at), (PixelRect{110, 227, 322, 247}));
    // Centred in the inner rectangle: (220 - 123) / 2 = 48 left over on the left.
    EXPECT_EQ(cell.PictureRect(at, 100), (PixelRect{154, 56, 277, 221}));
    EXPECT_EQ(cell.GetRegion(at, 100), cell.PictureRect(at, 100));

    // At zoom 66 the picture is 81 x 109 in an inner rectangle of 145 x 109.
    const PixelRect small{0, 0, 157, 141};
    EXPECT_EQ(cell.PictureRect(small, 66), (PixelRect{38, 6, 119, 115}));

    // A plain cell has no picture: its region is the whole inner rectangle.
    CPaletteItem plain;
    EXPECT_EQ(plain.GetRegion(at, 100), plain.InnerRect(at));
    EXPECT_EQ(plain.imageWidth, -1);
    EXPECT_EQ(cell.imageWidth, 0);
}

TEST(PaletteItemTest, LongNamesScrollAndReenterFromTheRight) {
    CPaletteItem cell;
    const PixelRect label{10, 177, 222, 197};  // 212 wide

    cell.MeasureLabel(label, 208);  // fits with 3 pixels to spare
    EXPECT_EQ(cell.labelScrolls, 0);
    EXPECT_FALSE(cell.AdvanceLabelScroll());

    cell.MeasureLabel(label, 209);
    EXPECT_EQ(cell.labelScrolls, 1);
    std::vector<int32_t> offsets;
    for (int i = 0; i < 43; ++i) {
        ASSERT_TRUE(cell.AdvanceLabelScroll());
        offsets.push_back(cell.labelScrollOffset);
    }
    EXPECT_EQ(offsets[0], 5);
    EXPECT_EQ(offsets[40], 205);
    EXPECT_EQ(offsets[41], -212);  // past the name's width: enters again from the right
    EXPECT_EQ(offsets[42], -207);
}

TEST(PaletteItemTest, CopiesForAMovedFile) {
    auto from = MakeCell(220, 100, true);
    from->userValue1 = 5;
    from->userText2 = "kept";
    from->lastSeenTime = 99;
    ASSERT_TRUE(from->CompressThumbnail());

    CPaletteItemImg to;
    to.CopyFrom(*from);
    to.CopyCompressed(*from);
    EXPECT_EQ(to.imageWidth, 2200);
    EXPECT_EQ(to.imageHeight, 1000);
    EXPECT_EQ(to.bitsPerPixel, 24);
    EXPECT_EQ(to.displayWidth, 220);
    EXPECT_EQ(to.displayHeight, 100);
    EXPECT_EQ(to.userValue1, 5);
    EXPECT_EQ(to.userText2, "kept");
    EXPECT_EQ(to.lastSeenTime, 0);  // not part of the copy
    EXPECT_EQ(to.CompressedThumbnail(), from->CompressedThumbnail());
    EXPECT_FALSE(to.HasThumbnail());
    ASSERT_TRUE(to.GetThumbnail());
}

// The stream holds the rows as the bitmap keeps them in memory (bottom row first) and each pixel
// in memory order (blue first); reading it back must undo exactly that, in orientation and colour.
TEST(PaletteItemTest, ThumbnailRoundTripKeepsOrientationAndColour) {
    auto cell = MakeCell(220, 124, true);
    const DibImagePtr original = cell->Thumbnail();
    ASSERT_TRUE(cell->CompressThumbnail());

    {
        // The stream's first row is the bitmap's bottom row, bytes as stored.
        const auto bytes = cell->CompressedThumbnail();
        IQZStreamMem source(bytes->data(), bytes->size());
        unsigned width = 0, height = 0;
        auto decoder = SlimJpeg::CreateDecoder(source, &width, &height, nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(width, 220u);
        EXPECT_EQ(height, 124u);
        const uint8_t* first = decoder->ReadRow();
        EXPECT_TRUE(test::Near({first[0], first[1], first[2]}, PixelAt(original, 0, 123), 6));
    }

    cell->ReleaseThumbnail();
    const DibImagePtr back = cell->GetThumbnail();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width(), 220);
    EXPECT_EQ(back->height(), 124);
    EXPECT_EQ(back->bitsPerPixel(), 24);
    EXPECT_EQ(back->header()->biXPelsPerMeter, 2835);
    EXPECT_EQ(back->header()->biYPelsPerMeter, 2835);
    for (const auto& [x, y] : {std::pair{20, 20}, {200, 20}, {20, 100}, {200, 100}}) {
        SCOPED_TRACE(testing::Message() << x << "," << y);
        const Bgr want = PixelAt(original, x, y);
        const Bgr got = PixelAt(back, x, y);
        EXPECT_TRUE(test::Near(got, want, 6)) << int(got.b) << " " << int(got.g) << " " << int(got.r);
    }
    // Decoded once, then kept.
    EXPECT_EQ(cell->GetThumbnail().get(), back.get());
}

TEST(PaletteItemTest, DecodingFitsTheStreamIntoTheDisplaySize) {
    const DibImagePtr picture = test::QuadrantDib(40, 30);
    const std::vector<uint8_t> stream = EncodeThumbnailJpeg(*picture.get());
    ASSERT_FALSE(stream.empty());

    // Larger than the stream: the rows and columns the stream lacks stay black.
    const DibImagePtr larger = DecodeThumbnailJpeg(stream, 48, 36);
    ASSERT_TRUE(larger);
    EXPECT_TRUE(test::Near(PixelAt(*larger.get(), 45, 0), {0, 0, 0}, 0));  // right of the stream
    EXPECT_TRUE(test::Near(PixelAt(*larger.get(), 5, 0), {0, 0, 0}, 0));   // above: memory rows 30..35
    EXPECT_TRUE(test::Near(PixelAt(*larger.get(), 5, 35), PixelAt(*picture.get(), 5, 29), 8));

    // Smaller: only the rows and columns that fit.
    const DibImagePtr smaller = DecodeThumbnailJpeg(stream, 10, 10);
    ASSERT_TRUE(smaller);
    EXPECT_TRUE(test::Near(PixelAt(*smaller.get(), 0, 9), PixelAt(*picture.get(), 0, 29), 8));
}

TEST(PaletteItemTest, UndecodableStreamGivesNoPicture) {
    CPaletteItemImg empty;
    EXPECT_FALSE(empty.GetThumbnail());

    CPaletteItemImg damaged;
    damaged.SetCompressedThumbnail({0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00});
    EXPECT_FALSE(damaged.GetThumbnail());
    EXPECT_TRUE(damaged.HasCompressedThumbnail());

    // Only 24-bit pictures are compressed.
    const RgbQuad grey[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    CPaletteItemImg mono;
    mono.SetThumbnail(DibImagePtr(new DibImage(8, 8, 1, grey)));
    EXPECT_FALSE(mono.CompressThumbnail());
    EXPECT_FALSE(mono.HasCompressedThumbnail());
}

TEST(PaletteItemTest, CountsCellsCreated) {
    const uint64_t before = CPaletteItem::CreatedCount();
    CPaletteItem plain;
    CPaletteItemImg image;
    EXPECT_EQ(CPaletteItem::CreatedCount(), before + 2);
}

}  // namespace
}  // namespace kv
