#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "browser/PaletteItem.h"

// The files of the thumbnail cache: one file of cells per image folder and the index that names
// each folder's file. Both are archives; reading them throws ArchiveError on any damage.
namespace kv {

// Full image path -> cell.
using CellMap = std::map<std::string, std::shared_ptr<CPaletteItemImg>>;
// Image folder (ending in '/') -> full path of its cache file.
using FolderIndex = std::map<std::string, std::string>;

// A folder's cache file: the count, then each path with its cell as an archived object.
std::vector<uint8_t> WriteCellFile(const CellMap& cells);
// Adds the cells of a cache file to cells as they are read (a later entry for the same path
// replaces an earlier one) and throws ArchiveError at the first damage, keeping what came before.
void ReadCellFile(std::span<const uint8_t> bytes, CellMap& cells);

// The index file: a string-to-string map.
std::vector<uint8_t> WriteFolderIndexFile(const FolderIndex& index);
// The index, keeping only entries that the store itself could have written: an absolute folder
// ending in '/' and a cache file named "FLD<n>.tmp", which is taken from cacheFolder whatever
// folder the file named, so that a damaged or planted index can never make the store read, write
// or delete a file outside its own folder. A file named by two folders stays with the first.
FolderIndex ReadFolderIndexFile(std::span<const uint8_t> bytes, const std::filesystem::path& cacheFolder);

// "FLD<n>.tmp", the name of the n-th cache file.
std::string CacheFileName(unsigned n);
// n for a name of that form (no sign, no leading zero), else nothing.
std::optional<unsigned> CacheFileNumber(std::string_view name);

// The folder of a path: everything up to and including its last '/', or empty without one.
std::string FolderOf(std::string_view path);

}  // namespace kv
