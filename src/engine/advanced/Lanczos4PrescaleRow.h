#pragma once

// The row kernels of the Lanczos prescale, shared by its plain and vector builds.

#include <cstdint>

#include "base/CpuFeatures.h"
#include "engine/advanced/AdvancedTables.h"

namespace kv::advanced::prescale {

// What one destination row needs. The eight source rows of the window are widened to 32-bit
// integers, one array per channel, and padded with 3 copies of the first pixel on the left and 4
// of the last on the right, so that the taps of destination column b are entries base[b] ..
// base[b] + 7 of each array with no clamping left to do. weights holds, for every column phase in
// use (its slot), the 8 x 8 products (row weight x column weight) >> 8 of this row.
struct RowJob {
    uint8_t* out;
    int32_t width;
    int32_t channels;
    const int32_t* const* taps;  // taps[r * channels + c]: source row r of the window, channel c
    const int32_t* weights;      // 64 entries per slot, row-major (tap row, tap column)
    const int32_t* base;         // first padded entry of each destination column
    const uint16_t* slot;        // column phase slot of each destination column
    const ClampTable* clamp;
};

void RowPlain(const RowJob& job);
#if KV_X86
void RowAvx2(const RowJob& job);
#endif

}  // namespace kv::advanced::prescale
