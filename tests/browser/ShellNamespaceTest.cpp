#include <gtest/gtest.h>

#include "browser/ShellNamespace.h"
#include "common/TestFiles.h"
#include "platform/Win7Library.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::vector<std::string> Names(const ShellItem& item) {
    std::vector<std::string> names;
    for (const auto& child : item.children) names.push_back(child->name);
    return names;
}

class Namespace : public ::testing::Test {
protected:
    Namespace() {
        folders.home = dir / "home";
        folders.desktop = dir / "home/Desktop";
        folders.pictures = dir / "home/Pictures";
        folders.dataHome = dir / "home/.local/share";
        for (const char* folder : {"Desktop/Projects/2024", "Desktop/.secret", "Pictures/Trips/Rome", "Pictures/img10",
                                   "Pictures/img9", "Pictures/Zoo", "Pictures/apple", ".cache"})
            fs::create_directories(dir / "home" / folder);
        test::WriteBytes(dir / "home/Pictures/archive.zip", {1, 2, 3});
        fs::create_directories(dir / "mnt/usb/DCIM");
        libraries.emplace(folders);
        libraries->Start();
    }
    ShellNamespace Make() {
        return ShellNamespace(folders, &*libraries, [this] {
            return std::vector<Volume>{{"File System", "/"}, {"usb", dir / "mnt/usb"}};
        });
    }
    TempDir dir;
    SpecialFolders folders;
    std::optional<CWin7Library> libraries;
};

TEST_F(Namespace, TheRootHoldsHomeTheDesktopsFoldersLibrariesAndComputer) {
    ShellNamespace shell = Make();
    EXPECT_EQ(shell.Root().name, "Desktop");
    EXPECT_EQ(Names(shell.Root()), (std::vector<std::string>{"Home", "Projects", "Libraries", "Computer"}));
    ShellItem& computer = *shell.ComputerItem();
    shell.Fill(computer);
    EXPECT_EQ(Names(computer), (std::vector<std::string>{"File System", "usb"}));
    EXPECT_EQ(shell.SelectionText(computer), "");
    EXPECT_EQ(shell.SelectionText(shell.Root()), "0," + folders.desktop.string());
}

TEST_F(Namespace, FoldersFillLazilyInNaturalOrderWithoutHiddenFoldersOrFiles) {
    ShellNamespace shell = Make();
    ShellItem& home = *shell.Root().children[0];
    EXPECT_FALSE(home.filled);
    shell.Fill(home);
    EXPECT_EQ(Names(home), (std::vector<std::string>{"Desktop", "Pictures"}));  // no .cache, no .local
    ShellItem& pictures = *home.children[1];
    shell.Fill(pictures);
    EXPECT_EQ(Names(pictures), (std::vector<std::string>{"apple", "img9", "img10", "Trips", "Zoo"}));
    // A folder without subfolders has no expansion button where the file system says so; one that
    // turns out empty loses it.
    ShellItem& apple = *pictures.children[0];
    shell.Fill(apple);
    EXPECT_FALSE(apple.mayHaveChildren);
}

TEST_F(Namespace, PathsAreFoundThroughTheTreeAndAVanishedOneIsNot) {
    ShellNamespace shell = Make();
    const fs::path rome = dir / "home/Pictures/Trips/Rome";
    ShellItem* found = shell.FindPath(rome.string() + "/");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->path, rome);
    EXPECT_EQ(found->parent->parent->parent->name, "Home");
    EXPECT_EQ(shell.SelectionText(*found), "0," + rome.string());
    EXPECT_EQ(shell.FindPath(folders.desktop), &shell.Root());
    // A volume's folder is found below Computer.
    ShellItem* dcim = shell.FindPath(dir / "mnt/usb/DCIM");
    ASSERT_NE(dcim, nullptr);
    EXPECT_EQ(dcim->path, dir / "mnt/usb/DCIM");
    EXPECT_EQ(shell.FindPath(dir / "home/Pictures/Gone"), nullptr);

    fs::remove_all(rome);
    EXPECT_FALSE(shell.Exists(*found));
    shell.Refresh(*found->parent, true, true);
    EXPECT_EQ(Names(*shell.FindPath(dir / "home/Pictures/Trips")), std::vector<std::string>{});
}

