#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/CommandIds.h"

// The labels and tooltips of the resize settings bar's controls.
namespace kv {

// The spin button's field, or nothing when the id is not a spin button.
std::optional<int> SpinButtonField(int spinId);

// The fields the user types into: width and height (pixels or percent), the print width and
// height, and the resolution.
constexpr bool IsPixelField(int id) {
    return id == ResizeBarControl::IDC_OUT_WIDTH || id == ResizeBarControl::IDC_OUT_HEIGHT;
}
constexpr bool IsPrintField(int id) {
    return id == ResizeBarControl::IDC_OUT_PRNWIDTH || id == ResizeBarControl::IDC_OUT_PRNHEIGHT;
}
constexpr bool IsEditField(int id) {
    return IsPixelField(id) || IsPrintField(id) || id == ResizeBarControl::IDC_OUT_RES;
}

// The fixed label of a control ("Width:", "Screen/device", "Edit &pixels"); empty for controls
// whose text the presenter writes. The check box's text depends on the batch mode.
std::string_view ControlLabel(int controlId);
std::string_view LockCheckBoxText(bool batchMode);

// The tooltip of a control as the bar shows it; empty for controls without one.
std::string ControlTooltip(int controlId, bool batchMode);

// A tooltip shows the text before the first line break of its string, at most 80 characters.
std::string TooltipText(std::string_view text);

}  // namespace kv
