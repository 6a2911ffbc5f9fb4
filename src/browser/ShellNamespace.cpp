#include "browser/ShellNamespace.h"

#include <sys/stat.h>

#include <QByteArray>
#include <QFile>
#include <QStorageInfo>
#include <QString>
#include <algorithm>
#include <cctype>
#include <set>
#include <system_error>

#include "base/FileStatus.h"
#include "platform/FileRename.h"
#include "platform/Win7Library.h"

namespace kv {

namespace fs = std::filesystem;

namespace {

constexpr const char* kComputerRecord = ":computer";
constexpr const char* kLibrariesRecord = ":libraries";


fs::path Normal(const fs::path& path) {
    fs::path normal = path.lexically_normal();
    if (normal.has_filename() || normal == normal.root_path()) return normal;
    return normal.parent_path();  // "a/b/" -> "a/b"
}

// File systems that hold no user's files: the kernel's views, memory file systems of the system,
// containers' layers and automount stand-ins.
bool IsPseudoFileSystem(const QByteArray& type) {
    static const std::set<QByteArray> pseudo = {
        "proc",     "sysfs",      "devtmpfs",  "devpts",    "tmpfs",      "cgroup",   "cgroup2",   "pstore",
        "securityfs", "debugfs",  "tracefs",   "configfs",  "fusectl",    "mqueue",   "hugetlbfs", "bpf",
        "autofs",   "binfmt_misc", "efivarfs", "overlay",   "squashfs",   "nsfs",     "ramfs",     "rpc_pipefs",
        "fuse.gvfsd-fuse", "fuse.portal", "nfsd"};
    return pseudo.count(type) > 0;
}

bool NameValid(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// Whether a folder may have subfolders, from its link count alone: on the file systems that count
// them, a folder with none has two links. Others (one link) may have some.
bool MayHaveSubfolders(const fs::path& folder) {
    struct stat st{};
    if (::stat(folder.c_str(), &st) != 0) return false;
    return st.st_nlink != 2;
}

// File managers' order: letters without regard to case, runs of digits by their value ("img9"
// before "img10"), the exact name breaking ties.
int NaturalCompare(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[j]);
        if (std::isdigit(x) && std::isdigit(y)) {
            size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0') ++si;
            while (sj + 1 < ej && b[sj] == '0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
            if (const int c = a.compare(si, ei - si, b, sj, ej - sj)) return c;
            i = ei;
            j = ej;
            continue;
        }
        const int lx = std::tolower(x), ly = std::tolower(y);
        if (lx != ly) return lx < ly ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
    return a.compare(b);
}

void SortByName(std::vector<ShellChild>& children) {
    std::stable_sort(children.begin(), children.end(),
                     [](const ShellChild& a, const ShellChild& b) { return NaturalCompare(a.name, b.name) < 0; });
}

bool SameChild(const ShellItem& item, const ShellChild& child) {
    return item.kind == child.kind && item.path == child.path && (!item.path.empty() || item.name == child.name);
}

// The subfolders of a folder, without hidden ones and the trash, in a file manager's order.
std::vector<ShellChild> ListSubfolders(const fs::path& folder, const fs::path& homeTrash) {
    std::vector<ShellChild> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (name.empty() || name.front() == '.' || !it->is_directory(typeError)) continue;
        if (it->path() == homeTrash) continue;
        found.push_back({ShellItemKind::Folder, name, it->path(), MayHaveSubfolders(it->path())});
    }
    SortByName(found);
    return found;
}

std::vector<ShellChild> ListVolumes(const VolumeSource& volumes) {
    std::vector<ShellChild> children;
    for (const Volume& volume : volumes())
        children.push_back({ShellItemKind::Folder, volume.name, Normal(volume.root), true});
    return children;
}

}  // namespace

bool PathIsWithin(const fs::path& path, const fs::path& folder) {
    if (folder.empty()) return false;
    const fs::path p = Normal(path), f = Normal(folder);
    auto pi = p.begin();
    for (auto fi = f.begin(); fi != f.end(); ++fi, ++pi) {
        if (fi->empty()) continue;  // the empty last element of "/"
        if (pi == p.end() || *pi != *fi) return false;
    }
    return true;
}

int ShellItem::IndexInParent() const {
    if (!parent) return 0;
    for (size_t i = 0; i < parent->children.size(); ++i)
        if (parent->children[i].get() == this) return static_cast<int>(i);
    return -1;
}

std::vector<Volume> MountedVolumes() {
    std::vector<Volume> volumes{{"File System", "/"}};
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        if (!storage.isValid() || !storage.isReady() || IsPseudoFileSystem(storage.fileSystemType())) continue;
        const fs::path root(QFile::encodeName(storage.rootPath()).toStdString());
        if (root == "/" || PathIsWithin(root, "/proc") || PathIsWithin(root, "/sys") || PathIsWithin(root, "/dev") ||
            PathIsWithin(root, "/run") || PathIsWithin(root, "/boot"))
            continue;
        std::string name = QFile::encodeName(storage.displayName()).toStdString();
        if (name.empty() || name == root.string()) name = root.filename().string();
        volumes.push_back({name, root});
    }
    return volumes;
}

