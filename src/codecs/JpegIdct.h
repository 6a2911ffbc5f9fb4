#pragma once

#include <cstdint>

namespace SlimJpeg {

// Transforms one block of 64 quantised coefficients (natural order) in place into 64 samples 0..255
// in raster order. multipliers are the dequantisation values with the transform's scaling folded in
// (Q[k] * InverseDctScales()[k]).
//
// The transform is the scaled separable fast algorithm in 32-bit integers with 8-bit constants.
// Every sum wraps as 32-bit two's complement arithmetic does, so damaged coefficients give damaged
// samples but never undefined behaviour.
void InverseDct(int16_t* block, const int32_t* multipliers);

}  // namespace SlimJpeg
