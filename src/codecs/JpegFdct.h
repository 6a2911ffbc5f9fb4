#pragma once

#include <cstdint>

namespace SlimJpeg {

// Transforms one block of 64 samples (raster order, 16-bit, normally 0..256) in place into quantised
// coefficients in natural order. divisors are Q[k] * ForwardDctScales()[k] for the component's
// table Q, so quantisation also removes the transform's scaling.
//
// The transform is the scaled separable fast algorithm in 32-bit integers with 8-bit constants;
// samples in the range the colour conversion produces keep every sum well inside 32 bits.
void ForwardDct(int16_t* block, const int32_t* divisors);

}  // namespace SlimJpeg
