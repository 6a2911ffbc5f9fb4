#pragma once

#include <cstdint>

namespace kv {

class CRSProgress;

// The advanced enlarger and super-resolution (flag false). False when stopped or out of memory.
bool AdvancedResize(bool colour, uint8_t* dst, int32_t dstStride, int32_t dstWidth, int32_t dstHeight,
                    const uint8_t* src, int32_t srcStride, int32_t srcWidth, int32_t srcHeight, bool flag,
                    CRSProgress* progress);

}  // namespace kv
