#include "browser/ThumbnailCache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "browser/CellTestSupport.h"
#include "common/TestFiles.h"
#include "imageio/Archive.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::MakeCell;
using Cell = CMapStringToObPlus::Cell;
using Bytes = std::vector<uint8_t>;

class ThumbnailCacheTest : public testing::Test {
protected:
    fs::path Temporary() const { return dir_ / "cache"; }
    fs::path CacheFolder() const { return Temporary() / "KVIMGBRW_SMRES"; }
    fs::path Legacy() const { return CMapStringToObPlus::LegacyFile(Temporary()); }

    // A folder of images, created on first use; its key in the cache ends in '/'.
    std::string Folder(const std::string& name) const {
        fs::create_directories(dir_ / name);
        return (dir_ / name).string() + "/";
    }
    // The path of an image in a folder; the file exists when asked for.
    std::string Image(const std::string& folder, const std::string& name, bool create = true) const {
        const std::string path = Folder(folder) + name;
        if (create) std::ofstream(path).put('x');
        return path;
    }

    static CellMap ReadCells(const std::string& file) {
        CellMap cells;
        const Bytes bytes = test::ReadBytes(file);
        if (!bytes.empty()) ReadCellFile(bytes, cells);
        return cells;
    }

    static void WriteIndex(const FolderIndex& index, const fs::path& file) {
        test::WriteBytes(file, WriteFolderIndexFile(index));
    }

    test::TempDir dir_;
};

mode_t ModeOf(const fs::path& path) {
    struct stat st{};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST_F(ThumbnailCacheTest, FirstRunCreatesTheFolderAndSavesAtTheEnd) {
    const std::string image = Image("photos", "a.jpg");
    {
        CMapStringToObPlus cache(Temporary());
        EXPECT_TRUE(fs::is_directory(CacheFolder()));
        EXPECT_EQ(ModeOf(Temporary()), 0700u);
        EXPECT_EQ(ModeOf(CacheFolder()), 0700u);
        EXPECT_FALSE(cache.LoadIndex(Legacy()));  // no index yet: empty, carry on

        auto cell = MakeCell(220, 124, true);
        cell->lastSeenTime = 1234;
        cache.Store(image, cell);
        const std::string file = cache.CacheFileOf(Folder("photos"));
        EXPECT_EQ(file, (CacheFolder() / "FLD1.tmp").string());
        EXPECT_EQ(fs::file_size(file), 0u);  // reserved, written at the end
        EXPECT_FALSE(fs::exists(cache.IndexFile()));

        cache.SaveAll();
        EXPECT_GT(fs::file_size(file), 0u);
        EXPECT_TRUE(fs::exists(cache.IndexFile()));
        EXPECT_EQ(cache.GetCount(), 1u);  // the cells stay in memory
    }

    CMapStringToObPlus cache(Temporary());
    EXPECT_TRUE(cache.LoadIndex(Legacy()));
    Cell cell;
    ASSERT_TRUE(cache.Lookup(image, cell));
    EXPECT_EQ(cell->displayWidth, 220);
    EXPECT_EQ(cell->displayHeight, 124);
    EXPECT_EQ(cell->lastSeenTime, 1234);
    EXPECT_FALSE(cell->HasThumbnail());
    const DibImagePtr picture = cell->GetThumbnail();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width(), 220);
}

TEST_F(ThumbnailCacheTest, NewFolderTakesTheFirstFreeNumber) {
    CMapStringToObPlus cache(Temporary());
    test::WriteBytes(CacheFolder() / "FLD1.tmp", {});
    test::WriteBytes(CacheFolder() / "FLD3.tmp", {});

    cache.Store(Image("a", "1.jpg"), MakeCell());
    EXPECT_EQ(cache.CacheFileOf(Folder("a")), (CacheFolder() / "FLD2.tmp").string());
    EXPECT_TRUE(fs::exists(CacheFolder() / "FLD2.tmp"));
    cache.Store(Image("a", "2.jpg"), MakeCell());  // same folder, same file
    cache.Store(Image("b", "1.jpg"), MakeCell());
    EXPECT_EQ(cache.CacheFileOf(Folder("b")), (CacheFolder() / "FLD4.tmp").string());

    // The reserved file is empty: a lookup of a path that is not in memory misses quietly.
    EXPECT_TRUE(cache.RemoveKey(Image("b", "1.jpg")));
    Cell cell;
    EXPECT_FALSE(cache.Lookup(Image("b", "1.jpg"), cell));
    EXPECT_FALSE(cache.RemoveKey(Image("b", "1.jpg")));
}