ShellNamespace::ShellNamespace(const SpecialFolders& folders, CWin7Library* libraries, VolumeSource volumes)
    : folders_(folders), libraries_(libraries), volumes_(std::move(volumes)), trash_(folders.dataHome) {
    root_ = std::make_unique<ShellItem>();
    root_->kind = ShellItemKind::Desktop;
    root_->name = "Desktop";
    root_->path = folders_.desktop.empty() ? fs::path{} : Normal(folders_.desktop);
    Fill(*root_);
}

std::unique_ptr<ShellItem> ShellNamespace::MakeItem(const ShellChild& child, ShellItem* parent) const {
    auto item = std::make_unique<ShellItem>();
    item->kind = child.kind;
    item->name = child.name;
    item->path = child.path;
    item->parent = parent;
    item->mayHaveChildren = child.mayHaveChildren;
    return item;
}

std::vector<ShellChild> ShellNamespace::ListChildren(const ShellItem& item) const {
    return ListChildren(item.kind, item.path);
}

std::vector<ShellChild> ShellNamespace::ListChildren(ShellItemKind kind, const fs::path& path) const {
    std::vector<ShellChild> children;
    std::error_code ec;
    auto subfolders = [&](const fs::path& folder) { return ListSubfolders(folder, trash_.HomeTrash()); };
    switch (kind) {
    case ShellItemKind::Desktop: {
        if (!folders_.home.empty() && FileExists(folders_.home))
            children.push_back({ShellItemKind::Folder, "Home", Normal(folders_.home), true});
        if (!path.empty() && path != Normal(folders_.home)) {
            const auto onDesktop = subfolders(path);
            children.insert(children.end(), onDesktop.begin(), onDesktop.end());
        }
        if (libraries_ && !libraries_->LibrariesFolder().empty())
            children.push_back({ShellItemKind::Libraries, "Libraries", {}, libraries_->LibrariesPresent()});
        children.push_back({ShellItemKind::Computer, "Computer", {}, true});
        break;
    }
    case ShellItemKind::Folder:
        children = subfolders(path);
        break;
    case ShellItemKind::Libraries:
        if (!libraries_) break;
        for (const fs::path& file : libraries_->Libraries())
            children.push_back({ShellItemKind::Library, CWin7Library::DisplayName(file), file,
                                libraries_->GetFolderCount(file) > 0});
        break;
    case ShellItemKind::Library:
        if (!libraries_) break;
        // In the library's own order; a folder that went is left out and the rest still show.
        if (const auto contents = libraries_->Read(path))
            for (const fs::path& folder : contents->folders)
                if (fs::is_directory(folder, ec))
                    children.push_back({ShellItemKind::Folder, Normal(folder).filename().string(), Normal(folder),
                                        MayHaveSubfolders(folder)});
        break;
    case ShellItemKind::Computer:
        children = ListVolumes(volumes_);
        break;
    }
    return children;
}

std::function<std::vector<ShellChild>()> ShellNamespace::ListerFor(const ShellItem& item) const {
    if (item.kind == ShellItemKind::Folder)
        return [folder = item.path, homeTrash = trash_.HomeTrash()] { return ListSubfolders(folder, homeTrash); };
    if (item.kind == ShellItemKind::Computer) return [volumes = volumes_] { return ListVolumes(volumes); };
    return {};
}

