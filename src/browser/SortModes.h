#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "base/FileStatus.h"
#include "base/Geometry.h"
#include "batch/CItemList.h"

namespace kv {

// The orders a browser lists its files in, numbered as the sort mode of the profile stores them.
// Every order is ascending; names compare without regard to case.
enum class SortMode : int32_t {
    Name = 0,        // file name with its extension
    Created = 1,     // then the full path
    Modified = 2,    // then the full path
    NameAgain = 3,   // as Name
    Extension = 4,   // then the full path
    Dimensions = 5,  // width x 65536 + height of the cached cell (0 without one)
    Width = 6,       // image width of the cached cell (0 without one)
    Height = 7,      // image height of the cached cell (0 without one)
    FileSize = 8,    // then the full path
    NameTail = 9,    // the name without its extension and its first four characters, then the full path
};

// A stored mode; values the program does not know sort by name.
SortMode SortModeOf(int32_t value);
// The mode a sort command asks for ("&Name", "&Date", ...), or nothing for another command.
std::optional<SortMode> SortModeOfCommand(int id);
// Whether Refresh sorts again in this mode; by image size it keeps the order the folder gave.
bool SortsOnRefresh(SortMode mode);

// The initial mode of every browser: the whole number "SORT" in the section "BROWSER" of the
// desktop-wide profile (read only, never written); 0 when missing or not a number.
SortMode ReadSortMode(const std::filesystem::path& winIni);

// The image size a cached cell knows for a path, or nothing without a cell.
using CellSizeLookup = std::function<std::optional<PixelSize>(const std::filesystem::path&)>;

// Reads an item's file size and times once; a file that has gone keeps zeros.
void LoadDetails(CItem& item);
// Takes an item's file size and times from what a folder listing learnt of its file.
void SetDetails(CItem& item, const FileStatus& status);

// Puts the items in the mode's order. The modes by date and by file size first load the details
// of the items that have none. Items that compare equal keep their order.
void SortItems(CItemList& items, SortMode mode, const CellSizeLookup& cellSize);

}  // namespace kv
