#pragma once

#include <span>
#include <string_view>

// The menus and the toolbar as data: which command stands where, with its text and accelerator.
// The window makes one action per command and lays the menus and button sets out from these tables.
namespace kv {

enum class CommandKind { Plain, Checkable, Separator, RecentFiles };

struct MenuEntry {
    int id = 0;  // 0 for a separator or the recent files
    std::string_view text;         // with its mnemonic; a tab stands before a shown accelerator
    std::string_view accelerator;  // a key sequence in portable form ("Ctrl+O"), or empty
    CommandKind kind = CommandKind::Plain;
    std::string_view prompt;       // what the status bar says while the entry is highlighted
};

struct Menu {
    std::string_view title;
    std::span<const MenuEntry> entries;
};

// The main menu, left to right.
std::span<const Menu> MainMenu();

// The toolbar's three button sets; a 0 is a separator.
enum class ToolbarSet { Single, Batch, Browse };
struct ToolbarButton {
    int id = 0;
    std::string_view text;
};
std::span<const ToolbarButton> ToolbarButtons(ToolbarSet set);

// A command's menu text without the accelerator part, and without its mnemonic: what a screen
// reader announces.
std::string_view MenuTextOf(std::string_view text);
std::string AccessibleText(std::string_view text);

// The entry of a command in the main menu, or null.
const MenuEntry* FindMenuEntry(int id);

}  // namespace kv
