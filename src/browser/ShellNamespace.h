#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/SpecialFolders.h"
#include "platform/Trash.h"

namespace kv {

class CWin7Library;

// What an item of the folder tree stands for.
enum class ShellItemKind {
    Desktop,    // the root; its folder is the desktop folder
    Folder,     // a folder of the file system (Home, a volume's root and every subfolder too)
    Libraries,  // the folder of the libraries: no path of its own
    Library,    // one library: its path is its ".library-ms" file
    Computer,   // the volumes: no path of its own
};

// The selection kinds the tree tells the browse window: "0,<folder>" or "2,<library text>".
inline constexpr int kSelectionFolder = 0;
inline constexpr int kSelectionLibrary = 2;

// A mounted volume the tree shows under "Computer".
struct Volume {
    std::string name;
    std::filesystem::path root;
};

// One item of the tree. Children are listed on the first expansion (filled) and afterwards only
// by refreshing.
struct ShellItem {
    ShellItemKind kind = ShellItemKind::Folder;
    std::string name;            // what the tree shows
    std::filesystem::path path;  // the folder, or the library's file; empty for Libraries, Computer
    ShellItem* parent = nullptr;
    std::vector<std::unique_ptr<ShellItem>> children;
    bool filled = false;
    // Whether it shows an expansion button before it is filled.
    bool mayHaveChildren = true;
    // Lives as long as the item: a listing made on another thread checks it before it is used.
    std::shared_ptr<const bool> alive = std::make_shared<const bool>(true);
    bool listing = false;  // a listing of its children is under way elsewhere

    bool IsFolder() const { return kind == ShellItemKind::Folder || kind == ShellItemKind::Desktop; }
    // The file-system folder, or empty.
    std::filesystem::path FolderPath() const { return IsFolder() ? path : std::filesystem::path{}; }
    int IndexInParent() const;
};

// A child as a listing finds it, before it is an item.
struct ShellChild {
    ShellItemKind kind = ShellItemKind::Folder;
    std::string name;
    std::filesystem::path path;
    bool mayHaveChildren = true;
};

// Told around each change of the children of an item, so that a view over the tree stays in step.
class IShellNamespaceObserver {
public:
    virtual void BeforeRemove(ShellItem& parent, int row) = 0;
    virtual void AfterRemove() = 0;
    virtual void BeforeInsert(ShellItem& parent, int row) = 0;
    virtual void AfterInsert() = 0;

protected:
    ~IShellNamespaceObserver() = default;
};

// Where the namespace gets its volumes (QStorageInfo in the program, a list in tests).
using VolumeSource = std::function<std::vector<Volume>()>;
// The volumes of this computer: "/" and the mounted real file systems, without the pseudo ones.
std::vector<Volume> MountedVolumes();

// The folder tree without a window: a root "Desktop" with Home, the desktop folder's subfolders,
// Libraries and Computer, filled lazily. Hidden folders (names beginning with a dot) and the
// trash are never shown; folders are sorted by name as a file manager sorts them, a library's
// folders stand in the library's own order.
//
// Everything runs on the user-interface thread.
class ShellNamespace {
public:
    ShellNamespace(const SpecialFolders& folders, CWin7Library* libraries, VolumeSource volumes = MountedVolumes);

    ShellItem& Root() { return *root_; }
    void SetObserver(IShellNamespaceObserver* observer) { observer_ = observer; }

    // Lists the children of an item once (the first expansion).
    void Fill(ShellItem& item);
    // Fills an item with children listed elsewhere (on another thread); nothing when it is filled.
    void FillWith(ShellItem& item, std::vector<ShellChild> children);
    // What an item has as children now, read from the disk and the libraries.
    std::vector<ShellChild> ListChildren(const ShellItem& item) const;
    std::vector<ShellChild> ListChildren(ShellItemKind kind, const std::filesystem::path& path) const;
    // For a folder or the computer's volumes, which a slow or dead mount may hold up: a listing of
    // the item's children that owns all it needs, to be run on another thread. Empty for the rest,
    // which are listed at once.
    std::function<std::vector<ShellChild>()> ListerFor(const ShellItem& item) const;
    // Brings an item's children in step with the disk, keeping the children that are still there
    // (and their own children); recurse: refreshes the filled children too. onlyIfFilled: an item
    // never filled stays so.
    void Refresh(ShellItem& item, bool onlyIfFilled, bool recurse);

    // "0,<folder>" for a folder, "2,<library text>" for a library, empty for the rest.
    std::string SelectionText(const ShellItem& item) const;

    // The item for a path (a folder, or a library's file), filling what lies on the way; null when
    // it cannot be found (it no longer exists, or lies nowhere in the tree).
    ShellItem* FindPath(const std::filesystem::path& path);
    // One step of that search which lists no folder or volume itself: the item found, or the item
    // on the way whose children must be listed first (see ListerFor; the search is then asked
    // again from the start), or neither when the path lies nowhere in the tree. Items listed at
    // once (the libraries) are filled on the way.
    struct PathSearch {
        ShellItem* found = nullptr;
        ShellItem* toList = nullptr;
    };
    PathSearch SearchPath(const std::filesystem::path& path);
    // The same for a remembered selection (Restore's search).
    PathSearch SearchRecord(const std::string& record);
    ShellItem* FindLibrary(const std::string& name);
    ShellItem* LibrariesItem() const;
    ShellItem* ComputerItem() const;

    // The text that remembers a selected item between runs: its path (folder or library file), or
    // ":computer" / ":libraries" for those. Restore answers null for a text that names nothing any more.
    static std::string SelectionRecord(const ShellItem& item);
    ShellItem* Restore(const std::string& record);

    // Whether an item (the selected one, checked every 2 s) still exists on the disk.
    bool Exists(const ShellItem& item) const;

    // --- Changes the tree makes in place. Each answers the item that takes the place of the
    // changed one (to select), or null when nothing changed. ---
    bool CanRename(const ShellItem& item) const;
    ShellItem* Rename(ShellItem& item, const std::string& newName, std::string& error);
    bool CanDelete(const ShellItem& item) const;
    // A folder goes to the Trash, a library too; a folder of a library only leaves the library.
    ShellItem* Delete(ShellItem& item, std::string& error);
    // New libraries and folders added to one (the tree's context menu).
    ShellItem* NewLibrary(const std::string& name, const std::vector<std::filesystem::path>& folders);
    bool IncludeInLibrary(const ShellItem& library, const std::filesystem::path& folder);
    // A library changed on disk: Libraries and each library below it are refreshed.
    void RefreshLibraries();

private:
    std::unique_ptr<ShellItem> MakeItem(const ShellChild& child, ShellItem* parent) const;
    // Takes the children of an item to a new list, keeping matching items.
    void Update(ShellItem& item, std::vector<ShellChild> children);
    void RemoveChild(ShellItem& parent, int row);
    ShellItem* SearchBelow(ShellItem& item, const std::filesystem::path& path, ShellItem*& toList);
    ShellItem* ChildWithName(ShellItem& parent, const std::string& name) const;

    SpecialFolders folders_;
    CWin7Library* libraries_;
    VolumeSource volumes_;
    Trash trash_;
    std::unique_ptr<ShellItem> root_;
    IShellNamespaceObserver* observer_ = nullptr;
};

// Whether `path` is `folder` or lies inside it (whole path components).
bool PathIsWithin(const std::filesystem::path& path, const std::filesystem::path& folder);

}  // namespace kv
