#pragma once

#include <cstdint>

namespace kv {

class CRSProgress;

// Resamples a plane (rows packed at its width) with a separable kernel of KernelWeight, tabulated
// in 1024 phases. Positions are aligned at the top-left corner: destination pixel i lies at
// i * source size / destination size, with no half-pixel offset. Types 1 and 2 have 2 * type taps
// per direction, the others 2 * ceil(p1); taps beyond the edges repeat the edge pixel. The
// weights are not normalised, so a kernel whose taps do not add up to one changes the level. Each
// result is trunc(sum + 0.5) clamped to 0..255. Reports 100 * i / dstHeight after each
// destination row i. Type 0 is refused: false at once, nothing written.
bool KernelResample(uint8_t* dst, const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t dstWidth,
                    int32_t dstHeight, double p1, double p2, int type, CRSProgress* progress);

}  // namespace kv
