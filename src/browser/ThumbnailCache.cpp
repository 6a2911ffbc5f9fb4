#include "browser/ThumbnailCache.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <new>
#include <set>

#include "base/AtomicFile.h"
#include "base/FileStatus.h"
#include "imageio/Archive.h"
#include "platform/SpecialFolders.h"

namespace kv {

namespace {

constexpr const char* kCacheFolderName = "KVIMGBRW_SMRES";
constexpr const char* kLegacyFileName = "KVIMGBRW_SMRMB";
// Far above any real cache file (a few hundred bytes to some kilobytes a cell); a larger file is
// refused rather than read into memory.
constexpr uint64_t kMaxCellFileBytes = uint64_t{1} << 30;
constexpr uint64_t kMaxIndexFileBytes = uint64_t{64} << 20;

bool EnsureCacheFolder(const std::filesystem::path& cacheFolder) {
    return EnsurePrivateFolder(cacheFolder.parent_path()) && EnsurePrivateFolder(cacheFolder);
}

bool IsFolder(const std::filesystem::path& path) {
    const auto status = GetFileStatus(path);
    return status && status->isDirectory;
}

// Reads a cell file whole; false on any failure, leaving cells as they were.
bool ReadCells(const std::string& file, CellMap& cells) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(file, bytes, kMaxCellFileBytes).ok()) return false;
    CellMap loaded;
    try {
        ReadCellFile(bytes, loaded);
    } catch (const ArchiveError&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    cells.merge(loaded);
    return true;
}

// Reads a folder's cache file; an empty one is a name reserved for cells not yet written and holds
// none. False when the file is gone or cannot be read.
bool ReadFolderCells(const std::string& file, CellMap& cells) {
    const auto status = GetFileStatus(file);
    return status && (status->size == 0 || ReadCells(file, cells));
}

uint64_t FileSize(const std::string& file) {
    const auto status = GetFileStatus(file);
    return status ? status->size : 0;
}

}  // namespace

CMapStringToObPlus::CMapStringToObPlus(std::filesystem::path temporaryFolder)
    : cacheFolder_(std::move(temporaryFolder) / kCacheFolderName) {
    EnsureCacheFolder(cacheFolder_);
}

std::filesystem::path CMapStringToObPlus::LegacyFile(const std::filesystem::path& temporaryFolder) {
    return temporaryFolder / kLegacyFileName;
}

bool CMapStringToObPlus::Lookup(const std::string& path, Cell& item) {
    const auto guard = Lock();
    if (const auto found = cells_.find(path); found != cells_.end()) {
        item = found->second;
        return true;
    }
    if (!MergeFolderFile(FolderOf(path))) return false;
    const auto found = cells_.find(path);
    if (found == cells_.end()) return false;
    item = found->second;
    return true;
}

void CMapStringToObPlus::ReadFolderFile(const std::filesystem::path& folder) {
    const auto guard = Lock();
    (void)MergeFolderFile(FolderOf((folder / "").native()));
}

bool CMapStringToObPlus::MergeFolderFile(const std::string& folder) {
    const auto entry = index_.find(folder);
    if (entry == index_.end() || entry->second.empty()) {
        mergedFile_.clear();
        return false;
    }
    const std::string& file = entry->second;
    if (file == mergedFile_) return true;
    CellMap loaded;
    if (!ReadFolderCells(file, loaded)) {
        mergedFile_.clear();
        return false;
    }
    MergeCells(std::move(loaded), [](const std::string& path) { return FileExists(path); });
    mergedFile_ = file;
    return true;
}

void CMapStringToObPlus::MergeCells(CellMap loaded, const std::function<bool(const std::string&)>& imageExists) {
    for (auto& [path, cell] : loaded)
        if (!cells_.contains(path) && imageExists(path)) cells_.emplace(path, std::move(cell));
}

std::string CMapStringToObPlus::FileToRead(const std::string& folder) const {
    const auto entry = index_.find(folder);
    if (entry == index_.end() || entry->second == mergedFile_) return {};
    return entry->second;
}

bool CMapStringToObPlus::HasFolderFileToRead(const std::filesystem::path& folder) const {
    const auto guard = Lock();
    return !FileToRead(FolderOf((folder / "").native())).empty();
}

CMapStringToObPlus::FolderCells CMapStringToObPlus::ReadFolderFileAside(const std::filesystem::path& folder) const {
    FolderCells read;
    read.folder = FolderOf((folder / "").native());
    {
        const auto guard = Lock();
        read.file = FileToRead(read.folder);
        read.writes = fileWrites_;
    }
    if (!read.file.empty()) read.read = ReadFolderCells(read.file, read.cells);
    return read;
}

void CMapStringToObPlus::MergeFolderCells(FolderCells read, const std::function<bool(const std::string&)>& imageExists) {
    if (read.file.empty()) return;
    const auto guard = Lock();
    const auto entry = index_.find(read.folder);
    if (entry == index_.end() || entry->second != read.file) return;  // forgotten or replaced meanwhile
    if (read.file == mergedFile_) return;
    if (!read.read || read.writes != fileWrites_) {
        // Unreadable, or an eviction or save may have written newer cells into it since.
        (void)MergeFolderFile(read.folder);
        return;
    }
    MergeCells(std::move(read.cells), imageExists);
    mergedFile_ = read.file;
}

void CMapStringToObPlus::Store(const std::string& path, Cell item) {
    const auto guard = Lock();
    const std::string folder = FolderOf(path);
    Evict(folder);
    cells_.insert_or_assign(path, std::move(item));
    CacheFileFor(folder);
}