void ShellNamespace::Fill(ShellItem& item) {
    if (item.filled) return;
    FillWith(item, ListChildren(item));
}

void ShellNamespace::FillWith(ShellItem& item, std::vector<ShellChild> children) {
    if (item.filled) return;
    item.filled = true;
    Update(item, std::move(children));
    if (item.children.empty()) item.mayHaveChildren = false;
}

void ShellNamespace::RemoveChild(ShellItem& parent, int row) {
    if (observer_) observer_->BeforeRemove(parent, row);
    parent.children.erase(parent.children.begin() + row);
    if (observer_) observer_->AfterRemove();
}

void ShellNamespace::Update(ShellItem& item, std::vector<ShellChild> children) {
    // Both lists stand in the same order, so the items that stay are in the new order already.
    for (int row = static_cast<int>(item.children.size()) - 1; row >= 0; --row) {
        const ShellItem& old = *item.children[static_cast<size_t>(row)];
        const bool stays = std::any_of(children.begin(), children.end(),
                                       [&](const ShellChild& child) { return SameChild(old, child); });
        if (!stays) RemoveChild(item, row);
    }
    for (size_t i = 0; i < children.size(); ++i) {
        if (i < item.children.size() && SameChild(*item.children[i], children[i])) {
            ShellItem& kept = *item.children[i];
            kept.name = children[i].name;
            if (!kept.filled) kept.mayHaveChildren = children[i].mayHaveChildren;
            continue;
        }
        // A kept item further down (a library's order changed) goes, and comes back here.
        for (size_t later = i + 1; later < item.children.size(); ++later)
            if (SameChild(*item.children[later], children[i])) {
                RemoveChild(item, static_cast<int>(later));
                break;
            }
        const int row = static_cast<int>(i);
        if (observer_) observer_->BeforeInsert(item, row);
        item.children.insert(item.children.begin() + row, MakeItem(children[i], &item));
        if (observer_) observer_->AfterInsert();
    }
    while (item.children.size() > children.size()) RemoveChild(item, static_cast<int>(item.children.size()) - 1);
}

void ShellNamespace::Refresh(ShellItem& item, bool onlyIfFilled, bool recurse) {
    if (onlyIfFilled && !item.filled) return;
    item.filled = true;
    Update(item, ListChildren(item));
    item.mayHaveChildren = !item.children.empty();
    if (!recurse) return;
    for (const auto& child : item.children)
        if (child->filled) Refresh(*child, true, true);
}

std::string ShellNamespace::SelectionText(const ShellItem& item) const {
    if (item.IsFolder() && !item.path.empty()) return std::to_string(kSelectionFolder) + "," + item.path.string();
    if (item.kind == ShellItemKind::Library && libraries_) {
        const std::string text = libraries_->GetLibraryText(item.path);
        if (!text.empty()) return std::to_string(kSelectionLibrary) + "," + text;
    }
    return {};
}

ShellItem* ShellNamespace::LibrariesItem() const {
    for (const auto& child : root_->children)
        if (child->kind == ShellItemKind::Libraries) return child.get();
    return nullptr;
}

ShellItem* ShellNamespace::ComputerItem() const {
    for (const auto& child : root_->children)
        if (child->kind == ShellItemKind::Computer) return child.get();
    return nullptr;
}

ShellItem* ShellNamespace::SearchBelow(ShellItem& item, const fs::path& path, ShellItem*& toList) {
    if (!item.filled) {
        // A folder or the volumes are listed by the caller, wherever it lists them.
        if (ListerFor(item)) {
            toList = &item;
            return nullptr;
        }
        Fill(item);
    }
    for (size_t i = 0; i < item.children.size(); ++i) {
        ShellItem& child = *item.children[i];
        ShellItem* found = nullptr;
        const fs::path folder = child.FolderPath();
        if (!folder.empty()) {
            if (folder == path) return &child;
            if (PathIsWithin(path, folder)) found = SearchBelow(child, path, toList);
        } else if (!libraries_) {
            continue;
        } else if (&item == root_.get() && child.kind == ShellItemKind::Libraries) {
            const auto all = libraries_->GetAllLibraryFolders();
            if (std::any_of(all.begin(), all.end(), [&](const fs::path& f) { return PathIsWithin(path, f); }))
                return SearchBelow(child, path, toList);
        } else if (child.kind == ShellItemKind::Library) {
            const auto contents = libraries_->Read(child.path);
            if (contents && std::any_of(contents->folders.begin(), contents->folders.end(),
                                        [&](const fs::path& f) { return PathIsWithin(path, f); }))
                return SearchBelow(child, path, toList);
        }
        if (found || toList) return found;
    }
    return nullptr;
}

