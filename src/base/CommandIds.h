#pragma once

// The program's command and control identifiers, with the numbers of its resources. Menus, the
// toolbar, the command router and the windows that post commands all name them from here.
namespace kv {

namespace CommandId {
// Posted by worker threads to the main window.
inline constexpr int ID_RESIZE_PROGRESS = 32838;  // read OverallPercent and move the progress bar
inline constexpr int ID_PREVIEW_READY = 32839;    // a new preview exists: update the views
inline constexpr int ID_RESIZE_STARTED = 32840;   // show the progress bar
inline constexpr int ID_RESIZE_DONE = 32841;      // hide the progress bar
inline constexpr int ID_BEGINREADFOLDER = 32860;  // the browser reads its folder
inline constexpr int ID_VIEW_REFRESH = 33114;     // "&Refresh", also after a burst of folder changes

// The File menu.
inline constexpr int ID_FILE_OPEN = 57601;       // "&Open..."
inline constexpr int ID_FILE_SAVE = 57603;       // "Resize and &Save..."
inline constexpr int ID_IMAGE_INFO = 33205;      // "Image &Info..."
inline constexpr int ID_SETTINGS_SAVE = 33201;   // "Save se&ttings..."
inline constexpr int ID_SETTINGS_LOAD = 33202;   // "&Load settings..."
inline constexpr int ID_FILE_MRU_FILE1 = 57616;  // the first recent file; the others follow it
inline constexpr int ID_APP_EXIT = 57665;        // "E&xit"

// The View menu and the toolbar's view popup.
inline constexpr int ID_VIEW_TOOLBAR = 59392;          // "&Toolbar"
inline constexpr int ID_VIEW_STATUS_BAR = 59393;       // "&Status Bar"
inline constexpr int ID_VIEW_RESIZE_SETTINGS = 103;    // "&Resize Settings", the bar's own identifier
inline constexpr int ID_VIEW_NEXT = 32858;             // "&Next"
inline constexpr int ID_VIEW_PREVIOUS = 32859;         // "&Previous"
inline constexpr int ID_VIEW_LARGE_ICONS = 33107;      // "&Large Icons"
inline constexpr int ID_VIEW_SMALL_ICONS = 33106;      // "&Small Icons"
inline constexpr int ID_VIEW_ICONS_POPUP = 33108;      // the toolbar's "View" button
inline constexpr int ID_VIEW_UPRIGHT = 33261;          // "Turn Photos &Upright"

// The Batch menu and the browse window.
inline constexpr int ID_BATCH_MODE = 32861;        // "&Batch Mode"
inline constexpr int ID_BROWSE = 32852;            // "Br&owse"
inline constexpr int ID_BROWSE_DONE = 33110;       // the browse toolbar's "Done"
inline constexpr int ID_BATCH_LOAD = 32853;        // "&Load..."
inline constexpr int ID_BATCH_SAVE = 32854;        // "&Save..."
inline constexpr int ID_BATCH_RUN = 32862;         // "&Run"
inline constexpr int ID_REMOVE_SELECTED = 32863;   // "Re&move Selected"

// The Help menu.
inline constexpr int ID_HELP_TOPICS = 57670;   // "&Help Topics"
inline constexpr int ID_CONTEXT_HELP = 57669;  // "What's &This?"
inline constexpr int ID_HOME_PAGE = 33203;     // "KARVO Imaging Home Page"
inline constexpr int ID_CHECK_UPDATE = 33204;  // "&Check For Update"
inline constexpr int ID_APP_ABOUT = 57664;     // "&About..."

// The thumbnail browsers' context menus.
inline constexpr int ID_SORT_NAME = 33119;    // "&Name"
inline constexpr int ID_SORT_DATE = 33120;    // "&Date"
inline constexpr int ID_SORT_FORMAT = 33117;  // "&File Format"
inline constexpr int ID_SORT_WIDTH = 33152;   // "Image &Width"
inline constexpr int ID_SORT_HEIGHT = 33153;  // "Image &Height"
inline constexpr int ID_SORT_SIZE = 33154;    // "File &Size"
inline constexpr int ID_SELECT_ALL = 33122;   // "Select all"
inline constexpr int ID_EDIT_COPY = 32897;    // "&Copy"
inline constexpr int ID_EDIT_PASTE = 57637;   // "&Paste"
inline constexpr int ID_PROPERTIES = 33118;   // "Properties ..."
// The folder browser's own: the selected files to the Trash (the Delete key), and cut.
inline constexpr int ID_EDIT_CLEAR = 57632;   // "&Delete"
inline constexpr int ID_EDIT_CUT = 57635;     // "Cu&t"

// The folder tree: delete the selected item.
inline constexpr int ID_TREE_DELETE = 33043;
}  // namespace CommandId

// The controls of the resize settings bar.
namespace ResizeBarControl {
inline constexpr int IDC_OUT_WIDTH = 1001;
inline constexpr int IDC_OUT_HEIGHT = 1002;
inline constexpr int IDC_OUT_UNIT = 1003;
inline constexpr int IDC_OUT_PREDIFINED = 1004;
inline constexpr int IDC_EDIT_PIXEL = 1005;
inline constexpr int IDC_OUT_PRNWIDTH = 1006;
inline constexpr int IDC_OUT_PRNHEIGHT = 1007;
inline constexpr int IDC_OUT_PRN_PREDIFINED = 1008;
inline constexpr int IDC_EDIT_PRINT = 1009;
inline constexpr int IDC_OUT_RES = 1010;
inline constexpr int IDC_OUT_RES_PREDIFINED = 1011;
inline constexpr int IDC_CORRECTION = 1012;
inline constexpr int IDC_ALGORITHM = 1013;
inline constexpr int IDC_UNITS_SIZE = 1014;
inline constexpr int IDC_UNITS_RES = 1015;
inline constexpr int IDC_LOCK_SETTINGS = 1016;
inline constexpr int IDC_APPLY_TO_ALL = 1017;

// The spin buttons beside the five fields.
inline constexpr int IDC_SPIN_WIDTH = 1020;
inline constexpr int IDC_SPIN_HEIGHT = 1021;
inline constexpr int IDC_SPIN_PRNWIDTH = 1022;
inline constexpr int IDC_SPIN_PRNHEIGHT = 1023;
inline constexpr int IDC_SPIN_RES = 1024;

// Read-only texts: the open image under "Original image", the result under "New size", and the
// unit labels beside the print and resolution fields.
inline constexpr int IDC_ORIG_PIXELS = 1030;
inline constexpr int IDC_ORIG_BITS = 1031;
inline constexpr int IDC_ORIG_RAWSIZE = 1032;
inline constexpr int IDC_ORIG_PRINTSIZE = 1033;
inline constexpr int IDC_ORIG_RES = 1034;
inline constexpr int IDC_NEW_RAWSIZE = 1035;
inline constexpr int IDC_PRNWIDTH_UNIT = 1036;
inline constexpr int IDC_PRNHEIGHT_UNIT = 1037;
inline constexpr int IDC_RES_UNIT = 1038;
}  // namespace ResizeBarControl

}  // namespace kv
