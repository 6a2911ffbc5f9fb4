#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "base/CommandIds.h"
#include "browser/BrowserTestSupport.h"
#include "browser/CellTestSupport.h"
#include "browser/ImgThumbsBrowser.h"
#include "common/RecordingTargets.h"
#include "common/TestFiles.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

void Write(const fs::path& path, size_t bytes) { std::ofstream(path) << std::string(bytes, 'x'); }

std::vector<std::string> Names(const CItemList& items) {
    std::vector<std::string> names;
    for (size_t i = 0; i < items.size(); ++i) names.push_back(items[i].path.filename().string());
    return names;
}

// Waits (up to 5 s) until the condition holds, as the monitor's thread takes its time.
template <typename Condition>
bool Eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class FolderBrowser : public ::testing::Test {
protected:
    FolderBrowser() : cache(dir / "cache") {
        fs::create_directories(dir / "album/sub.jpg");
        fs::create_directories(dir / "other");
        Write(dir / "album/b.jpg", 100);
        Write(dir / "album/A.JPG", 100);
        Write(dir / "album/tiny.png", 15);
        Write(dir / "album/notes.txt", 100);
        Write(dir / "album/x.jfif", 100);
        Write(dir / "album/b.wav", 100);
        Write(dir / "other/c.tif", 100);
    }
    std::unique_ptr<CImgThumbsBrowser> Make() {
        ThumbsBrowserServices services{cache, nullptr, &prompt, &clipboard};
        auto browser = std::make_unique<CImgThumbsBrowser>(services, mainWindow, Trash(dir / "data"));
        browser->SetHost(&view);
        return browser;
    }
    TempDir dir;
    CMapStringToObPlus cache;
    test::RecordingCommandTarget mainWindow;
    test::RecordingUserPrompt prompt{true};
    test::MemoryClipboard clipboard;
    test::RecordingView view;
};

TEST_F(FolderBrowser, ReadsTheSupportedImagesOfAFolderAndKeepsTheSelection) {
    auto browser = Make();
    fs::create_directory_symlink(dir / "other", dir / "album/link.jpg");
    browser->SetFolder(dir / "album");
    browser->ReadFolder();
    // Neither folders (nor links to them), nor tiny files, nor other extensions; the extension
    // test ignores case. The listing tells each file's size.
    EXPECT_EQ(Names(browser->items()), (std::vector<std::string>{"A.JPG", "b.jpg"}));
    EXPECT_EQ(browser->items()[0].detailsLoaded, 1);
    EXPECT_EQ(browser->items()[0].size, 100.0);
    EXPECT_EQ(browser->items()[0].modified, GetFileStatus(dir / "album/A.JPG")->modified.tv_sec);
    browser->items()[1].selected = 1;
    Write(dir / "album/a0.jpg", 100);
    browser->ReadFolder();
    EXPECT_EQ(Names(browser->items()), (std::vector<std::string>{"A.JPG", "a0.jpg", "b.jpg"}));
    EXPECT_EQ(browser->items().SelectedIndices(), std::vector<size_t>{2});
    // A refresh lists the tiny file too, and forgets the selection.
    browser->OnCommand(CommandId::ID_VIEW_REFRESH);
    EXPECT_EQ(browser->items().size(), 4u);
    EXPECT_EQ(browser->items().SelectedCount(), 0u);
}

TEST_F(FolderBrowser, ReadingAFolderMergesTheCellsOfItsCacheFileWhoseImagesRemain) {
    Write(dir / "album/gone.jpg", 100);
    const std::vector<fs::path> kept{dir / "album/A.JPG", dir / "album/b.jpg", dir / "album/notes.txt"};
    for (const fs::path& path : kept) cache.Store(path.string(), test::MakeCell());
    cache.Store((dir / "album/gone.jpg").string(), test::MakeCell());
    cache.SaveAll();
    cache.RemoveAll();
    fs::remove(dir / "album/gone.jpg");

    auto browser = Make();
    browser->SetFolder(dir / "album");
    browser->ReadFolder();
    // The images listed, and a file the listing passes over but that still exists, keep their
    // cells; the cell of the image deleted since is dropped.
    EXPECT_EQ(cache.GetCount(), 3u);
    for (const fs::path& path : kept) EXPECT_NE(browser->CachedCell(path), nullptr) << path;
    EXPECT_EQ(browser->CachedCell(dir / "album/gone.jpg"), nullptr);
}

