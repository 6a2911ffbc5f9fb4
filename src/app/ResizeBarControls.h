#pragma once

#include <optional>
#include <string>
#include <string_view>

// The controls of the resize settings bar: their identifiers, labels and tooltips.
namespace kv {

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

// The spin button's field, or nothing when the id is not a spin button.
std::optional<int> SpinButtonField(int spinId);

// The fixed label of a control ("Width:", "Screen/device", "Edit &pixels"); empty for controls
// whose text the presenter writes. The check box's text depends on the batch mode.
std::string_view ControlLabel(int controlId);
std::string_view LockCheckBoxText(bool batchMode);

// The tooltip of a control as the bar shows it; empty for controls without one.
std::string ControlTooltip(int controlId, bool batchMode);

// A tooltip shows the text before the first line break of its string, at most 80 characters.
std::string TooltipText(std::string_view text);

}  // namespace kv
