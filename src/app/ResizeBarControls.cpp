#include "app/ResizeBarControls.h"

#include <array>

namespace kv {

namespace {

using namespace ResizeBarControl;

struct ControlText {
    int id;
    std::string_view label;
    std::string_view tooltip;
};

// clang-format off
constexpr std::array<ControlText, 17> kControls{{
    {IDC_OUT_WIDTH, "Width:", "Sets output width in pixels or percents"},
    {IDC_OUT_HEIGHT, "Height:", "Sets output height in pixels or percents"},
    {IDC_OUT_UNIT, {}, "Sets units for above fields"},
    {IDC_OUT_PREDIFINED, "Screen/device", "Sets standard output size"},
    {IDC_EDIT_PIXEL, "Edit &pixels", "Force editing in above fields"},
    {IDC_OUT_PRNWIDTH, "Width:", "Sets physical output width"},
    {IDC_OUT_PRNHEIGHT, "Height:", "Sets physical output height"},
    {IDC_OUT_PRN_PREDIFINED, "Paper", "Sets standard physical output size"},
    {IDC_EDIT_PRINT, "Edit p&rint size", "Force editing in above fields"},
    {IDC_OUT_RES, "Resolution:", "Sets output image resolution"},
    {IDC_OUT_RES_PREDIFINED, "Standard", "Sets standard output resolution"},
    {IDC_CORRECTION, "Correction of size", "Sets how to correct output size"},
    {IDC_ALGORITHM, "Algorithm:", "Sets resizing algorithm"},
    {IDC_UNITS_SIZE, "Size:", "Sets physical size units"},
    {IDC_UNITS_RES, "Resolution:", "Sets resolution units"},
    {IDC_LOCK_SETTINGS, {}, "Select this item to apply current settings to next open image"},
    {IDC_APPLY_TO_ALL, "Apply to &All", "Click to apply current settings to all images for batch processing"},
}};
// clang-format on

constexpr std::string_view kLockTooltipInBatch =
    "Select this item to apply current settings to next selected for batch image";

constexpr size_t kTooltipMaxCharacters = 80;

const ControlText* FindControl(int id) {
    for (const ControlText& control : kControls)
        if (control.id == id) return &control;
    return nullptr;
}

}  // namespace

std::optional<int> SpinButtonField(int spinId) {
    switch (spinId) {
        case IDC_SPIN_WIDTH: return IDC_OUT_WIDTH;
        case IDC_SPIN_HEIGHT: return IDC_OUT_HEIGHT;
        case IDC_SPIN_PRNWIDTH: return IDC_OUT_PRNWIDTH;
        case IDC_SPIN_PRNHEIGHT: return IDC_OUT_PRNHEIGHT;
        case IDC_SPIN_RES: return IDC_OUT_RES;
        default: return std::nullopt;
    }
}

std::string_view ControlLabel(int controlId) {
    const ControlText* control = FindControl(controlId);
    return control ? control->label : std::string_view{};
}

std::string_view LockCheckBoxText(bool batchMode) { return batchMode ? "Apply to &new" : "&Lock settings"; }

std::string ControlTooltip(int controlId, bool batchMode) {
    if (controlId == IDC_LOCK_SETTINGS && batchMode) return TooltipText(kLockTooltipInBatch);
    const ControlText* control = FindControl(controlId);
    return control ? TooltipText(control->tooltip) : std::string{};
}

std::string TooltipText(std::string_view text) {
    text = text.substr(0, text.find_first_of("\r\n"));
    // Count characters, not bytes, and never cut a UTF-8 sequence in two.
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (startsCharacter && characters++ == kTooltipMaxCharacters) return std::string(text.substr(0, i));
    }
    return std::string(text);
}

}  // namespace kv