ShellNamespace::PathSearch ShellNamespace::SearchPath(const fs::path& rawPath) {
    if (rawPath.empty()) return {};
    if (CWin7Library::IsLibraryPath(rawPath)) return {FindLibrary(CWin7Library::DisplayName(rawPath))};
    const fs::path path = Normal(rawPath);
    if (!root_->path.empty() && path == root_->path) return {root_.get()};
    ShellItem* toList = nullptr;
    if (ShellItem* found = SearchBelow(*root_, path, toList)) return {found};
    if (toList) return {nullptr, toList};
    // Nowhere below the desktop: through the computer's volumes.
    ShellItem* computer = ComputerItem();
    if (!computer) return {};
    ShellItem* found = SearchBelow(*computer, path, toList);
    return {found, found ? nullptr : toList};
}

ShellItem* ShellNamespace::FindPath(const fs::path& path) {
    for (;;) {
        const PathSearch step = SearchPath(path);
        if (!step.toList) return step.found;
        Fill(*step.toList);
    }
}

ShellItem* ShellNamespace::FindLibrary(const std::string& name) {
    ShellItem* libraries = LibrariesItem();
    if (!libraries) return nullptr;
    Fill(*libraries);
    for (const auto& child : libraries->children)
        if (child->kind == ShellItemKind::Library && child->name == name) return child.get();
    return nullptr;
}

std::string ShellNamespace::SelectionRecord(const ShellItem& item) {
    if (item.kind == ShellItemKind::Computer) return kComputerRecord;
    if (item.kind == ShellItemKind::Libraries) return kLibrariesRecord;
    return item.path.string();
}

ShellNamespace::PathSearch ShellNamespace::SearchRecord(const std::string& record) {
    if (record == kComputerRecord) return {ComputerItem()};
    if (record == kLibrariesRecord) return {LibrariesItem()};
    const fs::path path(record);
    // Anything else that is not a path of ours (an older program's binary record) names nothing.
    if (!path.is_absolute()) return {};
    return SearchPath(path);
}

ShellItem* ShellNamespace::Restore(const std::string& record) {
    // A path that went names nothing, whatever the tree still holds of it.
    const bool named = record == kComputerRecord || record == kLibrariesRecord;
    if (!named && (!fs::path(record).is_absolute() || !FileExists(fs::path(record)))) return nullptr;
    for (;;) {
        const PathSearch step = SearchRecord(record);
        if (!step.toList) return step.found;
        Fill(*step.toList);
    }
}

bool ShellNamespace::Exists(const ShellItem& item) const {
    std::error_code ec;
    switch (item.kind) {
    case ShellItemKind::Desktop:
    case ShellItemKind::Folder:
        return item.path.empty() || fs::is_directory(item.path, ec);
    case ShellItemKind::Library:
        return fs::is_regular_file(item.path, ec);
    default:
        return true;
    }
}

bool ShellNamespace::CanRename(const ShellItem& item) const {
    if (item.kind == ShellItemKind::Library) return true;
    if (item.kind != ShellItemKind::Folder || !item.parent) return false;
    const ShellItemKind parent = item.parent->kind;
    if (parent != ShellItemKind::Folder && parent != ShellItemKind::Desktop && parent != ShellItemKind::Library) return false;
    return item.path != Normal(folders_.home) && item.path != item.path.root_path();
}

bool ShellNamespace::CanDelete(const ShellItem& item) const { return CanRename(item); }

ShellItem* ShellNamespace::ChildWithName(ShellItem& parent, const std::string& name) const {
    for (const auto& child : parent.children)
        if (child->name == name) return child.get();
    return nullptr;
}

