#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

#include "common/TestFiles.h"
#include "platform/Win7Library.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

class CountingListener final : public ILibUpdate {
public:
    void UpdateLibraries() override {
        std::lock_guard guard(lock_);
        ++calls_;
        changed_.notify_all();
    }
    // Waits until at least `count` calls came, then a little more for any that should not come.
    int WaitFor(int count) {
        std::unique_lock guard(lock_);
        changed_.wait_for(guard, std::chrono::seconds(5), [&] { return calls_ >= count; });
        changed_.wait_for(guard, std::chrono::milliseconds(4 * CWin7Library::kSettleMs), [&] { return calls_ > count; });
        return calls_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    int calls_ = 0;
};

class Libraries : public ::testing::Test {
protected:
    Libraries() {
        folders.dataHome = dir / "data";
        folders.pictures = dir / "Pictures";
        fs::create_directories(folders.pictures);
        fs::create_directories(dir / "Work");
    }
    TempDir dir;
    SpecialFolders folders;
};

TEST_F(Libraries, AFirstRunMakesAPicturesLibraryWhoseFilesOthersCanRead) {
    CWin7Library libraries(folders);
    ASSERT_TRUE(libraries.Start());
    ASSERT_TRUE(libraries.LibrariesPresent());
    const auto file = libraries.FindLibrary("Pictures");
    ASSERT_TRUE(file);
    EXPECT_EQ(*file, folders.LibrariesFolder() / "Pictures.library-ms");
    EXPECT_EQ(libraries.GetLibraryText(*file), "Pictures;0;" + folders.pictures.string());
    EXPECT_EQ(libraries.GetFolderCount(*file), 1);

    // The XML form: the folder list in searchConnectorDescription/simpleLocation/url.
    std::ifstream in(*file);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("<libraryDescription xmlns=\"http://schemas.microsoft.com/windows/2009/library\">"), std::string::npos);
    EXPECT_NE(text.find("<url>" + folders.pictures.string() + "</url>"), std::string::npos);

    // A second start finds the folder and makes nothing again, even when the library went.
    fs::remove(*file);
    CWin7Library again(folders);
    ASSERT_TRUE(again.Start());
    EXPECT_FALSE(again.LibrariesPresent());
}

TEST_F(Libraries, ReadsFoldersInTheLibrarysOrderKeepingWhatItDoesNotKnow) {
    CWin7Library libraries(folders);
    ASSERT_TRUE(libraries.Start());
    const fs::path file = folders.LibrariesFolder() / "Trips.library-ms";
    std::ofstream(file) << R"(<?xml version="1.0" encoding="UTF-8"?>
<libraryDescription xmlns="http://schemas.microsoft.com/windows/2009/library">
  <name>@shell32.dll,-34575</name>
  <iconReference>imageres.dll,-1003</iconReference>
  <searchConnectorDescriptionList>
    <searchConnectorDescription><simpleLocation><url>file://)" << (dir / "Work").string() << R"(</url></simpleLocation></searchConnectorDescription>
    <searchConnectorDescription><simpleLocation><url>\\server\share</url></simpleLocation></searchConnectorDescription>
    <searchConnectorDescription><simpleLocation><url>)" << folders.pictures.string() << R"(</url></simpleLocation></searchConnectorDescription>
  </searchConnectorDescriptionList>
</libraryDescription>)";
    EXPECT_EQ(libraries.GetLibraryText(file), "Trips;0;" + (dir / "Work").string() + ";" + folders.pictures.string());

    ASSERT_TRUE(libraries.RemoveFolderFromLibrary(file, dir / "Work"));
    EXPECT_EQ(libraries.GetLibraryText(file), "Trips;0;" + folders.pictures.string());
    EXPECT_TRUE(fs::is_directory(dir / "Work"));  // only the library forgot it
    ASSERT_TRUE(libraries.AddFolderToLibrary(file, dir / "Work"));
    EXPECT_FALSE(libraries.AddFolderToLibrary(file, dir / "Work"));
    fs::rename(dir / "Work", dir / "Work 2");
    ASSERT_TRUE(libraries.ResolveFolderInLibrary(file, dir / "Work", dir / "Work 2"));
    EXPECT_EQ(libraries.GetLibraryText(file), "Trips;0;" + folders.pictures.string() + ";" + (dir / "Work 2").string());

    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("imageres.dll,-1003"), std::string::npos);
    EXPECT_NE(text.find("\\\\server\\share"), std::string::npos);
}

TEST_F(Libraries, RenamesWithoutReplacingAndDeletesToTheTrash) {
    CWin7Library libraries(folders);
    ASSERT_TRUE(libraries.Start());
    const auto trips = libraries.CreateLibrary("Trips", {dir / "Work"});
    ASSERT_TRUE(trips);
    const auto renamed = libraries.RenameLibrary(*trips, "Pictures");
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->filename(), "Pictures (2).library-ms");
    EXPECT_FALSE(fs::exists(*trips));
    EXPECT_EQ(libraries.GetLibraryText(folders.LibrariesFolder() / "Pictures.library-ms"),
              "Pictures;0;" + folders.pictures.string());
    EXPECT_FALSE(libraries.RenameLibrary(*renamed, "a/b"));

    ASSERT_TRUE(libraries.DeleteLibrary(*renamed, false));
    EXPECT_FALSE(fs::exists(*renamed));
    EXPECT_TRUE(fs::exists(folders.dataHome / "Trash" / "files" / "Pictures (2).library-ms"));
    ASSERT_TRUE(libraries.DeleteLibrary(folders.LibrariesFolder() / "Pictures.library-ms", true));
    EXPECT_FALSE(libraries.LibrariesPresent());
}

TEST_F(Libraries, ADamagedFileIsNoLibraryAndAVanishedFolderLeavesTheRest) {
    CWin7Library libraries(folders);
    ASSERT_TRUE(libraries.Start());
    const fs::path damaged = folders.LibrariesFolder() / "Broken.library-ms";
    for (const std::string& text : {std::string("<libraryDescription><searchConnector"), std::string("<html/>"), std::string()}) {
        std::ofstream(damaged) << text;
        EXPECT_EQ(libraries.GetLibraryText(damaged), "");
        EXPECT_EQ(libraries.GetFolderCount(damaged), 0);
        EXPECT_FALSE(libraries.AddFolderToLibrary(damaged, dir / "Work"));
    }
    const auto both = libraries.CreateLibrary("Both", {dir / "Work", folders.pictures});
    fs::remove(dir / "Work");
    // The library still names both; the tree and the browser skip the one that went.
    EXPECT_EQ(libraries.GetFolderCount(*both), 2);
    const auto all = libraries.GetAllLibraryFolders();
    EXPECT_EQ(std::count(all.begin(), all.end(), folders.pictures), 2);
}

TEST_F(Libraries, TheWatcherTellsEachListenerOncePerChange) {
    CWin7Library libraries(folders);
    ASSERT_TRUE(libraries.Start());
    CountingListener first, second;
    libraries.AddListener(&first);
    libraries.AddListener(&second);
    // A library written (to a temporary name, then renamed into place) is one change.
    ASSERT_TRUE(libraries.CreateLibrary("Trips", {dir / "Work"}));
    EXPECT_EQ(first.WaitFor(1), 1);
    EXPECT_EQ(second.WaitFor(1), 1);
    libraries.RemoveListener(&second);
    ASSERT_TRUE(libraries.DeleteLibrary(folders.LibrariesFolder() / "Trips.library-ms", true));
    EXPECT_EQ(first.WaitFor(2), 2);
    EXPECT_EQ(second.WaitFor(1), 1);
}

}  // namespace
}  // namespace kv