CMapStringToObPlus::Cell CMapStringToObPlus::RemoveKey(const std::string& path) {
    const auto guard = Lock();
    auto node = cells_.extract(path);
    return node ? std::move(node.mapped()) : nullptr;
}

void CMapStringToObPlus::RemoveAll() {
    const auto guard = Lock();
    cells_.clear();
    mergedFile_.clear();
}

size_t CMapStringToObPlus::GetCount() const {
    const auto guard = Lock();
    return cells_.size();
}

std::vector<std::pair<std::string, CMapStringToObPlus::Cell>> CMapStringToObPlus::Entries() const {
    const auto guard = Lock();
    return {cells_.begin(), cells_.end()};
}

std::string CMapStringToObPlus::CacheFileOf(const std::string& folder) const {
    const auto guard = Lock();
    const auto entry = index_.find(folder);
    return entry == index_.end() ? std::string() : entry->second;
}

std::string CMapStringToObPlus::CacheFileFor(const std::string& folder) {
    const auto entry = index_.find(folder);
    if (entry != index_.end() && !entry->second.empty()) return entry->second;
    return AllocateCacheFile(folder);
}

std::string CMapStringToObPlus::AllocateCacheFile(const std::string& folder) {
    // A name another folder already holds is skipped even when its file has gone missing, so two
    // folders never share a file.
    std::set<std::string> taken;
    for (const auto& [_, file] : index_) taken.insert(file);
    std::string file;
    for (unsigned n = 1; n != 0; ++n) {
        file = (cacheFolder_ / CacheFileName(n)).string();
        if (taken.contains(file) || FileExists(file)) continue;
        // The empty file reserves the name; O_EXCL keeps a name another process took just now.
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd >= 0) ::close(fd);
        break;
    }
    index_[folder] = file;
    return file;
}

void CMapStringToObPlus::MergeFileInto(const std::string& file, CellMap& group, bool dropMissingImages) {
    if (FileSize(file) == 0) return;
    CellMap loaded;
    if (!ReadCells(file, loaded)) return;
    for (auto& [path, cell] : loaded) {
        if (group.contains(path) || (dropMissingImages && !FileExists(path))) continue;
        group.emplace(path, std::move(cell));
    }
}

void CMapStringToObPlus::WriteGroup(const std::string& file, const CellMap& group) {
    ++fileWrites_;
    (void)WriteFileAtomically(file, WriteCellFile(group));
}

void CMapStringToObPlus::Evict(const std::string& currentFolder) {
    if (cells_.size() < kEvictAt) return;
    size_t remaining = cells_.size();
    std::vector<std::pair<std::string, CellMap>> groups;  // in the order the folders were started
    std::map<std::string, size_t> groupOf;
    for (auto it = cells_.begin(); it != cells_.end();) {
        const std::string folder = FolderOf(it->first);
        if (folder == currentFolder) {
            ++it;
            continue;
        }
        auto group = groupOf.find(folder);
        if (group == groupOf.end()) {
            // Only the start of a new folder is limited: a started folder goes to disk whole.
            if (remaining < kEvictKeep) {
                ++it;
                continue;
            }
            group = groupOf.emplace(folder, groups.size()).first;
            groups.emplace_back(folder, CellMap());
        }
        auto node = cells_.extract(it++);
        groups[group->second].second.insert(std::move(node));
        --remaining;
    }
    for (auto& [folder, group] : groups) {
        const std::string file = CacheFileFor(folder);
        MergeFileInto(file, group, false);
        WriteGroup(file, group);
        // The folder's cells are on disk again, so its next lookup must read the file again.
        if (file == mergedFile_) mergedFile_.clear();
    }
}

void CMapStringToObPlus::SaveAll() {
    const auto guard = Lock();
    if (!EnsureCacheFolder(cacheFolder_)) return;

    std::map<std::string, CellMap> groups;
    for (const auto& [path, cell] : cells_)
        if (FileExists(path)) groups[FolderOf(path)].emplace(path, cell);
    for (auto& [folder, group] : groups) {
        const std::string file = CacheFileFor(folder);
        MergeFileInto(file, group, true);
        WriteGroup(file, group);
    }

    FolderIndex kept;
    for (auto& [folder, file] : index_) {
        const std::string directory = folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
        if (!directory.empty() && IsFolder(directory)) {
            kept.emplace(folder, std::move(file));
        } else {
            ++fileWrites_;
            ::unlink(file.c_str());
            if (file == mergedFile_) mergedFile_.clear();
        }
    }
    index_ = std::move(kept);
    (void)WriteFileAtomically(IndexFile(), WriteFolderIndexFile(index_));
}

bool CMapStringToObPlus::LoadIndex(const std::filesystem::path& legacyFile) {
    const auto guard = Lock();
    std::vector<uint8_t> bytes;
    if (IsFolder(cacheFolder_)) {
        if (!ReadWholeFile(IndexFile(), bytes, kMaxIndexFileBytes).ok()) return false;
        try {
            index_ = ReadFolderIndexFile(bytes, cacheFolder_);
        } catch (const ArchiveError&) {
            return false;
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }
    // An older program kept everything in one file; it is read once, and from then on the cache
    // folder exists and takes over.
    if (!ReadWholeFile(legacyFile, bytes, kMaxCellFileBytes).ok()) return false;
    try {
        ReadCellFile(bytes, cells_);
    } catch (const ArchiveError&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    EnsureCacheFolder(cacheFolder_);
    return true;
}

CMapStringToObPlus& ThumbnailCache() {
    static CMapStringToObPlus cache(SpecialFolders::FromSystem().CacheFolder());
    return cache;
}

}  // namespace kv
