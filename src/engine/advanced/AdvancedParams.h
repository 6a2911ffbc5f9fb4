#pragma once

#include <cstdint>

namespace kv::advanced {

// Everything the advanced enlarger derives from the two sizes and its flag before it starts.
struct AdvancedParams {
    double meanRatio = 0;        // D: the mean of the horizontal and vertical ratios
    int32_t edgeRounds = 0;      // rounds of edge smoothing, trunc(D) - 1 clamped to 0 .. 4
    bool softPass = false;       // a 0.8 smoothing follows the edge smoothing
    int32_t radius = 0;          // neighbourhood radius of the local-contrast step
    int32_t extremeRounds = 0;   // rounds of the local-contrast step: 1 with the flag, else 0
    int32_t unsharpAmount = 0;   // in 1/256 units
    double unsharpSigma = 0;     // D with two decimals kept
    double gainScale = 0;        // k = 20 sqrt(D)
    int32_t planeWidth = 0;      // W': the destination width in whole 16-pixel tiles
    int32_t planeHeight = 0;     // H'
};

// The sizes must be positive.
AdvancedParams DeriveAdvancedParams(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight,
                                    bool flag);

}  // namespace kv::advanced
