#pragma once

#include <optional>
#include <string>

#include "batch/CItemList.h"

namespace kv {

class CPaletteItem;

// What a browser shows in the frame's status bar.
struct BrowserStatus {
    // "Total 12 files" (every file, or the selected ones when several are), or the one selected
    // file's name.
    std::string files;
    // The one selected file's last-write date and time; empty otherwise.
    std::string date;
    // The size of those files, "%.2fKB", "%.2fMB" or "%.2fGB".
    std::string size;
    // The one selected file's image: "4032x3024, 24 bits", when its cell is cached.
    std::string image;

    bool operator==(const BrowserStatus&) const = default;
};

// A byte count as the browsers show it: "12.34KB", "1.50MB", "2.00GB".
std::string FormatBrowserSize(double bytes);

// The status of a list: the cell is the one selected item's cached cell, if any. Items whose
// details are needed and not yet read are read here.
BrowserStatus MakeBrowserStatus(CItemList& items, const CPaletteItem* selectedCell);

// "File: %s\nSize: %dx%d\nFile size: %s" for an item with a cached cell whose file exists; empty
// otherwise.
std::string ThumbTooltip(CItem& item, const CPaletteItem* cell);

// The last-write time as the desktop's locale writes a short date and time.
std::string FormatFileTime(int64_t secondsSince1970);

}  // namespace kv
