#pragma once

#include <cstdint>

namespace kv {

class CRSProgress;

// The advanced enlarger (flag true: local contrast stretched as well) and super-resolution (flag
// false): a Lanczos prescale of the colour raster, then edge smoothing, softening, an unsharp mask
// and (flag true) a local-contrast stretch of the luminance, on the cores of the calling thread's
// task scheduler. Progress milestones go to the sink on the calling thread; with a sink the work
// stops when CancelRequested is set, without one it cannot be stopped. False when stopped, out of
// memory (OutOfMemoryFlag set) or given impossible sizes; the destination may then be partly
// written. colour false takes rasters of one byte a pixel: the image is its own luminance, and
// every step works on that alone.
bool AdvancedResize(bool colour, uint8_t* dst, int32_t dstStride, int32_t dstWidth, int32_t dstHeight,
                    const uint8_t* src, int32_t srcStride, int32_t srcWidth, int32_t srcHeight, bool flag,
                    CRSProgress* progress);

}  // namespace kv
