#pragma once

#include <array>
#include <cstdint>

namespace SlimJpeg {

// The dequantisation multipliers of one component with the transform's scaling folded in
// (Q[k] * InverseDctScales()[k]), kept in natural order and transposed for the vector routine.
struct IdctMultipliers {
    alignas(32) std::array<int32_t, 64> natural{};
    alignas(32) std::array<int32_t, 64> transposed{};

    void Set(int k, int32_t value) {
        natural[k] = value;
        transposed[(k % 8) * 8 + k / 8] = value;
    }
};

// Transforms one block of 64 quantised coefficients (natural order) in place into 64 samples 0..255
// in raster order.
//
// The transform is the scaled separable fast algorithm in 32-bit integers with 8-bit constants: a
// pass over the rows with the multipliers, then a pass down the columns. Every sum wraps as 32-bit
// two's complement arithmetic does, so damaged coefficients give damaged samples but never
// undefined behaviour.
using InverseDctRoutine = void (*)(int16_t* block, const IdctMultipliers& multipliers);

void InverseDctScalar(int16_t* block, const IdctMultipliers& multipliers);
// The same arithmetic eight lanes at a time; only for processors with AVX2.
void InverseDctAvx2(int16_t* block, const IdctMultipliers& multipliers);

// The fastest routine this processor runs; every routine gives the same samples.
InverseDctRoutine SelectInverseDct();

}  // namespace SlimJpeg
