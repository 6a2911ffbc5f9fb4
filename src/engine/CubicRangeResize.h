#pragma once

#include <cstdint>

namespace kv {

class CRSProgress;

// Resizes a 24-bit (colour) or 8-bit raster channel by channel with cubic interpolation and an
// edge-aware range stretch. False when stopped through the progress sink or out of memory.
bool CubicRangeResize(uint8_t* dst, int32_t dstStride, const uint8_t* src, int32_t srcStride, bool colour,
                      int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, double sharpness,
                      int32_t grain, int32_t mode, CRSProgress* progress);

}  // namespace kv