TEST_F(FolderBrowser, TheTreesChoiceIsWatchedAndReadAndALibraryShowsAllItsFolders) {
    auto browser = Make();
    ASSERT_TRUE(browser->StartMonitor());
    browser->OnTreeSelection("0," + (dir / "album").string());
    ASSERT_TRUE(Eventually([&] {
        const auto posted = mainWindow.commands();
        return std::count(posted.begin(), posted.end(), CommandId::ID_BEGINREADFOLDER) > 0;
    }));
    EXPECT_EQ(browser->CurrentFolder(), dir / "album");

    browser->OnTreeSelection("2,Trips;0;" + (dir / "other").string() + ";" + (dir / "gone").string() + ";" +
                             (dir / "album").string());
    EXPECT_EQ(browser->listMode(), ListMode::Library);
    EXPECT_EQ(browser->CurrentFolder(), fs::path());
    EXPECT_EQ(Names(browser->items()), (std::vector<std::string>{"A.JPG", "b.jpg", "c.tif"}));
    // A library shows no folder: reading one does nothing, and nothing can be pasted.
    browser->ReadFolder();
    EXPECT_EQ(browser->items().size(), 3u);
    clipboard.WriteFileList({dir / "other/c.tif"}, false);
    EXPECT_FALSE(browser->CommandStateOf(CommandId::ID_EDIT_PASTE).enabled);
}

TEST_F(FolderBrowser, DeletingSendsTheFilesWithTheirSoundNotesToTheTrash) {
    auto browser = Make();
    browser->SetFolder(dir / "album");
    browser->ReadFolder();
    browser->items()[1].selected = 1;  // b.jpg, whose note is b.wav
    browser->OnCommand(CommandId::ID_EDIT_CLEAR);
    EXPECT_FALSE(fs::exists(dir / "album/b.jpg"));
    EXPECT_FALSE(fs::exists(dir / "album/b.wav"));
    EXPECT_TRUE(fs::exists(dir / "data/Trash/files/b.jpg"));
    EXPECT_TRUE(fs::exists(dir / "data/Trash/files/b.wav"));
    EXPECT_EQ(Names(browser->items()), (std::vector<std::string>{"A.JPG", "tiny.png"}));
}

TEST_F(FolderBrowser, PastesAndDropsCopyOrMoveWithoutReplacingAnything) {
    auto browser = Make();
    browser->SetFolder(dir / "other");
    browser->ReadFolder();
    // A cut elsewhere moves the files here and empties the clipboard.
    clipboard.WriteFileList({dir / "album/b.jpg"}, true);
    browser->OnCommand(CommandId::ID_EDIT_PASTE);
    EXPECT_FALSE(fs::exists(dir / "album/b.jpg"));
    EXPECT_TRUE(fs::exists(dir / "other/b.jpg"));
    EXPECT_TRUE(clipboard.parts.empty());

    // Within one file system a drop moves unless Ctrl asks for a copy.
    browser->SetOfferedFiles({dir / "album/A.JPG"});
    EXPECT_EQ(browser->DragOver({1, 1}, true, {}), DropEffect::Move);
    EXPECT_EQ(browser->DragOver({1, 1}, true, {false, true}), DropEffect::Copy);
    EXPECT_EQ(browser->DragOver({1, 1}, false, {}), DropEffect::None);
    Write(dir / "other/A.JPG", 50);
    browser->Drop({1, 1}, FileList{{dir / "album/A.JPG"}, false}, DropEffect::Copy);
    EXPECT_EQ(fs::file_size(dir / "other/A.JPG"), 50u);
    EXPECT_EQ(fs::file_size(dir / "other/A (2).JPG"), 100u);
    EXPECT_TRUE(fs::exists(dir / "album/A.JPG"));
    EXPECT_EQ(Names(browser->items()), (std::vector<std::string>{"A (2).JPG", "A.JPG", "b.jpg", "c.tif"}));

    // A file that vanished before the drop is reported; the rest still arrive.
    browser->Drop({1, 1}, FileList{{dir / "album/gone.jpg", dir / "album/x.jfif"}, false}, DropEffect::Move);
    ASSERT_EQ(browser->lastFailures().size(), 1u);
    EXPECT_EQ(browser->lastFailures()[0].source, dir / "album/gone.jpg");
    EXPECT_EQ(prompt.messages.size(), 1u);
    EXPECT_TRUE(fs::exists(dir / "other/x.jfif"));
}

TEST(LibraryText, FoldersFollowTheNameAndTheIcon) {
    EXPECT_EQ(LibraryTextFolders("Trips;0;/a;/b c"), (std::vector<fs::path>{"/a", "/b c"}));
    EXPECT_EQ(LibraryTextFolders("Empty;0"), std::vector<fs::path>{});
    EXPECT_EQ(LibraryTextFolders(""), std::vector<fs::path>{});
}

}  // namespace
}  // namespace kv
