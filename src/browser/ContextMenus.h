#pragma once

#include <string>
#include <vector>

// The browsers' context menus as data: which entries, in which order, with which texts and states.
namespace kv {

// Where the right press fell: on empty space, on an item with it the only one selected, or on an
// item of a larger selection.
enum class ContextMenuKind { EmptySpace, OneItem, SeveralItems };

// One entry; id 0 is a separator, and an entry with a submenu runs no command itself.
struct ContextMenuEntry {
    int id = 0;
    std::string text;  // '&' marks the mnemonic
    bool enabled = true;
    bool checked = false;
    bool checkable = false;
    std::vector<ContextMenuEntry> submenu;

    bool operator==(const ContextMenuEntry&) const = default;
};

struct ContextMenu {
    ContextMenuKind kind = ContextMenuKind::EmptySpace;
    std::vector<ContextMenuEntry> entries;
};

// The text of the submenu that holds the sort orders.
inline constexpr const char* kSortBySubmenu = "Sort &By";

// A command's entry with the text of the command table (or the one given).
ContextMenuEntry CommandEntryOf(int id, const char* text = nullptr);
ContextMenuEntry Separator();

}  // namespace kv
