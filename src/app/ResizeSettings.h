#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "engine/ResizeAlgorithm.h"

namespace kv {

// The unit in which the print size is shown and typed. The numbers are stored in settings files.
enum class PrintUnit : int32_t { Inches = 0, Millimeters = 1, Centimeters = 2, Picas = 3, Points = 4 };

// The unit in which the resolution is shown and typed; the record itself always holds dots per inch.
enum class ResolutionUnit : int32_t { DotsPerInch = 0, DotsPerMm = 1, DotsPerCm = 2 };

// How the requested width x height box is honoured.
enum class SizeCorrection : int32_t { KeepAspect = 0, Crop = 1, None = 2 };

struct PrintUnitInfo {
    std::string_view selectorText;
    std::string_view label;  // beside the print size fields
    double perInch;          // units in one inch
    // How the open image's print size is written under "Original image": "8.33x6.25 inches".
    std::string_view imageSizeWord;
    int imageSizeDecimals;
};

struct ResolutionUnitInfo {
    std::string_view selectorText;
    std::string_view label;  // beside the resolution field, and after the open image's resolution
    double dpiFactor;        // dots per inch = value x dpiFactor
    int imageDecimals;       // of the open image's resolution under "Original image"
};

inline constexpr std::array<PrintUnitInfo, 5> kPrintUnits{{
    {"Inches", "in", 1.0, "inches", 2},
    {"Millimeters", "mm", 25.4, "mm", 2},
    {"Centimeters", "cm", 2.54, "cm", 2},
    {"Picas", "picas", 6.0, "picas", 0},
    {"Points", "pt", 72.0, "points", 0},
}};

inline constexpr std::array<ResolutionUnitInfo, 3> kResolutionUnits{{
    {"Dots per inch", "dots per inch", 1.0, 0},
    {"Dots per mm", "dots per mm", 25.4, 2},
    {"Dots per cm", "dots per cm", 2.54, 2},
}};

inline constexpr std::array<std::string_view, 3> kSizeCorrectionTexts{"Keep aspect", "Crop", "None"};

// The entries of the Pixels/Percent selector, indexed by ResizeSettings::inPercents.
inline constexpr std::array<std::string_view, 2> kOutputUnitTexts{"Pixels", "Percent"};

inline const PrintUnitInfo& Info(PrintUnit unit) { return kPrintUnits[static_cast<size_t>(unit)]; }
inline const ResolutionUnitInfo& Info(ResolutionUnit unit) { return kResolutionUnits[static_cast<size_t>(unit)]; }

// A unit or correction read from a file or from settings: anything out of range takes the default,
// so that no stored number can index past a table.
PrintUnit ValidPrintUnit(int64_t value);
ResolutionUnit ValidResolutionUnit(int64_t value);
SizeCorrection ValidSizeCorrection(int64_t value);

// The output size model's one record: what size the result gets, at which resolution, how the box
// is honoured and which algorithm runs, plus the bar's mode flags.
struct ResizeSettings {
    static constexpr int32_t kDefaultWidth = 640;
    static constexpr int32_t kDefaultHeight = 480;
    static constexpr float kDefaultDpi = 300.0f;
    static constexpr double kDefaultPercent = 100.0;
    static constexpr int32_t kDefaultJpegQuality = 75;

    int32_t width = kDefaultWidth;  // pixels
    int32_t height = kDefaultHeight;
    double percentWidth = kDefaultPercent;  // of the open image's width
    double percentHeight = kDefaultPercent;
    float dpi = kDefaultDpi;  // always dots per inch, whatever unit the bar shows
    ResolutionUnit resolutionUnit = ResolutionUnit::DotsPerInch;
    PrintUnit printUnit = PrintUnit::Inches;
    SizeCorrection correction = SizeCorrection::KeepAspect;
    ResizeAlgorithm algorithm = kDefaultResizeAlgorithm;
    bool inPercents = false;    // the width and height fields show percent
    bool editPrints = false;    // the print size fields are the editable ones
    bool lockSettings = false;  // outside batch mode: keep the settings for the next opened image
    bool applyToNew = true;     // in batch mode: stamp the settings onto newly added images

    // Not persisted: the main frame's mode, and the short time an item of the batch list is opened.
    bool batchMode = false;
    bool openingFromBatchList = false;

    // Quality of single saves; it plays no part in the size arithmetic. The batch settings are
    // persisted beside this record but kept in their own structure.
    int32_t jpegQuality = kDefaultJpegQuality;
    // A single save of a JPEG original takes the original's quality instead (as far as it can be
    // told from the file; any other original takes jpegQuality).
    bool sameJpegQuality = false;

    // Brings values that came from outside (the settings store, a settings file, a command line)
    // into the ranges the arithmetic relies on: table indices and the algorithm out of range take
    // their defaults, a resolution outside 1 to 100000 dots per inch the default resolution, a
    // width or height below 1 pixel the default one, a percentage that is not a positive finite
    // number 100, a quality outside 0 to 100 the default quality.
    void Validate();

    bool operator==(const ResizeSettings&) const = default;
};

}  // namespace kv
