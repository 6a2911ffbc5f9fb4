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
    MenuEntry{ID_FILE_OPEN, "&Open...\tCtrl+O", "Ctrl+O"},
    MenuEntry{ID_FILE_SAVE, "Resize and &Save...\tCtrl+S", "Ctrl+S"},
    kSeparator,
    MenuEntry{ID_IMAGE_INFO, "Image &Info...", {}},
    kSeparator,
    MenuEntry{ID_SAVE_SETTINGS, "Save se&ttings...", {}},
    MenuEntry{ID_LOAD_SETTINGS, "&Load settings...", {}},
    kSeparator,
    MenuEntry{0, {}, {}, CommandKind::RecentFiles},
    kSeparator,
    MenuEntry{ID_APP_EXIT, "E&xit\tCtrl+Q", "Ctrl+Q"},
};
constexpr std::array kViewMenu{
    MenuEntry{ID_VIEW_TOOLBAR, "&Toolbar", {}, CommandKind::Checkable},
    MenuEntry{ID_VIEW_STATUS_BAR, "&Status Bar", {}, CommandKind::Checkable},
    MenuEntry{ID_VIEW_RESIZEBAR, "&Resize Settings", {}, CommandKind::Checkable},
    kSeparator,
    MenuEntry{ID_VIEW_PREVIOUS, "&Previous\tAlt+Left", "Alt+Left"},
    MenuEntry{ID_VIEW_NEXT, "&Next\tAlt+Right", "Alt+Right"},
};
constexpr std::array kBatchMenu{
    MenuEntry{ID_BATCH_MODE, "&Batch Mode", {}, CommandKind::Checkable},
    MenuEntry{ID_BROWSE, "&Browse", {}, CommandKind::Checkable},
    kSeparator,
    MenuEntry{ID_BATCH_RUN, "&Run\tEnter", "Enter"},
    MenuEntry{ID_BATCH_LOAD, "&Load...", {}},
    MenuEntry{ID_BATCH_SAVE, "&Save...", {}},
    kSeparator,
    MenuEntry{ID_LARGE_ICONS, "&Large Icons", {}, CommandKind::Checkable},
    MenuEntry{ID_SMALL_ICONS, "&Small Icons", {}, CommandKind::Checkable},
};
constexpr std::array kHelpMenu{
    MenuEntry{ID_HELP_FINDER, "&Help Topics\tF1", "F1"},
    MenuEntry{ID_CONTEXT_HELP, "What's &This?\tShift+F1", "Shift+F1"},
    kSeparator,
    MenuEntry{ID_HOME_PAGE, "KARVO Imaging Home Page", {}},
    MenuEntry{ID_CHECK_UPDATE, "&Check For Update", {}},
    kSeparator,
    MenuEntry{ID_APP_ABOUT, "&About...", {}},
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
