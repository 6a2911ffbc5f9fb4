#pragma once

#include <cstdint>

namespace kv {

class CRSProgress;

// Resizes a 24-bit (colour) or 8-bit raster channel by channel with cubic interpolation and an
// edge-aware range stretch. False when stopped through the progress sink or out of memory.
bool CubicRangeResize(uint8_t* dst, int32_t dstStride, const uint8_t* src, int32_t srcStride, bool colour,
                      int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, double sharpness,
                      int32_t grain, int32_t mode, CRSProgress* progress);

// One plane: modes below 3 run the core alone; the others go through the shared staging with the
// cubic core. Clears OutOfMemoryFlag first.
bool ResizePlaneCubic(uint8_t* dst, const uint8_t* src, int32_t dstWidth, int32_t dstHeight, int32_t srcWidth,
                      int32_t srcHeight, double strength, int32_t grain, int32_t mode, CRSProgress* progress);

// The core: resamples with the Catmull-Rom cubic (the triangle for mode 1); in mode 3 beyond 1.5
// in either direction it stretches the result against its own local range and, from a threefold
// enlargement on, blurs it.
bool CubicCore(uint8_t* dst, const uint8_t* src, int32_t dstWidth, int32_t dstHeight, int32_t srcWidth,
               int32_t srcHeight, double strength, int32_t mode, int32_t grain, CRSProgress* progress);

}  // namespace kv
