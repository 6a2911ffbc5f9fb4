#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "browser/PaletteItem.h"
#include "browser/ThumbnailCacheFiles.h"

namespace kv {

// The thumbnail cache: every cell the browsers have built, keyed by the image's full path, kept
// on disk between runs as one cache file per image folder plus an index of those files. A folder's
// file is merged into memory the first time one of its paths is looked up; whole folders go back
// to disk when the cache grows large, and everything is written when the last browser closes.
//
// One instance serves the program (ThumbnailCache()); tests make their own. Every call takes the
// cache lock; a caller that needs several calls to see one state (the painting browser, a
// builder replacing a stale cell) holds Lock() around them.
class CMapStringToObPlus {
public:
    using Cell = std::shared_ptr<CPaletteItemImg>;

    // Eviction starts at this many cells and starts no further folder once fewer than
    // kEvictKeep would remain.
    static constexpr size_t kEvictAt = 3000;
    static constexpr size_t kEvictKeep = 2000;

    // temporaryFolder: the user's private scratch folder; the cache lives in its subfolder
    // "KVIMGBRW_SMRES", created here (mode 0700) when it is missing.
    explicit CMapStringToObPlus(std::filesystem::path temporaryFolder);
    CMapStringToObPlus(const CMapStringToObPlus&) = delete;
    CMapStringToObPlus& operator=(const CMapStringToObPlus&) = delete;

    // The single file an older program kept the whole cache in, inside temporaryFolder.
    static std::filesystem::path LegacyFile(const std::filesystem::path& temporaryFolder);

    [[nodiscard]] std::unique_lock<std::recursive_mutex> Lock() const { return std::unique_lock(lock_); }

    // The cell of a path. A miss in memory merges the cache file of the path's folder (once per
    // file; cells whose image is gone or whose path is already in memory are dropped). A damaged
    // file is a miss and is rewritten at the folder's next eviction or save.
    bool Lookup(const std::string& path, Cell& item);
    // Merges the cache file of a folder as the first lookup of one of its paths would.
    void ReadFolderFile(const std::filesystem::path& folder);

    // A folder's cache file read without holding the lock, for a browser that lists the folder
    // meanwhile and so knows which images still exist when it merges the cells.
    struct FolderCells {
        std::string folder;  // with its last slash
        std::string file;  // empty: nothing to merge
        uint64_t writes = 0;  // the cache's file writes when it was read
        bool read = false;
        CellMap cells;
    };
    // Whether the folder has a cache file that is not in memory.
    bool HasFolderFileToRead(const std::filesystem::path& folder) const;
    // Reads the folder's cache file unless it is the one in memory or the folder has none.
    FolderCells ReadFolderFileAside(const std::filesystem::path& folder) const;
    // Merges cells read aside as a lookup would, asking imageExists instead of the file system.
    // When a cache file was written since they were read, the folder's file is read again.
    void MergeFolderCells(FolderCells read, const std::function<bool(const std::string&)>& imageExists);
    // Enters a cell (replacing any other under the path) after evicting other folders when the
    // cache is full, and reserves a cache file for the path's folder.
    void Store(const std::string& path, Cell item);
    // Removes a path and hands back its cell, or null.
    Cell RemoveKey(const std::string& path);
    void RemoveAll();
    size_t GetCount() const;
    // A copy of the entries in path order.
    std::vector<std::pair<std::string, Cell>> Entries() const;

    // Reads the folder index. When the cache folder does not exist yet, reads the older single
    // file into memory instead and then creates the folder. False when nothing could be read;
    // whatever was read before a failure is kept.
    bool LoadIndex(const std::filesystem::path& legacyFile);
    // Writes every folder's cells whose images still exist into its cache file (merged with what
    // the file holds), deletes the files of folders that no longer exist and writes the index.
    // Failures of single files are ignored. The cells stay in memory.
    void SaveAll();

    const std::filesystem::path& CacheFolder() const { return cacheFolder_; }
    std::filesystem::path IndexFile() const { return cacheFolder_ / "KVIMGBRWS.IND"; }
    // The cache file recorded for a folder, or empty.
    std::string CacheFileOf(const std::string& folder) const;

private:
    void Evict(const std::string& currentFolder);
    // Merges the folder's cache file unless it was the one merged last. False when the folder has
    // no cache file or it cannot be read.
    bool MergeFolderFile(const std::string& folder);
    // The folder's cache file unless it is the one merged last; empty when there is none to read.
    // The caller holds the lock.
    std::string FileToRead(const std::string& folder) const;
    // Enters the cells of a folder's file whose paths are not in memory and whose images exist.
    void MergeCells(CellMap loaded, const std::function<bool(const std::string&)>& imageExists);
    // The folder's cache file, allocating the first free "FLD<n>.tmp" when it has none.
    std::string CacheFileFor(const std::string& folder);
    std::string AllocateCacheFile(const std::string& folder);
    // Merges the cells of a non-empty file into a group about to be written; failures leave the
    // group as it is.
    void MergeFileInto(const std::string& file, CellMap& group, bool dropMissingImages);
    void WriteGroup(const std::string& file, const CellMap& group);

    mutable std::recursive_mutex lock_;
    std::filesystem::path cacheFolder_;
    CellMap cells_;
    FolderIndex index_;
    std::string mergedFile_;  // the file most recently merged by a lookup
    uint64_t fileWrites_ = 0;  // cache files written or deleted so far
};

// The program's cache, in the user's cache folder.
CMapStringToObPlus& ThumbnailCache();

}  // namespace kv
