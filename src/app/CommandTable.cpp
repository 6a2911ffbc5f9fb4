#include "app/CommandTable.h"

#include <array>
#include <string>

#include "app/CommandIds.h"

namespace kv {

namespace {

using namespace CommandIds;
constexpr MenuEntry kSeparator{0, {}, {}, CommandKind::Separator};

// clang-format off
constexpr std::array kFileMenu{
    MenuEntry{ID_FILE_OPEN, "&Open...\tCtrl+O", "Ctrl+O", CommandKind::Plain, "Opens a photo"},
    MenuEntry{ID_FILE_SAVE, "Resize and &Save...\tCtrl+S", "Ctrl+S", CommandKind::Plain, "Resizes the photo with the current settings and saves the result"},
    kSeparator,
    MenuEntry{ID_IMAGE_INFO, "Image &Info...", {}, CommandKind::Plain, "Shows the photo's size, colours and camera details"},
    kSeparator,
    MenuEntry{ID_SAVE_SETTINGS, "Save se&ttings...", {}, CommandKind::Plain, "Saves the current size settings under a name"},
    MenuEntry{ID_LOAD_SETTINGS, "&Load settings...", {}, CommandKind::Plain, "Loads size settings saved under a name"},
    kSeparator,
    MenuEntry{0, {}, {}, CommandKind::RecentFiles},
    kSeparator,
    MenuEntry{ID_APP_EXIT, "E&xit\tCtrl+Q", "Ctrl+Q", CommandKind::Plain, "Quits the program"},
};
constexpr std::array kViewMenu{
    MenuEntry{ID_VIEW_TOOLBAR, "&Toolbar", {}, CommandKind::Checkable, "Shows or hides the toolbar"},
    MenuEntry{ID_VIEW_STATUS_BAR, "&Status Bar", {}, CommandKind::Checkable, "Shows or hides the status bar"},
    MenuEntry{ID_VIEW_RESIZEBAR, "&Resize Settings", {}, CommandKind::Checkable, "Shows or hides the resize settings"},
    kSeparator,
    MenuEntry{ID_VIEW_PREVIOUS, "&Previous\tAlt+Left", "Alt+Left", CommandKind::Plain, "Opens the previous photo of the folder"},
    MenuEntry{ID_VIEW_NEXT, "&Next\tAlt+Right", "Alt+Right", CommandKind::Plain, "Opens the next photo of the folder"},
};
constexpr std::array kBatchMenu{
    MenuEntry{ID_BATCH_MODE, "&Batch Mode", {}, CommandKind::Checkable, "Switches batch mode on or off"},
    MenuEntry{ID_BROWSE, "&Browse", {}, CommandKind::Checkable, "Browses folders for photos to add to the batch list"},
    kSeparator,
    MenuEntry{ID_BATCH_RUN, "&Run\tEnter", "Enter", CommandKind::Plain, "Resizes every photo of the batch list"},
    MenuEntry{ID_BATCH_LOAD, "&Load...", {}, CommandKind::Plain, "Loads a batch list saved under a name"},
    MenuEntry{ID_BATCH_SAVE, "&Save...", {}, CommandKind::Plain, "Saves the batch list under a name"},
    kSeparator,
    MenuEntry{ID_LARGE_ICONS, "&Large Icons", {}, CommandKind::Checkable, "Shows large thumbnails"},
    MenuEntry{ID_SMALL_ICONS, "&Small Icons", {}, CommandKind::Checkable, "Shows small thumbnails"},
};
constexpr std::array kHelpMenu{
    MenuEntry{ID_HELP_FINDER, "&Help Topics\tF1", "F1", CommandKind::Plain, "Opens the manual"},
    MenuEntry{ID_CONTEXT_HELP, "What's &This?\tShift+F1", "Shift+F1", CommandKind::Plain, "Click a control to see what it does"},
    kSeparator,
    MenuEntry{ID_HOME_PAGE, "KARVO Imaging Home Page", {}, CommandKind::Plain, "Opens the maker's web site"},
    MenuEntry{ID_CHECK_UPDATE, "&Check For Update", {}, CommandKind::Plain, "Asks whether a newer version exists"},
    kSeparator,
    MenuEntry{ID_APP_ABOUT, "&About...", {}, CommandKind::Plain, "Shows the program's version"},
};
constexpr std::array kMenus{
    Menu{"&File", kFileMenu},
    Menu{"&View", kViewMenu},
    Menu{"&Batch", kBatchMenu},
    Menu{"&Help", kHelpMenu},
};

// The toolbar's text list, in the order the sets take their texts from it.
constexpr std::array kSingleButtons{
    ToolbarButton{ID_FILE_OPEN, "Open"}, ToolbarButton{ID_FILE_SAVE, "Save"}, ToolbarButton{},
    ToolbarButton{ID_BATCH_MODE, "Batch Mode"}, ToolbarButton{},
    ToolbarButton{ID_VIEW_PREVIOUS, "Previous"}, ToolbarButton{ID_VIEW_NEXT, "Next"},
};
constexpr std::array kBatchButtons{
    ToolbarButton{ID_FILE_OPEN, "Open"}, ToolbarButton{ID_BROWSE, "Browse"}, ToolbarButton{},
    ToolbarButton{ID_BATCH_MODE, "Batch Mode"}, ToolbarButton{},
    ToolbarButton{ID_BATCH_REMOVE, "Remove"}, ToolbarButton{},
    ToolbarButton{ID_BATCH_RUN, "Run "}, ToolbarButton{},
    ToolbarButton{ID_VIEW_PREVIOUS, "Previous"}, ToolbarButton{ID_VIEW_NEXT, "Next"}, ToolbarButton{},
    ToolbarButton{ID_VIEW_ICONS, "View"},
};
constexpr std::array kBrowseButtons{
    ToolbarButton{ID_BROWSE_DONE, "Done"}, ToolbarButton{},
    ToolbarButton{ID_BATCH_REMOVE, "Remove"}, ToolbarButton{},
    ToolbarButton{ID_VIEW_ICONS, "View"},
};
// clang-format on

}  // namespace

std::span<const Menu> MainMenu() { return kMenus; }

std::span<const ToolbarButton> ToolbarButtons(ToolbarSet set) {
    switch (set) {
        case ToolbarSet::Single: return kSingleButtons;
        case ToolbarSet::Batch: return kBatchButtons;
        case ToolbarSet::Browse: return kBrowseButtons;
    }
    return {};
}

std::string_view MenuTextOf(std::string_view text) { return text.substr(0, text.find('\t')); }

std::string AccessibleText(std::string_view text) {
    text = MenuTextOf(text);
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        // "&&" stands for one ampersand; a single one marks the mnemonic.
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') plain += text[++i];
            continue;
        }
        plain += text[i];
    }
    while (!plain.empty() && (plain.back() == ':' || plain.back() == ' ')) plain.pop_back();
    // "Open..." is announced as "Open".
    while (plain.size() > 3 && plain.ends_with("...")) plain.resize(plain.size() - 3);
    return plain;
}

const MenuEntry* FindMenuEntry(int id) {
    if (id == 0) return nullptr;
    for (const Menu& menu : kMenus)
        for (const MenuEntry& entry : menu.entries)
            if (entry.id == id) return &entry;
    return nullptr;
}

}  // namespace kv
