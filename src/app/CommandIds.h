#pragma once

// The commands of the menus and the toolbar, numbered as the program's resources number them.
// Commands the program adds for this desktop (settings presets, image details, the update check,
// the home page) take numbers the resources leave free.
namespace kv::CommandIds {

// File
inline constexpr int ID_FILE_OPEN = 57601;          // "&Open..."
inline constexpr int ID_FILE_SAVE = 57603;          // "Resize and &Save..."
inline constexpr int ID_FILE_MRU_FILE1 = 57616;     // the recent files, four in a row
inline constexpr int kRecentFileCount = 4;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_SAVE_SETTINGS = 32864;      // "Save se&ttings..."
inline constexpr int ID_LOAD_SETTINGS = 32865;      // "&Load settings..."
inline constexpr int ID_IMAGE_INFO = 32868;         // "Image &Info..."

// View
inline constexpr int ID_VIEW_RESIZEBAR = 103;       // "&Resize Settings"
inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;
inline constexpr int ID_VIEW_NEXT = 32858;
inline constexpr int ID_VIEW_PREVIOUS = 32859;

// Batch
inline constexpr int ID_BATCH_MODE = 32861;
inline constexpr int ID_BROWSE = 32852;
inline constexpr int ID_BROWSE_DONE = 33110;
inline constexpr int ID_BATCH_LOAD = 32853;
inline constexpr int ID_BATCH_SAVE = 32854;
inline constexpr int ID_BATCH_RUN = 32862;
inline constexpr int ID_BATCH_REMOVE = 32863;
inline constexpr int ID_VIEW_ICONS = 33108;         // the toolbar's "View" button
inline constexpr int ID_LARGE_ICONS = 33107;
inline constexpr int ID_SMALL_ICONS = 33106;

// Help
inline constexpr int ID_HELP_FINDER = 57670;        // "&Help Topics"
inline constexpr int ID_CONTEXT_HELP = 57669;       // "What's &This?"
inline constexpr int ID_HOME_PAGE = 32866;          // "KARVO Imaging Home Page"
inline constexpr int ID_CHECK_UPDATE = 32867;       // "&Check For Update"
inline constexpr int ID_APP_ABOUT = 57664;

}  // namespace kv::CommandIds