TEST_F(ThumbnailCacheTest, LookupMergesTheFolderFileKeepingCellsInMemory) {
    const std::string a = Image("p", "a.jpg"), b = Image("p", "b.jpg"), c = Image("p", "c.jpg");
    {
        CMapStringToObPlus cache(Temporary());
        for (const auto& path : {a, b, c}) cache.Store(path, MakeCell());
        cache.SaveAll();
    }
    fs::remove(c);

    CMapStringToObPlus cache(Temporary());
    ASSERT_TRUE(cache.LoadIndex(Legacy()));
    const auto fresh = MakeCell(123, 165);
    cache.Store(a, fresh);
    Cell cell;
    EXPECT_TRUE(cache.Lookup(b, cell));
    EXPECT_TRUE(cache.Lookup(a, cell));
    EXPECT_EQ(cell, fresh);                 // the file's older cell for a was dropped
    EXPECT_FALSE(cache.Lookup(c, cell));    // its image is gone
    EXPECT_EQ(cache.GetCount(), 2u);
    Cell other;
    EXPECT_FALSE(cache.Lookup(Image("elsewhere", "x.jpg"), other));

    // Read ahead of any lookup, with or without the folder's last slash, the file's cells are in
    // memory.
    for (const fs::path& folder : {fs::path(a).parent_path(), fs::path(a).parent_path() / ""}) {
        CMapStringToObPlus ahead(Temporary());
        ASSERT_TRUE(ahead.LoadIndex(Legacy()));
        ahead.ReadFolderFile(folder);
        EXPECT_EQ(ahead.GetCount(), 2u) << folder;
    }
}

TEST_F(ThumbnailCacheTest, CellsReadAsideMergeAsALookupWouldUnlessAFileWasWrittenMeanwhile) {
    const std::string a = Image("p", "a.jpg"), b = Image("p", "b.jpg"), c = Image("p", "c.jpg");
    const fs::path folder = fs::path(a).parent_path();
    {
        CMapStringToObPlus cache(Temporary());
        for (const auto& path : {a, b, c}) cache.Store(path, MakeCell());
        cache.SaveAll();
    }

    // A browser reads the file while it lists the folder, and tells which images it listed.
    CMapStringToObPlus cache(Temporary());
    ASSERT_TRUE(cache.LoadIndex(Legacy()));
    EXPECT_TRUE(cache.HasFolderFileToRead(folder));
    EXPECT_FALSE(cache.HasFolderFileToRead(fs::path(Folder("elsewhere"))));
    auto read = cache.ReadFolderFileAside(folder);
    EXPECT_EQ(cache.GetCount(), 0u);  // nothing merged yet
    const auto fresh = MakeCell(123, 165);
    cache.Store(a, fresh);  // built meanwhile
    cache.MergeFolderCells(std::move(read), [&](const std::string& path) { return path != c; });
    Cell cell;
    EXPECT_TRUE(cache.Lookup(a, cell));
    EXPECT_EQ(cell, fresh);  // the cell in memory wins over the file's
    EXPECT_TRUE(cache.Lookup(b, cell));
    EXPECT_FALSE(cache.Lookup(c, cell));  // not listed: gone
    EXPECT_EQ(cache.GetCount(), 2u);
    EXPECT_FALSE(cache.HasFolderFileToRead(folder));  // and not read again by a lookup

    // A cache file written between the reading and the merging may hold cells the reading
    // missed: the file is read again.
    CMapStringToObPlus again(Temporary());
    ASSERT_TRUE(again.LoadIndex(Legacy()));
    read = again.ReadFolderFileAside(folder);
    const std::string d = Image("p", "d.jpg");
    again.Store(d, MakeCell());
    again.SaveAll();
    again.RemoveAll();
    again.MergeFolderCells(std::move(read), [](const std::string&) { return true; });
    EXPECT_TRUE(again.Lookup(d, cell));
    EXPECT_EQ(again.GetCount(), 4u);
}