ShellItem* ShellNamespace::Rename(ShellItem& item, const std::string& newName, std::string& error) {
    if (!CanRename(item)) {
        error = "This item cannot be renamed.";
        return nullptr;
    }
    if (!NameValid(newName)) {
        error = "A name cannot be empty, \".\", \"..\" or hold a \"/\".";
        return nullptr;
    }
    if (newName == item.name) return &item;
    ShellItem& parent = *item.parent;
    if (item.kind == ShellItemKind::Library) {
        const auto renamed = libraries_ ? libraries_->RenameLibrary(item.path, newName) : std::nullopt;
        if (!renamed) {
            error = "The library " + item.name + " cannot be renamed.";
            return nullptr;
        }
        Refresh(parent, false, false);
        return ChildWithName(parent, CWin7Library::DisplayName(*renamed));
    }
    const fs::path oldPath = item.path;
    const fs::path newPath = oldPath.parent_path() / newName;
    const IoResult renamed = RenameWithoutReplacing(oldPath, newPath);
    if (!renamed.ok()) {
        error = renamed.message;
        return nullptr;
    }
    if (parent.kind == ShellItemKind::Library && libraries_)
        (void)libraries_->ResolveFolderInLibrary(parent.path, oldPath, newPath);
    Refresh(parent, false, false);
    return ChildWithName(parent, newName);
}

ShellItem* ShellNamespace::Delete(ShellItem& item, std::string& error) {
    if (!CanDelete(item) || !item.parent) {
        error = "This item cannot be deleted.";
        return nullptr;
    }
    ShellItem& parent = *item.parent;
    const int row = item.IndexInParent();
    // The item to select afterwards: the next sibling, else the previous one, else the parent.
    const ShellItem* next = static_cast<size_t>(row + 1) < parent.children.size() ? parent.children[row + 1].get() : nullptr;
    const ShellItem* previous = row > 0 ? parent.children[row - 1].get() : nullptr;
    const ShellItemKind kind = item.kind;
    const fs::path path = item.path;

    if (kind == ShellItemKind::Library) {
        if (!libraries_ || !libraries_->DeleteLibrary(path, false)) {
            error = "The library " + item.name + " cannot be moved to the Trash.";
            return nullptr;
        }
    } else if (parent.kind == ShellItemKind::Library) {
        // The folder only leaves the library; it stays on the disk.
        if (!libraries_ || !libraries_->RemoveFolderFromLibrary(parent.path, path)) {
            error = "The folder cannot be removed from the library " + parent.name + ".";
            return nullptr;
        }
    } else {
        const TrashOutcome trashed = trash_.MoveToTrash(path);
        if (!trashed.result.ok()) {
            error = trashed.result.message;
            return nullptr;
        }
    }
    // The siblings stay items of the parent through the refresh (only the deleted one goes).
    const std::string nextName = next ? next->name : std::string();
    const std::string previousName = previous ? previous->name : std::string();
    Refresh(parent, false, false);
    if (ShellItem* found = next ? ChildWithName(parent, nextName) : nullptr) return found;
    if (parent.kind == ShellItemKind::Library)
        if (ShellItem* found = previous ? ChildWithName(parent, previousName) : nullptr) return found;
    return &parent;
}

ShellItem* ShellNamespace::NewLibrary(const std::string& name, const std::vector<fs::path>& folders) {
    if (!libraries_ || !NameValid(name)) return nullptr;
    const auto file = libraries_->CreateLibrary(name, folders);
    ShellItem* libraries = LibrariesItem();
    if (!file || !libraries) return nullptr;
    Refresh(*libraries, false, false);
    return ChildWithName(*libraries, CWin7Library::DisplayName(*file));
}

bool ShellNamespace::IncludeInLibrary(const ShellItem& library, const fs::path& folder) {
    if (!libraries_ || library.kind != ShellItemKind::Library || !libraries_->AddFolderToLibrary(library.path, folder))
        return false;
    RefreshLibraries();
    return true;
}

void ShellNamespace::RefreshLibraries() {
    ShellItem* libraries = LibrariesItem();
    if (!libraries || !libraries_) return;
    if (!libraries->filled) {
        libraries->mayHaveChildren = libraries_->LibrariesPresent();
        return;
    }
    Refresh(*libraries, true, false);
    for (const auto& library : libraries->children) {
        if (library->filled) Refresh(*library, true, true);
        else library->mayHaveChildren = libraries_->GetFolderCount(library->path) > 0;
    }
}

}  // namespace kv
