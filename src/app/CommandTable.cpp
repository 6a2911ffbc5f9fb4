#include "app/CommandTable.h"

namespace kv {

namespace {

using namespace CommandId;

// clang-format off
constexpr CommandEntry kCommands[] = {
    {ID_FILE_OPEN,            Menu::File,       "&Open...",                "Ctrl+O"},
    {ID_FILE_SAVE,            Menu::File,       "Resize and &Save...",     "Ctrl+S"},
    {0,                       Menu::File,       {},                        {}},
    {ID_SETTINGS_SAVE,        Menu::File,       "Save se&ttings...",       {}},
    {ID_SETTINGS_LOAD,        Menu::File,       "&Load settings...",       {}},
    {0,                       Menu::File,       {},                        {}},
    {ID_APP_EXIT,             Menu::File,       "E&xit",                   {}},

    {ID_VIEW_TOOLBAR,         Menu::View,       "&Toolbar",                {}},
    {ID_VIEW_STATUS_BAR,      Menu::View,       "&Status Bar",             {}},
    {ID_VIEW_RESIZE_SETTINGS, Menu::View,       "&Resize Settings",        {}},
    {0,                       Menu::View,       {},                        {}},
    {ID_VIEW_PREVIOUS,        Menu::View,       "&Previous",               {}},
    {ID_VIEW_NEXT,            Menu::View,       "&Next",                   {}},

    {ID_BATCH_MODE,           Menu::Batch,      "&Batch Mode",             {}},
    {ID_BROWSE,               Menu::Batch,      "&Browse",                 {}},
    {0,                       Menu::Batch,      {},                        {}},
    {ID_BATCH_LOAD,           Menu::Batch,      "&Load...",                {}},
    {ID_BATCH_SAVE,           Menu::Batch,      "&Save...",                {}},
    {0,                       Menu::Batch,      {},                        {}},
    {ID_BATCH_RUN,            Menu::Batch,      "&Run",                    "Enter"},
    {ID_REMOVE_SELECTED,      Menu::Batch,      "&Remove Selected",        {}},

    {ID_HELP_TOPICS,          Menu::Help,       "&Help Topics",            "F1"},
    {0,                       Menu::Help,       {},                        {}},
    {ID_HOME_PAGE,            Menu::Help,       "KARVO Imaging Home Page", {}},
    {ID_CHECK_UPDATE,         Menu::Help,       "&Check For Update",       {}},
    {0,                       Menu::Help,       {},                        {}},
    {ID_APP_ABOUT,            Menu::Help,       "&About...",               {}},

    {ID_VIEW_LARGE_ICONS,     Menu::IconsPopup, "&Large Icons",            {}},
    {ID_VIEW_SMALL_ICONS,     Menu::IconsPopup, "&Small Icons",            {}},

    {ID_BROWSE_DONE,          Menu::None,       "ID_BROWSE_DONE",          {}},
    {ID_VIEW_ICONS_POPUP,     Menu::None,       "View",                    {}},
    {ID_SORT_NAME,            Menu::None,       "&Name",                   {}},
    {ID_SORT_DATE,            Menu::None,       "&Date",                   {}},
    {ID_SORT_FORMAT,          Menu::None,       "&File Format",            {}},
    {ID_SORT_WIDTH,           Menu::None,       "Image &Width",            {}},
    {ID_SORT_HEIGHT,          Menu::None,       "Image &Height",           {}},
    {ID_SORT_SIZE,            Menu::None,       "File &Size",              {}},
    {ID_SELECT_ALL,           Menu::None,       "Select all",              {}},
    {ID_EDIT_COPY,            Menu::None,       "&Copy",                   {}},
    {ID_EDIT_PASTE,           Menu::None,       "&Paste",                  {}},
    {ID_PROPERTIES,           Menu::None,       "Properties ...",          {}},
    {ID_VIEW_REFRESH,         Menu::None,       "&Refresh",                {}},
    {ID_RESIZE_STARTED,       Menu::None,       "Start Progress",          {}},
    {ID_RESIZE_PROGRESS,      Menu::None,       "Progress",                {}},
    {ID_RESIZE_DONE,          Menu::None,       "End Progress",            {}},
};

// The texts beside the buttons, in the order the toolbar's text list holds them.
constexpr ToolbarButton kSingleButtons[] = {
    {ID_FILE_OPEN, "Open"}, {ID_FILE_SAVE, "Save"}, {0, {}}, {ID_BATCH_MODE, "Batch Mode"}, {0, {}},
    {ID_VIEW_PREVIOUS, "Previous"}, {ID_VIEW_NEXT, "Next"},
};
constexpr ToolbarButton kBatchButtons[] = {
    {ID_FILE_OPEN, "Open"}, {ID_BROWSE, "Browse"}, {0, {}}, {ID_BATCH_MODE, "Batch Mode"}, {0, {}},
    {ID_REMOVE_SELECTED, "Remove"}, {0, {}}, {ID_BATCH_RUN, "Run "}, {0, {}}, {ID_VIEW_PREVIOUS, "Previous"},
    {ID_VIEW_NEXT, "Next"}, {0, {}}, {ID_VIEW_ICONS_POPUP, "View"},
};
constexpr ToolbarButton kBrowseButtons[] = {
    {ID_BROWSE_DONE, "Done"}, {0, {}}, {ID_REMOVE_SELECTED, "Remove"}, {0, {}}, {ID_VIEW_ICONS_POPUP, "View"},
};
// clang-format on

}  // namespace

std::span<const CommandEntry> CommandTable() { return kCommands; }

const CommandEntry* FindCommand(int id) {
    if (id == 0) return nullptr;
    for (const CommandEntry& entry : kCommands)
        if (entry.id == id) return &entry;
    return nullptr;
}

std::vector<CommandEntry> MenuEntries(Menu menu) {
    std::vector<CommandEntry> entries;
    for (const CommandEntry& entry : kCommands)
        if (entry.menu == menu) entries.push_back(entry);
    return entries;
}

std::string MenuText(const CommandEntry& entry) {
    std::string text(entry.text);
    if (!entry.accelerator.empty()) text.append("\t").append(entry.accelerator);
    return text;
}

std::span<const ToolbarButton> ToolbarButtons(ToolbarSet set) {
    switch (set) {
        case ToolbarSet::Single: return kSingleButtons;
        case ToolbarSet::Batch: return kBatchButtons;
        case ToolbarSet::Browse: return kBrowseButtons;
    }
    return {};
}

}  // namespace kv
