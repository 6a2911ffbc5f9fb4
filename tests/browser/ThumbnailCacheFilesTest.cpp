#include "browser/ThumbnailCacheFiles.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "browser/CellTestSupport.h"
#include "imageio/Archive.h"

namespace kv {
namespace {

using Bytes = std::vector<uint8_t>;

// Little-endian pieces of a hand-built file.
struct Fixture {
    Bytes bytes;
    Fixture& u8(std::initializer_list<uint8_t> values) {
        bytes.insert(bytes.end(), values);
        return *this;
    }
    Fixture& u16(uint16_t v) { return u8({uint8_t(v), uint8_t(v >> 8)}); }
    Fixture& u32(uint32_t v) { return u16(uint16_t(v)).u16(uint16_t(v >> 16)); }
    Fixture& ascii(const char* text) {
        for (; *text; ++text) bytes.push_back(uint8_t(*text));
        return *this;
    }
    // A short Unicode string: the marker, a one-byte length, the UTF-16LE units.
    Fixture& str(std::u16string_view text) {
        u8({0xFF, 0xFE, 0xFF, uint8_t(text.size())});
        for (const char16_t c : text) u16(c);
        return *this;
    }
};

TEST(ThumbnailCacheFilesTest, CellRecordBytes) {
    auto first = std::make_shared<CPaletteItemImg>();
    first->fileTime = 0x0102030405;
    first->displayWidth = 220;
    first->displayHeight = 100;
    first->SetCompressedThumbnail({0xAA, 0xBB, 0xCC});
    first->imageWidth = 4000;
    first->imageHeight = 1818;
    first->bitsPerPixel = 24;
    first->userValue1 = 7;
    first->pictureStanding = -2;
    first->fullQuality = 1;
    first->userText1 = "\xC3\xA9";  // é
    first->lastSeenTime = 1'700'000'000;
    first->rectangles = {{1, 2, 3, 4}};
    auto second = std::make_shared<CPaletteItemImg>();
    second->displayWidth = 150;
    second->displayHeight = 165;
    second->keepMetadata = 0;

    Fixture want;
    want.u16(2);
    want.str(u"/p/a.jpg").u16(0xFFFF).u16(1).u16(15).ascii("CPaletteItemImg");
    want.u32(0x8000000A).u32(0x02030405).u32(0x01);  // file time
    want.u32(220).u32(100);                           // display size
    want.u32(1).u32(3).u8({0xAA, 0xBB, 0xCC});        // the stream
    want.u32(4000).u32(1818).u32(24).u32(7).u32(0xFFFFFFFE).u32(1);
    want.str(u"\u00e9").str(u"");
    want.u32(0x8000000A).u32(1'700'000'000).u32(0);  // last seen
    want.u32(0);
    for (int i = 0; i < 6; ++i) want.u32(0xFFFFFFFF);
    want.u8({1});                                      // keep metadata
    want.u16(1).u32(1).u32(2).u32(3).u32(4);          // one rectangle
    // A later object of the class names it by its number.
    want.str(u"/p/b.jpg").u16(0x8001);
    want.u32(0x8000000A).u32(0).u32(0);
    want.u32(150).u32(165);
    want.u32(0);  // no stream: no count either
    for (int i = 0; i < 6; ++i) want.u32(0);
    want.str(u"").str(u"");
    want.u32(0x8000000A).u32(0).u32(0);
    want.u32(0);
    for (int i = 0; i < 6; ++i) want.u32(0xFFFFFFFF);
    want.u8({0});
    want.u16(0);

    const CellMap cells{{"/p/a.jpg", first}, {"/p/b.jpg", second}};
    EXPECT_EQ(WriteCellFile(cells), want.bytes);

    CellMap read;
    ReadCellFile(want.bytes, read);
    ASSERT_EQ(read.size(), 2u);
    const auto& a = *read.at("/p/a.jpg");
    EXPECT_EQ(a.fileTime, 0x0102030405);
    EXPECT_EQ(a.displayWidth, 220);
    EXPECT_EQ(a.displayHeight, 100);
    EXPECT_EQ(*a.CompressedThumbnail(), (Bytes{0xAA, 0xBB, 0xCC}));
    EXPECT_FALSE(a.HasThumbnail());
    EXPECT_EQ(a.imageWidth, 4000);
    EXPECT_EQ(a.imageHeight, 1818);
    EXPECT_EQ(a.bitsPerPixel, 24);
    EXPECT_EQ(a.pictureStanding, -2);
    EXPECT_EQ(a.fullQuality, 1);
    EXPECT_EQ(a.userText1, "\xC3\xA9");
    EXPECT_EQ(a.lastSeenTime, 1'700'000'000);
    EXPECT_EQ(a.storedValues, (std::array<int32_t, 7>{0, -1, -1, -1, -1, -1, -1}));
    EXPECT_EQ(a.keepMetadata, 1);
    EXPECT_EQ(a.rectangles, (std::vector<PixelRect>{{1, 2, 3, 4}}));
    const auto& b = *read.at("/p/b.jpg");
    EXPECT_FALSE(b.HasCompressedThumbnail());
    EXPECT_EQ(b.keepMetadata, 0);
}

TEST(ThumbnailCacheFilesTest, WritingCompressesAPictureWithoutStream) {
    auto cell = test::MakeCell(220, 165, true);
    const Bytes file = WriteCellFile({{"/p/a.jpg", cell}});
    EXPECT_TRUE(cell->HasCompressedThumbnail());

    CellMap read;
    ReadCellFile(file, read);
    const DibImagePtr picture = read.at("/p/a.jpg")->GetThumbnail();
    ASSERT_TRUE(picture);
    EXPECT_TRUE(test::Near(test::PixelAt(*picture.get(), 10, 10), test::PixelAt(*cell->Thumbnail().get(), 10, 10), 6));
}

// Every thumbnail touches the box on one side; anything else is a damaged or foreign file and the
// whole file is refused.
TEST(ThumbnailCacheFilesTest, DisplaySizesOutsideTheBoxRejectTheFile) {
    struct Case {
        int32_t width, height;
        bool accepted;
    };
    const std::vector<Case> cases{
        {220, 165, true}, {220, 22, true},  {123, 165, true},  {10, 10, false},   {219, 164, false},
        {0, 165, false},  {220, 0, false},  {221, 165, false}, {220, 4000, false}, {-220, 165, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        const Bytes file = WriteCellFile({{"/p/good.jpg", test::MakeCell()}, {"/p/x.jpg", test::MakeCell(c.width, c.height)}});
        CellMap read;
        if (c.accepted) {
            EXPECT_NO_THROW(ReadCellFile(file, read));
            EXPECT_EQ(read.size(), 2u);
        } else {
            EXPECT_THROW(ReadCellFile(file, read), ArchiveError);
        }
    }
}

TEST(ThumbnailCacheFilesTest, EveryCutOfAFileFailsCleanly) {
    const Bytes file = WriteCellFile({{"/p/a.jpg", test::MakeCell(220, 165, true)}, {"/p/b.jpg", test::MakeCell()}});
    for (size_t size = 0; size < file.size(); ++size) {
        CellMap read;
        EXPECT_THROW(ReadCellFile(std::span(file).first(size), read), ArchiveError) << size;
    }
    // Another class under the same tag is refused too.
    Bytes other = file;
    other[2 + 20 + 6 + 1] = 'X';  // inside the class name after the first key
    CellMap read;
    EXPECT_THROW(ReadCellFile(other, read), ArchiveError);
}

TEST(ThumbnailCacheFilesTest, IndexKeepsOnlyFilesOfTheCacheFolder) {
    const FolderIndex written{
        {"/photos/", "/old/cache/KVIMGBRW_SMRES/FLD1.tmp"},  // another cache folder: same name here
        {"/docs/", "C:\\Temp\\KVIMGBRW_SMRES\\FLD7.tmp"},     // written on another system
        {"/home/", "/home/user/.bashrc"},                    // never a cache file
        {"/etc/", "/cache/FLD1.tmp"},                        // a name already taken
        {"/x/", "/cache/FLD01.tmp"},
        {"relative/", "/cache/FLD2.tmp"},
        {"/nofolder", "/cache/FLD3.tmp"},
    };
    const FolderIndex read = ReadFolderIndexFile(WriteFolderIndexFile(written), "/here");
    // Entries are taken in folder order, so "/etc/" takes FLD1 before "/photos/" can.
    EXPECT_EQ(read, (FolderIndex{{"/docs/", "/here/FLD7.tmp"}, {"/etc/", "/here/FLD1.tmp"}}));
}

TEST(ThumbnailCacheFilesTest, CacheFileNamesAndFolders) {
    EXPECT_EQ(CacheFileName(12), "FLD12.tmp");
    for (const char* bad : {"FLD.tmp", "FLD0.tmp", "FLD-1.tmp", "FLD1.TMP", "FLD1x.tmp", "FLD99999999999.tmp", "xFLD1.tmp"})
        EXPECT_FALSE(CacheFileNumber(bad)) << bad;
    EXPECT_EQ(CacheFileNumber("FLD30.tmp"), 30u);

    EXPECT_EQ(FolderOf("/a/b/c.jpg"), "/a/b/");
    EXPECT_EQ(FolderOf("/c.jpg"), "/");
    EXPECT_EQ(FolderOf("c.jpg"), "");
}

}  // namespace
}  // namespace kv