TEST_F(Namespace, TheRememberedSelectionIsAPathOrAPlaceAndFallsBackWhenGone) {
    ShellNamespace shell = Make();
    ShellItem* trips = shell.FindPath(dir / "home/Pictures/Trips");
    const std::string record = ShellNamespace::SelectionRecord(*trips);
    EXPECT_EQ(record, (dir / "home/Pictures/Trips").string());
    ShellNamespace later = Make();
    ASSERT_NE(later.Restore(record), nullptr);
    EXPECT_EQ(later.Restore(record)->path, dir / "home/Pictures/Trips");
    EXPECT_EQ(later.Restore(ShellNamespace::SelectionRecord(*later.ComputerItem())), later.ComputerItem());
    // An older program's binary record, a path that went, nothing at all: no item.
    for (const std::string& old : {std::string("\x14\x00\x1f\x50", 4), (dir / "gone").string(), std::string()})
        EXPECT_EQ(later.Restore(old), nullptr);
}

TEST_F(Namespace, LibrariesShowTheirFoldersInTheirOwnOrderAndChangeInPlace) {
    const auto trips = libraries->CreateLibrary("Trips", {dir / "mnt/usb/DCIM", dir / "home/Pictures/Zoo", dir / "gone"});
    ShellNamespace shell = Make();
    ShellItem* library = shell.FindLibrary("Trips");
    ASSERT_NE(library, nullptr);
    shell.Fill(*library);
    EXPECT_EQ(Names(*library), (std::vector<std::string>{"DCIM", "Zoo"}));  // the vanished folder is left out
    EXPECT_EQ(shell.SelectionText(*library),
              "2,Trips;0;" + (dir / "mnt/usb/DCIM").string() + ";" + (dir / "home/Pictures/Zoo").string() + ";" +
                  (dir / "gone").string());
    EXPECT_EQ(shell.FindPath(*trips), library);

    // Deleting a folder of a library only takes it out of the library.
    std::string error;
    ShellItem* next = shell.Delete(*library->children[0], error);
    ASSERT_NE(next, nullptr) << error;
    EXPECT_EQ(next->name, "Zoo");
    EXPECT_TRUE(fs::is_directory(dir / "mnt/usb/DCIM"));
    EXPECT_EQ(Names(*library), std::vector<std::string>{"Zoo"});

    // Renaming a library's folder renames it on disk and the library follows.
    ShellItem* renamed = shell.Rename(*library->children[0], "Animals", error);
    ASSERT_NE(renamed, nullptr) << error;
    EXPECT_TRUE(fs::is_directory(dir / "home/Pictures/Animals"));
    EXPECT_EQ(libraries->Read(*trips)->folders[0], dir / "home/Pictures/Animals");

    ShellItem* holiday = shell.Rename(*library, "Holiday", error);
    ASSERT_NE(holiday, nullptr) << error;
    EXPECT_EQ(holiday->name, "Holiday");
    EXPECT_EQ(shell.FindLibrary("Trips"), nullptr);
}

TEST_F(Namespace, FoldersAreRenamedWithoutReplacingAndDeletedToTheTrash) {
    ShellNamespace shell = Make();
    ShellItem* zoo = shell.FindPath(dir / "home/Pictures/Zoo");
    std::string error;
    EXPECT_EQ(shell.Rename(*zoo, "Trips", error), nullptr);  // the name is taken
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_directory(dir / "home/Pictures/Zoo/"));
    EXPECT_EQ(shell.Rename(*zoo, "../x", error), nullptr);
    EXPECT_FALSE(shell.CanRename(*shell.Root().children[0]));  // Home itself

    ShellItem* next = shell.Delete(*shell.FindPath(dir / "home/Pictures/img9"), error);
    ASSERT_NE(next, nullptr) << error;
    EXPECT_EQ(next->name, "img10");
    EXPECT_FALSE(fs::exists(dir / "home/Pictures/img9"));
    EXPECT_TRUE(fs::is_directory(folders.dataHome / "Trash/files/img9"));
    EXPECT_EQ(Names(*next->parent), (std::vector<std::string>{"apple", "img10", "Trips", "Zoo"}));
}

TEST(NamespacePaths, WithinComparesWholeComponents) {
    EXPECT_TRUE(PathIsWithin("/a/b/c", "/a/b"));
    EXPECT_TRUE(PathIsWithin("/a/b", "/a/b/"));
    EXPECT_TRUE(PathIsWithin("/a", "/"));
    EXPECT_FALSE(PathIsWithin("/a/bc", "/a/b"));
    EXPECT_FALSE(PathIsWithin("/a", "/a/b"));
}

}  // namespace
}  // namespace kv
