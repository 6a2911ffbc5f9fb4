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

extern const std::array<ResizeAlgorithmInfo, kResizeAlgorithmCount> kResizeAlgorithms;

inline bool IsValidResizeAlgorithm(int64_t index) { return index >= 0 && index < kResizeAlgorithmCount; }
// An index read from a file or from settings: anything out of range takes the default.
inline ResizeAlgorithm ValidResizeAlgorithm(int64_t index) {
    return IsValidResizeAlgorithm(index) ? static_cast<ResizeAlgorithm>(index) : kDefaultResizeAlgorithm;
}
inline bool IsOwnResizeAlgorithm(ResizeAlgorithm index) { return index >= 5 && index <= 9; }

// 1 when both destination/source ratios are whole numbers (equal size included), otherwise 2.
int32_t RatioClass(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight);

}  // namespace kv
