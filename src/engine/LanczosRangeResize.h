#pragma once

#include <cstdint>

namespace kv {

class CRSProgress;

// Resizes a 24-bit (colour) or 8-bit raster channel by channel with Lanczos interpolation, an
// edge-aware range stretch on enlargements and a final sharpening. False when stopped through the
// progress sink or out of memory; the destination may then be partly written.
bool LanczosRangeResize(uint8_t* dst, int32_t dstStride, const uint8_t* src, int32_t srcStride, bool colour,
                        int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, double sharpness,
                        double window, int32_t grain, int32_t mode, CRSProgress* progress);

// One plane through the shared staging with the Lanczos core. Clears OutOfMemoryFlag first.
bool ResizePlaneLanczos(uint8_t* dst, const uint8_t* src, int32_t dstWidth, int32_t dstHeight, int32_t srcWidth,
                        int32_t srcHeight, double strength, double window, int32_t grain, int32_t mode,
                        CRSProgress* progress);

// The core: mode 3 resamples with a Lanczos kernel of radius window + 1; beyond 1.5 in either
// direction the result is blurred, stretched against the range of a Catmull-Rom guide and blurred
// again. Modes 1 and 2 resample with the triangle and the Catmull-Rom cubic only.
bool LanczosCore(uint8_t* dst, const uint8_t* src, int32_t dstWidth, int32_t dstHeight, int32_t srcWidth,
                 int32_t srcHeight, double strength, double window, int32_t mode, CRSProgress* progress);

}  // namespace kv
