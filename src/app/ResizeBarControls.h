#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/CommandIds.h"

// The labels and tooltips of the resize settings bar's controls.
namespace kv {

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
