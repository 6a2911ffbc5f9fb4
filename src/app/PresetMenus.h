#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "app/ResizeSettings.h"

// The entries of the settings bar's three preset menus, as data. An empty label is a separator.
namespace kv {

struct SizePreset {
    std::string_view label;
    int32_t width;  // 0 for "Original size" and for separators
    int32_t height;
};

// "Predefined sizes", behind the "Screen/device" button.
extern const std::array<SizePreset, 24> kSizePresets;
inline constexpr std::string_view kOriginalSizeLabel = "Original size";

// "Print Predefined sizes", behind the "Paper" button: millimetre papers, inch papers, photo sizes,
// and the prints photo labs make. Every label carries its size; choosing an entry reads the size
// from the label.
extern const std::array<std::string_view, 59> kPaperPresets;

// "Predefined res", behind the "Standard" button. The numbered entries carry their resolution.
extern const std::array<std::string_view, 14> kResolutionPresets;
inline constexpr std::string_view kDefaultPrinterLabel = "Default Printer";
inline constexpr std::string_view kOriginalResolutionLabel = "Original";

// A paper size as its label writes it.
struct PaperSize {
    double width = 0;
    double height = 0;
    PrintUnit unit = PrintUnit::Inches;  // millimetres, centimetres or inches

    double WidthInches() const { return width / Info(unit).perInch; }
    double HeightInches() const { return height / Info(unit).perInch; }
};

// Reads the size from a label such as "A4 (210x297 mm)", "Photo print (10x15 cm)" or "Statement
// (5 1/2x8 1/2 inch)": only the text inside the first pair of parentheses counts, so a name like
// "6 3/4 Envelope" is not mistaken for the size. Inch sizes may be written as a whole number and a
// fraction ("8 1/2"). Nothing when the label carries no readable size.
std::optional<PaperSize> ParsePaperLabel(std::string_view label);

// The resolution a numbered entry sets: the number before the label's first blank ("72 DPI").
std::optional<double> ParseResolutionLabel(std::string_view label);

}  // namespace kv