TEST_F(ThumbnailCacheTest, DeletedFolderLosesItsCacheFile) {
    const std::string kept = Image("kept", "a.jpg");
    const std::string gone = Image("gone", "a.jpg");
    std::string goneFile;
    {
        CMapStringToObPlus cache(Temporary());
        cache.Store(kept, MakeCell());
        cache.Store(gone, MakeCell());
        goneFile = cache.CacheFileOf(Folder("gone"));
        cache.SaveAll();
    }
    ASSERT_GT(fs::file_size(goneFile), 0u);
    fs::remove_all(dir_ / "gone");

    CMapStringToObPlus cache(Temporary());
    ASSERT_TRUE(cache.LoadIndex(Legacy()));
    cache.SaveAll();
    EXPECT_FALSE(fs::exists(goneFile));
    EXPECT_TRUE(fs::exists(cache.CacheFileOf(Folder("kept"))));

    CMapStringToObPlus reread(Temporary());
    ASSERT_TRUE(reread.LoadIndex(Legacy()));
    EXPECT_EQ(reread.CacheFileOf(dir_.path().string() + "/gone/"), "");
    Cell cell;
    EXPECT_TRUE(reread.Lookup(kept, cell));
}

// A file the store cannot read (an older program's 10 x 10 stand-in cell, a cut or a garbled
// file) is a miss for every path of its folder, never a crash, and the folder's next save
// replaces it with a readable file.
TEST_F(ThumbnailCacheTest, UnreadableFolderFileIsAMissAndIsRewritten) {
    const std::string a = Image("p", "a.jpg"), b = Image("p", "b.jpg");
    const Bytes good = WriteCellFile({{a, MakeCell()}, {b, MakeCell()}});
    struct Case {
        const char* name;
        Bytes content;
    };
    std::vector<Case> cases{
        {"stand-in cell", WriteCellFile({{a, MakeCell()}, {b, MakeCell(10, 10)}})},
        {"cut short", Bytes(good.begin(), good.end() - 1)},
        {"garbled", Bytes(200, 0xFF)},
        {"huge count", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Temporary());
        {
            CMapStringToObPlus cache(Temporary());
        }
        const fs::path file = CacheFolder() / "FLD1.tmp";
        test::WriteBytes(file, c.content);
        WriteIndex({{Folder("p"), file.string()}}, CacheFolder() / "KVIMGBRWS.IND");

        CMapStringToObPlus cache(Temporary());
        ASSERT_TRUE(cache.LoadIndex(Legacy()));
        // Read aside by a browser listing the folder, the damaged file merges nothing either.
        cache.MergeFolderCells(cache.ReadFolderFileAside(fs::path(a).parent_path()), [](const std::string&) { return true; });
        EXPECT_EQ(cache.GetCount(), 0u);
        Cell cell;
        EXPECT_FALSE(cache.Lookup(a, cell));
        EXPECT_FALSE(cache.Lookup(b, cell));
        EXPECT_EQ(cache.GetCount(), 0u);  // nothing read before the damage is kept

        cache.Store(b, MakeCell(220, 22));
        cache.SaveAll();
        const CellMap saved = ReadCells(file.string());
        ASSERT_EQ(saved.size(), 1u);
        EXPECT_EQ(saved.at(b)->displayHeight, 22);
    }
}

