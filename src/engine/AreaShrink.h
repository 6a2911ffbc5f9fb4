#pragma once

#include <cstdint>

namespace kv {

class CRSProgress;

// Box-area reductions in 16.16 fixed point. Each destination pixel averages the source span it
// covers: the partial pixels at both ends are weighted by their covered fraction with the low 16
// bits of each partial product dropped, and the sum is divided by the step (source size * 65536 /
// destination size), truncating. The destination size must not exceed the source size.

// Shrinks each of `rows` rows from srcWidth to dstWidth pixels; reports 100 * row / rows after
// each row.
bool AreaShrinkRows(uint8_t* dst, const uint8_t* src, int32_t srcWidth, int32_t rows, int32_t dstWidth,
                    CRSProgress* progress);

// Shrinks each of `width` columns from srcHeight to dstHeight pixels; reports
// 100 * column / width after each column.
bool AreaShrinkColumns(uint8_t* dst, const uint8_t* src, int32_t width, int32_t srcHeight, int32_t dstHeight,
                       CRSProgress* progress);

}  // namespace kv
