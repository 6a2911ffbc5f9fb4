#include "app/CommandTable.h"

namespace kv {

namespace {

using namespace CommandId;
using enum CommandKind;

// clang-format off
constexpr CommandEntry kCommands[] = {
    {ID_FILE_OPEN,            Menu::File,       "&Open...",                "Ctrl+O",    Plain,       "Opens a photo"},
    {ID_FILE_SAVE,            Menu::File,       "Resize and &Save...",     "Ctrl+S",    Plain,       "Resizes the photo with the current settings and saves the result"},
    {0,                       Menu::File,       {},                        {}},
    {ID_IMAGE_INFO,           Menu::File,       "Image &Info...",          {},          Plain,       "Shows the photo's size, colours and camera details"},
    {0,                       Menu::File,       {},                        {}},
    {ID_SETTINGS_SAVE,        Menu::File,       "Save se&ttings...",       {},          Plain,       "Saves the current size settings under a name"},
    {ID_SETTINGS_LOAD,        Menu::File,       "&Load settings...",       {},          Plain,       "Loads size settings saved under a name"},
    {0,                       Menu::File,       {},                        {}},
    {ID_FILE_MRU_FILE1,       Menu::File,       "Recent File",             {},          RecentFiles, "Opens this photo again"},
    {0,                       Menu::File,       {},                        {}},
    {ID_APP_EXIT,             Menu::File,       "E&xit",                   "Ctrl+Q",    Plain,       "Quits the program"},

    {ID_VIEW_TOOLBAR,         Menu::View,       "&Toolbar",                {},          Checkable,   "Shows or hides the toolbar"},
    {ID_VIEW_STATUS_BAR,      Menu::View,       "&Status Bar",             {},          Checkable,   "Shows or hides the status bar"},
    {ID_VIEW_RESIZE_SETTINGS, Menu::View,       "&Resize Settings",        {},          Checkable,   "Shows or hides the resize settings"},
    {0,                       Menu::View,       {},                        {}},
    {ID_VIEW_UPRIGHT,         Menu::View,       "Turn Photos &Upright",    {},          Checkable,   "Shows and resizes photos upright, as their camera's orientation says; off keeps them as their files store them"},
    {0,                       Menu::View,       {},                        {}},
    {ID_VIEW_PREVIOUS,        Menu::View,       "&Previous",               "Alt+Left",  Plain,       "Opens the previous photo of the folder"},
    {ID_VIEW_NEXT,            Menu::View,       "&Next",                   "Alt+Right", Plain,       "Opens the next photo of the folder"},

    {ID_BATCH_MODE,           Menu::Batch,      "&Batch Mode",             {},          Checkable,   "Switches batch mode on or off"},
    {ID_BROWSE,               Menu::Batch,      "Br&owse",                 {},          Checkable,   "Browses folders for photos to add to the batch list"},
    {0,                       Menu::Batch,      {},                        {}},
    {ID_BATCH_LOAD,           Menu::Batch,      "&Load...",                {},          Plain,       "Loads a batch list saved under a name"},
    {ID_BATCH_SAVE,           Menu::Batch,      "&Save...",                {},          Plain,       "Saves the batch list under a name"},
    {0,                       Menu::Batch,      {},                        {}},
    {ID_BATCH_RUN,            Menu::Batch,      "&Run",                    "Enter",     Plain,       "Resizes every photo of the batch list"},
    {ID_REMOVE_SELECTED,      Menu::Batch,      "Re&move Selected",        {},          Plain,       "Removes the selected photos from the batch list"},

    {ID_HELP_TOPICS,          Menu::Help,       "&Help Topics",            "F1",        Plain,       "Opens the manual"},
    {ID_CONTEXT_HELP,         Menu::Help,       "What's &This?",           "Shift+F1",  Plain,       "Click a control to see what it does"},
    {0,                       Menu::Help,       {},                        {}},
    {ID_HOME_PAGE,            Menu::Help,       "KARVO Imaging Home Page", {},          Plain,       "Opens the maker's web site"},
    {ID_CHECK_UPDATE,         Menu::Help,       "&Check For Update",       {},          Plain,       "Asks whether a newer version exists"},
    {0,                       Menu::Help,       {},                        {}},
    {ID_APP_ABOUT,            Menu::Help,       "&About...",               {},          Plain,       "Shows the program's version"},

    {ID_VIEW_LARGE_ICONS,     Menu::IconsPopup, "&Large Icons",            {},          Checkable,   "Shows large thumbnails"},
    {ID_VIEW_SMALL_ICONS,     Menu::IconsPopup, "&Small Icons",            {},          Checkable,   "Shows small thumbnails"},

    {ID_BROWSE_DONE,          Menu::None,       "ID_BROWSE_DONE",          {},          Plain,       "Closes the browse window"},
    {ID_VIEW_ICONS_POPUP,     Menu::None,       "View",                    {},          Plain,       "Chooses the size of the thumbnails"},
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

constexpr Menu kMenuBar[] = {Menu::File, Menu::View, Menu::Batch, Menu::Help};

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

std::span<const Menu> MenuBar() { return kMenuBar; }

std::string_view MenuTitle(Menu menu) {
    switch (menu) {
        case Menu::File: return "&File";
        case Menu::View: return "&View";
        case Menu::Batch: return "&Batch";
        case Menu::Help: return "&Help";
        case Menu::IconsPopup: return "View";
        case Menu::None: break;
    }
    return {};
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

std::string AccessibleText(std::string_view text) {
    text = text.substr(0, text.find('\t'));
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        // "&&" stands for one ampersand; a single one marks the mnemonic.
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') plain += text[++i];
            continue;
        }
        plain += text[i];
    }
    // "Open..." is announced as "Open", "Width:" as "Width".
    while (plain.size() > 3 && plain.ends_with("...")) plain.resize(plain.size() - 3);
    while (!plain.empty() && (plain.back() == ':' || plain.back() == ' ')) plain.pop_back();
    return plain;
}

std::span<const ToolbarButton> ToolbarButtons(ToolbarSet set) {
    switch (set) {
        case ToolbarSet::Single: return kSingleButtons;
        case ToolbarSet::Batch: return kBatchButtons;
        case ToolbarSet::Browse: return kBrowseButtons;
    }
    return {};
}

std::string_view ButtonText(int id) {
    for (const ToolbarSet set : {ToolbarSet::Single, ToolbarSet::Batch, ToolbarSet::Browse})
        for (const ToolbarButton& button : ToolbarButtons(set))
            if (id != 0 && button.id == id) return button.text;
    return {};
}

}  // namespace kv