// Folders "a" < "b" < "c" in path order, which is the order the store walks its cells in; new
// cells always go to "a", the folder being built.
TEST_F(ThumbnailCacheTest, EvictionKeepsTheCurrentFolder) {
    struct Case {
        int a, b, c;
        bool bEvicted, cEvicted;
    };
    const std::vector<Case> cases{
        {3000, 0, 0, false, false},  // all in the current folder: nothing to evict
        {500, 2000, 500, true, false},  // a started folder goes whole, even below 2000 left
        {1000, 1001, 999, true, false},  // 1999 left: "c" is not started
        {1000, 999, 1001, true, true},   // 2001 left when "c" starts
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << "/" << c.b << "/" << c.c);
        fs::remove_all(Temporary());
        CMapStringToObPlus cache(Temporary());
        for (const auto& [folder, count] : {std::pair{"a", c.a}, {"b", c.b}, {"c", c.c}})
            for (int i = 0; i < count; ++i) cache.Store(Image(folder, std::to_string(i) + ".jpg", false), MakeCell());
        ASSERT_EQ(cache.GetCount(), CMapStringToObPlus::kEvictAt);

        cache.Store(Image("a", "new.jpg", false), MakeCell());
        const size_t left = 1 + c.a + (c.bEvicted ? 0 : c.b) + (c.cEvicted ? 0 : c.c);
        EXPECT_EQ(cache.GetCount(), left);
        Cell cell;
        EXPECT_TRUE(cache.Lookup(Image("a", "0.jpg", false), cell));
        if (c.b) {
            EXPECT_EQ(ReadCells(cache.CacheFileOf(Folder("b"))).size(), c.bEvicted ? size_t(c.b) : 0u);
        }
        if (c.c) {
            EXPECT_EQ(ReadCells(cache.CacheFileOf(Folder("c"))).size(), c.cEvicted ? size_t(c.c) : 0u);
        }
    }
}

