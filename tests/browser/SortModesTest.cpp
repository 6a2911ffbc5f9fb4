#include "browser/SortModes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include <map>

#include "base/CommandIds.h"
#include "common/TestFiles.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const CItemList& items) {
    std::vector<std::string> names;
    for (size_t i = 0; i < items.size(); ++i) names.push_back(items[i].path.filename().string());
    return names;
}

// A file of a size with a last-write time, its status change time being now.
void MakeFile(const fs::path& path, size_t bytes, int64_t modified) {
    test::WriteBytes(path, std::vector<uint8_t>(bytes, 7));
    const timespec times[2] = {{modified, 0}, {modified, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class SortModesTest : public testing::Test {
protected:
    void Add(const std::string& name) { items.Append(std::make_unique<CItem>(ResizeSettings{}, dir / name)); }

    test::TempDir dir;
    CItemList items;
};

TEST_F(SortModesTest, EveryModeOrdersAsItSays) {
    // name, size, last-write time, cached image size (none when 0)
    struct File {
        const char* name;
        size_t bytes;
        int64_t modified;
        PixelSize image;
    };
    const File files[] = {
        {"IMG_0300.jpg", 30, 1'600'000'300, {640, 480}},
        {"b.PNG", 10, 1'600'000'100, {}},
        {"DSC_0200.tif", 20, 1'600'000'200, {800, 100}},
        {"a.bmp", 20, 1'600'000'100, {641, 120}},
        {"C.jpg", 40, 1'600'000'050, {100, 900}},
    };
    std::map<fs::path, PixelSize> cells;
    for (const File& f : files) {
        MakeFile(dir / f.name, f.bytes, f.modified);
        Add(f.name);
        if (f.image.width) cells[dir / f.name] = f.image;
    }
    const CellSizeLookup lookup = [&](const fs::path& path) -> std::optional<PixelSize> {
        const auto found = cells.find(path);
        if (found == cells.end()) return std::nullopt;
        return found->second;
    };
    using V = std::vector<std::string>;
    const std::pair<SortMode, V> cases[] = {
        {SortMode::Name, {"a.bmp", "b.PNG", "C.jpg", "DSC_0200.tif", "IMG_0300.jpg"}},
        {SortMode::NameAgain, {"a.bmp", "b.PNG", "C.jpg", "DSC_0200.tif", "IMG_0300.jpg"}},
        // Equal times fall back on the full path.
        {SortMode::Modified, {"C.jpg", "a.bmp", "b.PNG", "DSC_0200.tif", "IMG_0300.jpg"}},
        {SortMode::Extension, {"a.bmp", "C.jpg", "IMG_0300.jpg", "b.PNG", "DSC_0200.tif"}},
        {SortMode::FileSize, {"b.PNG", "a.bmp", "DSC_0200.tif", "IMG_0300.jpg", "C.jpg"}},
        // Files without a cached cell count as 0 and come first.
        {SortMode::Width, {"b.PNG", "C.jpg", "IMG_0300.jpg", "a.bmp", "DSC_0200.tif"}},
        {SortMode::Height, {"b.PNG", "DSC_0200.tif", "a.bmp", "IMG_0300.jpg", "C.jpg"}},
        {SortMode::Dimensions, {"b.PNG", "C.jpg", "IMG_0300.jpg", "a.bmp", "DSC_0200.tif"}},
        // Without the extension and the first four characters: three empty names (by path), "0200", "0300".
        {SortMode::NameTail, {"a.bmp", "b.PNG", "C.jpg", "DSC_0200.tif", "IMG_0300.jpg"}},
    };
    for (const auto& [mode, expected] : cases) {
        SortItems(items, mode, lookup);
        EXPECT_EQ(Names(items), expected) << "mode " << static_cast<int>(mode);
    }
    for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(items[i].detailsLoaded, 1);
}

TEST_F(SortModesTest, CreationTimeIsTheStatusChangeTimeAndGoneFilesKeepZeros) {
    MakeFile(dir / "late.jpg", 5, 1'600'000'000);
    Add("late.jpg");
    Add("gone.jpg");  // no file: zero times, zero size
    SortItems(items, SortMode::Created, {});
    EXPECT_EQ(Names(items), (std::vector<std::string>{"gone.jpg", "late.jpg"}));
    EXPECT_EQ(items[0].detailsLoaded, 0);
    EXPECT_GT(items[1].created, 1'600'000'000);
    EXPECT_EQ(items[1].modified, 1'600'000'000);
    EXPECT_EQ(items[1].size, 5.0);
}

TEST_F(SortModesTest, OnlyTheModesOfTheFileDetailsReadTheDisk) {
    MakeFile(dir / "x.jpg", 5, 1'600'000'000);
    Add("x.jpg");
    SortItems(items, SortMode::Name, {});
    SortItems(items, SortMode::Width, {});
    EXPECT_EQ(items[0].detailsLoaded, 0);
    SortItems(items, SortMode::FileSize, {});
    EXPECT_EQ(items[0].detailsLoaded, 1);
}

TEST_F(SortModesTest, TheInitialModeComesFromTheDesktopProfileAndUnknownValuesSortByName) {
    const fs::path ini = dir / "win.ini";
    EXPECT_EQ(ReadSortMode(ini), SortMode::Name);  // no file
    const std::pair<const char*, SortMode> cases[] = {
        {"[BROWSER]\nSORT=2\n", SortMode::Modified},
        {"[Browser]\r\nsort = 4 \r\n", SortMode::Extension},
        {"[BROWSER]\nSORT=8 files\n", SortMode::FileSize},
        {"[BROWSER]\nSORT=12\n", SortMode::Name},
        {"[BROWSER]\nSORT=-3\n", SortMode::Name},
        {"[BROWSER]\nSORT=size\n", SortMode::Name},
        {"[OTHER]\nSORT=2\n", SortMode::Name},
    };
    for (const auto& [text, mode] : cases) {
        test::WriteBytes(ini, std::vector<uint8_t>(text, text + std::strlen(text)));
        EXPECT_EQ(ReadSortMode(ini), mode) << text;
    }
}

TEST(SortModeCommandsTest, CommandsNameTheirModesAndRefreshKeepsTheImageSizeOrders) {
    EXPECT_EQ(SortModeOfCommand(CommandId::ID_SORT_NAME), SortMode::Name);
    EXPECT_EQ(SortModeOfCommand(CommandId::ID_SORT_DATE), SortMode::Modified);
    EXPECT_EQ(SortModeOfCommand(CommandId::ID_SORT_FORMAT), SortMode::Extension);
    EXPECT_EQ(SortModeOfCommand(CommandId::ID_SORT_WIDTH), SortMode::Width);
    EXPECT_EQ(SortModeOfCommand(CommandId::ID_SORT_HEIGHT), SortMode::Height);
    EXPECT_EQ(SortModeOfCommand(CommandId::ID_SORT_SIZE), SortMode::FileSize);
    EXPECT_EQ(SortModeOfCommand(CommandId::ID_SELECT_ALL), std::nullopt);
    for (const int mode : {0, 1, 2, 4, 5, 8, 9}) EXPECT_TRUE(SortsOnRefresh(SortModeOf(mode))) << mode;
    for (const int mode : {3, 6, 7}) EXPECT_FALSE(SortsOnRefresh(SortModeOf(mode))) << mode;
}

}  // namespace
}  // namespace kv
