#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kv {

// The five interpolation modes of the standard algorithms.
enum class InterpolationMode : uint8_t {
    NearestNeighbor,
    Bilinear,
    HighQualityBilinear,
    Bicubic,
    HighQualityBicubic,
};

// The index 0..9 of the algorithm selector, as stored in settings and batch items.
using ResizeAlgorithm = int32_t;

inline constexpr ResizeAlgorithm kDefaultResizeAlgorithm = 4;
inline constexpr int32_t kResizeAlgorithmCount = 10;

enum class ResizeRoutine : uint8_t { Standard, LanczosRange, CubicRange, Advanced };

// The window parameter of index 5 is the ratio class of the resize, not a constant.
inline constexpr double kWindowFromRatioClass = -1.0;

struct ResizeAlgorithmInfo {
    std::string_view selectorText;     // as the algorithm selector lists it
    std::string_view descriptionName;  // as batch item descriptions and the batch log name it
    ResizeRoutine routine;
    InterpolationMode mode;  // Standard only
    double sharpness;        // LanczosRange and CubicRange
    double window;           // LanczosRange: kWindowFromRatioClass or a fixed value
    int32_t grain;
    int32_t kernelMode;  // LanczosRange and CubicRange
    bool flag;           // Advanced: true for the artificial-scenes variant
};

// clang-format off
inline constexpr std::array<ResizeAlgorithmInfo, kResizeAlgorithmCount> kResizeAlgorithms = {{
    {"Nearest Neighbor",               "Nearest Neighbor",               ResizeRoutine::Standard,     InterpolationMode::NearestNeighbor,     0,  0,                     0, 0, false},
    {"Bilinear",                       "Bilinear",                       ResizeRoutine::Standard,     InterpolationMode::Bilinear,            0,  0,                     0, 0, false},
    {"High Quality Bilinear",          "High Quality Bilinear",          ResizeRoutine::Standard,     InterpolationMode::HighQualityBilinear, 0,  0,                     0, 0, false},
    {"Bicubic",                        "Bicubic",                        ResizeRoutine::Standard,     InterpolationMode::Bicubic,             0,  0,                     0, 0, false},
    {"High Quality Bicubic",           "High Quality Bicubic",           ResizeRoutine::Standard,     InterpolationMode::HighQualityBicubic,  0,  0,                     0, 0, false},
    {"Smart for Artificial Scenes",    "Smart for Artificial Scenes",    ResizeRoutine::LanczosRange, InterpolationMode::HighQualityBicubic,  50, kWindowFromRatioClass, 0, 3, false},
    {"Smart for Natural Scenes",       "Smart for Natural Scenes",       ResizeRoutine::CubicRange,   InterpolationMode::HighQualityBicubic,  40, 0,                     0, 3, false},
    {"Advanced for Natural Scenes",    "Advanced for Natural Scenes",    ResizeRoutine::LanczosRange, InterpolationMode::HighQualityBicubic,  25, 2,                     0, 4, false},
    {"Advanced for Artificial Scenes", "KARVO for Artificial Scenes",    ResizeRoutine::Advanced,     InterpolationMode::HighQualityBicubic,  0,  0,                     0, 0, true},
    {"KARVO Super-Resolution",         "KARVO Super-Resolution",         ResizeRoutine::Advanced,     InterpolationMode::HighQualityBicubic,  0,  0,                     0, 0, false},
}};
// clang-format on

constexpr bool IsValidResizeAlgorithm(int64_t index) { return index >= 0 && index < kResizeAlgorithmCount; }
// An index read from a file or from settings: anything out of range takes the default.
inline ResizeAlgorithm ValidResizeAlgorithm(int64_t index) {
    return IsValidResizeAlgorithm(index) ? static_cast<ResizeAlgorithm>(index) : kDefaultResizeAlgorithm;
}
// The own algorithms are those that run a routine of their own instead of an interpolation mode:
// they report progress, can be stopped and have their previews computed by the document.
constexpr bool IsOwnResizeAlgorithm(int64_t index) {
    return IsValidResizeAlgorithm(index) &&
           kResizeAlgorithms[static_cast<size_t>(index)].routine != ResizeRoutine::Standard;
}

// 1 when both destination/source ratios are whole numbers (equal size included), otherwise 2.
int32_t RatioClass(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight);

}  // namespace kv
