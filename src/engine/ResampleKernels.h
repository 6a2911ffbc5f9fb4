#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/ResampleWeights.h"

namespace kv::resample {

// The two row operations of the separable resample. Every implementation computes the same
// integers, so the result does not depend on which one runs.
struct RowKernels {
    // One source row of B,G,R bytes onto table.outCount pixels of intermediate values (kMidBits
    // fractional bits, clamped to 0..kMidMax). Writes one int16 past the last pixel.
    void (*horizontal)(const uint8_t* src, int32_t srcWidth, const WeightTable& table, int16_t* out);
    // count consecutive intermediate rows (rowStride apart) combined into n output bytes. The rows
    // may be read up to n rounded up to 16 values.
    void (*vertical)(const int16_t* rows, ptrdiff_t rowStride, const int16_t* weights, int32_t count,
                     uint8_t* out, int32_t n);
};

enum class Isa : uint8_t { Plain, Avx2 };

// The best instruction set this processor offers, found once.
Isa BestIsa();
// The instruction set the resamplers use: BestIsa() unless a test or benchmark chose another.
Isa ActiveIsa();
// Picks the instruction set for later calls (falls back to Plain when the processor lacks it).
void SetActiveIsa(Isa isa);

const RowKernels& KernelsFor(Isa isa);

// The plain and vectorised kernels; the vectorised ones are only called when BestIsa() allows.
extern const RowKernels kPlainKernels;
extern const RowKernels kAvx2Kernels;

// Rounding and clamping shared by every implementation.
inline int16_t ClampMid(int32_t v) {
    return static_cast<int16_t>(v < 0 ? 0 : (v > kMidMax ? kMidMax : v));
}
inline uint8_t ClampByte(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }
inline constexpr int kFirstShift = kWeightBits - kMidBits;
inline constexpr int kSecondShift = kWeightBits + kMidBits;
inline constexpr int32_t kFirstHalf = 1 << (kFirstShift - 1);
inline constexpr int32_t kSecondHalf = 1 << (kSecondShift - 1);

}  // namespace kv::resample