TEST_F(ThumbnailCacheTest, EvictionMergesWithTheFolderFile) {
    CMapStringToObPlus cache(Temporary());
    for (int i = 0; i < 1000; ++i) cache.Store(Image("a", std::to_string(i) + ".jpg", false), MakeCell());
    for (int i = 0; i < 2000; ++i) cache.Store(Image("b", std::to_string(i) + ".jpg", false), MakeCell());
    const std::string file = cache.CacheFileOf(Folder("b"));
    auto older = MakeCell();
    older->fileTime = 1;
    test::WriteBytes(file, WriteCellFile({{Image("b", "0.jpg", false), older}, {Image("b", "old.jpg", false), older}}));

    cache.Store(Image("a", "new.jpg", false), MakeCell());
    const CellMap saved = ReadCells(file);
    EXPECT_EQ(saved.size(), 2001u);
    EXPECT_EQ(saved.at(Image("b", "0.jpg", false))->fileTime, 1'600'000'000);  // memory wins
    EXPECT_EQ(saved.at(Image("b", "old.jpg", false))->fileTime, 1);
}

// After a folder's file was merged and the folder then went back to disk, its next lookup has to
// read the file again rather than trust the earlier merge.
TEST_F(ThumbnailCacheTest, EvictedFolderIsReadAgainOnItsNextLookup) {
    CMapStringToObPlus cache(Temporary());
    std::vector<std::string> b;
    for (int i = 0; i < 2000; ++i) b.push_back(Image("b", std::to_string(i) + ".jpg"));
    for (const auto& path : b) cache.Store(path, MakeCell());
    for (int i = 0; i < 1000; ++i) cache.Store(Image("a", std::to_string(i) + ".jpg", false), MakeCell());

    cache.Store(Image("a", "new1.jpg", false), MakeCell());  // evicts "b"
    EXPECT_EQ(cache.GetCount(), 1001u);
    Cell cell;
    ASSERT_TRUE(cache.Lookup(b[0], cell));  // merges "b" back
    EXPECT_EQ(cache.GetCount(), 3001u);

    cache.Store(Image("a", "new2.jpg", false), MakeCell());  // evicts "b" again
    EXPECT_EQ(cache.GetCount(), 1002u);
    EXPECT_TRUE(cache.Lookup(b[1], cell));
    EXPECT_EQ(cache.GetCount(), 3002u);
}

TEST_F(ThumbnailCacheTest, LegacySingleFileIsReadWhenThereIsNoCacheFolder) {
    const std::string image = Image("p", "a.jpg");
    {
        CMapStringToObPlus cache(Temporary());
    }
    fs::remove_all(CacheFolder());
    {
        // Without the old file the call fails before the folder is made.
        CMapStringToObPlus cache(Temporary());
        fs::remove_all(CacheFolder());
        EXPECT_FALSE(cache.LoadIndex(Legacy()));
        EXPECT_FALSE(fs::exists(CacheFolder()));
    }
    test::WriteBytes(Legacy(), WriteCellFile({{image, MakeCell(220, 100, true)}}));
    CMapStringToObPlus cache(Temporary());
    fs::remove_all(CacheFolder());
    ASSERT_TRUE(cache.LoadIndex(Legacy()));
    EXPECT_TRUE(fs::is_directory(CacheFolder()));
    Cell cell;
    ASSERT_TRUE(cache.Lookup(image, cell));
    EXPECT_EQ(cell->displayHeight, 100);
    EXPECT_TRUE(cell->GetThumbnail());
}

// The index is a file like any other: whatever it names, the store only ever touches files of
// its own folder.
TEST_F(ThumbnailCacheTest, IndexNeverReachesOutsideTheCacheFolder) {
    const fs::path outside = dir_ / "elsewhere";
    fs::create_directories(outside);
    test::WriteBytes(outside / "FLD9.tmp", {1, 2, 3});
    test::WriteBytes(outside / "notes.txt", {1, 2, 3});
    {
        CMapStringToObPlus cache(Temporary());
    }
    WriteIndex({{"/no/such/folder/", (outside / "FLD9.tmp").string()},
                {"/no/other/folder/", (outside / "notes.txt").string()}},
               CacheFolder() / "KVIMGBRWS.IND");

    CMapStringToObPlus cache(Temporary());
    ASSERT_TRUE(cache.LoadIndex(Legacy()));
    EXPECT_EQ(cache.CacheFileOf("/no/such/folder/"), (CacheFolder() / "FLD9.tmp").string());
    EXPECT_EQ(cache.CacheFileOf("/no/other/folder/"), "");
    cache.SaveAll();
    EXPECT_EQ(test::ReadBytes(outside / "FLD9.tmp"), (Bytes{1, 2, 3}));
    EXPECT_EQ(test::ReadBytes(outside / "notes.txt"), (Bytes{1, 2, 3}));
}

// Builders store, look up and drop cells while the browser paints under the cache lock and a
// second-stage build swaps a cell's picture.
TEST_F(ThumbnailCacheTest, ConcurrentCallers) {
    CMapStringToObPlus cache(Temporary());
    const std::string shared = Image("p", "shared.jpg");
    auto sharedCell = MakeCell(220, 165, true);
    sharedCell->CompressThumbnail();
    cache.Store(shared, sharedCell);

    constexpr int kRounds = 200;
    std::latch start(4);
    auto builder = [&](const std::string& folder) {
        start.arrive_and_wait();
        for (int i = 0; i < kRounds; ++i) {
            const std::string path = Image(folder, std::to_string(i % 20) + ".jpg", false);
            Cell cell;
            if (!cache.Lookup(path, cell)) cache.Store(path, MakeCell());
            if (i % 3 == 0) cache.RemoveKey(path);
        }
    };
    std::thread first(builder, "p");
    std::thread second(builder, "q");
    std::thread swapper([&] {
        start.arrive_and_wait();
        for (int i = 0; i < kRounds; ++i) {
            sharedCell->SetThumbnail(i % 2 ? test::QuadrantDib(220, 165) : DibImagePtr());
            if (i % 10 == 1) sharedCell->CompressThumbnail();
        }
    });
    start.arrive_and_wait();
    for (int i = 0; i < kRounds; ++i) {
        const auto guard = cache.Lock();
        EXPECT_FALSE(cache.Entries().empty());
        Cell cell;
        EXPECT_TRUE(cache.Lookup(shared, cell));
        const DibImagePtr picture = cell->GetThumbnail();
        EXPECT_TRUE(picture);
    }
    first.join();
    second.join();
    swapper.join();
    cache.SaveAll();
    EXPECT_GT(fs::file_size(cache.CacheFileOf(Folder("p"))), 0u);
}

}  // namespace
}  // namespace kv
