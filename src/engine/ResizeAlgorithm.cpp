#include "engine/ResizeAlgorithm.h"

#include <cmath>

namespace kv {

using enum ResizeRoutine;
using enum InterpolationMode;

// clang-format off
const std::array<ResizeAlgorithmInfo, kResizeAlgorithmCount> kResizeAlgorithms = {{
    {"Nearest Neigbor",                "Nearest Neighbor",               Standard,     NearestNeighbor,     0,  0,                     0, 0, false},
    {"Bilinear",                       "Bilinear",                       Standard,     Bilinear,            0,  0,                     0, 0, false},
    {"High Quality Bilinear",          "High Quality Bilinear",          Standard,     HighQualityBilinear, 0,  0,                     0, 0, false},
    {"Bicubic",                        "Bicubic",                        Standard,     Bicubic,             0,  0,                     0, 0, false},
    {"High Quality Bicubic",           "High Quality Bicubic",           Standard,     HighQualityBicubic,  0,  0,                     0, 0, false},
    {"Smart for Artificial Scenes",    "Smart for Artificial Scenes",    LanczosRange, HighQualityBicubic,  50, kWindowFromRatioClass, 0, 3, false},
    {"Smart for Natural Scenes",       "Smart for Natural Scenes",       CubicRange,   HighQualityBicubic,  40, 0,                     0, 3, false},
    {"Advanced for Natural Scenes",    "Advanced for Natural Scenes",    LanczosRange, HighQualityBicubic,  25, 2,                     0, 4, false},
    {"Advanced for Artificial Scenes", "KARVO for Artificial Scenes",    Advanced,     HighQualityBicubic,  0,  0,                     0, 0, true},
    {"KARVO Super-Resolution",         "KARVO Super-Resolution",         Advanced,     HighQualityBicubic,  0,  0,                     0, 0, false},
}};
// clang-format on

int32_t RatioClass(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight) {
    const double qx = static_cast<double>(dstWidth) / srcWidth;
    const double qy = static_cast<double>(dstHeight) / srcHeight;
    return (qx == std::trunc(qx) && qy == std::trunc(qy)) ? 1 : 2;
}

}  // namespace kv
