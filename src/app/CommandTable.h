#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/CommandIds.h"

// The program's menus and toolbar as data, for the window to build its actions from: which command
// stands where, with its text, key, kind and the status bar's prompt.
namespace kv {

// The menus of the menu bar, and the popup behind the toolbar's "View" button. None: a command
// that no menu of the bar lists (the toolbar's own buttons, the browsers' context menus, the
// progress commands that worker threads post).
enum class Menu : uint8_t { None, File, View, Batch, Help, IconsPopup };

// Plain runs a command; Checkable shows a check mark from the command's state; RecentFiles marks
// where a menu lists the recent files, from its id on, one command each.
enum class CommandKind : uint8_t { Plain, Checkable, RecentFiles };

// One row of the table: a command with its text (its & marks the mnemonic) and the key that runs
// it, or a separator (id 0) in a menu.
struct CommandEntry {
    int id;
    Menu menu;
    std::string_view text;
    std::string_view accelerator;  // "Ctrl+O", "Enter", "Alt+Left", "F1"; empty for none
    CommandKind kind = CommandKind::Plain;
    std::string_view prompt;  // what the status bar says while the entry is highlighted
};

// Every row, menus in the order of the menu bar and each menu's entries in their order.
std::span<const CommandEntry> CommandTable();
// The row of a command; null for an id that has none (or for 0).
const CommandEntry* FindCommand(int id);
// The menus of the menu bar, left to right.
std::span<const Menu> MenuBar();
// A menu's title ("&File"); empty for None.
std::string_view MenuTitle(Menu menu);
// The rows of one menu in order, its separators included.
std::vector<CommandEntry> MenuEntries(Menu menu);
// The text as a menu shows it: with the accelerator after a tab ("&Run\tEnter").
std::string MenuText(const CommandEntry& entry);
// What a screen reader announces for a menu text or a control's label: without the mnemonic, the
// accelerator, a closing colon and an ellipsis ("Resize and &Save...\tCtrl+S" is "Resize and Save").
std::string AccessibleText(std::string_view text);

// The toolbar's three button sets: single mode, batch mode, and batch mode with the browse window.
enum class ToolbarSet : uint8_t { Single, Batch, Browse };

// A button with the text beside its picture; id 0 is a separator.
struct ToolbarButton {
    int id;
    std::string_view text;
};
std::span<const ToolbarButton> ToolbarButtons(ToolbarSet set);
// The text a command's toolbar button shows; empty for a command without a button.
std::string_view ButtonText(int id);

}  // namespace kv
