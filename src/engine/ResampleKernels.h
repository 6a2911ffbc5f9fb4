#pragma once

#include <cstddef>
#include <cstdint>

#include "base/CpuFeatures.h"
#include "engine/ResampleWeights.h"

namespace kv::resample {

// The row operations of the separable resample, for both orders of the two passes. Between the
// passes a row holds intermediate values: kMidBits fractional bits, clamped to 0..kMidMax. Every
// implementation computes the same integers, so the result does not depend on which one runs.
//
// The horizontal operations read pixels first[i] - origin onward of src, where src holds the
// source row from pixel `origin` on and `readable` values (bytes or int16) may be read from it.
// The byte version may write one value past the last pixel of out; the other writes only its pixels.
struct RowKernels {
    // Adds whatever layout of the horizontal weights this set reads to the table.
    void (*prepare)(WeightTable& horizontal);
    void (*horizontalBytes)(const uint8_t* src, int64_t readable, int32_t origin, const WeightTable& table,
                            int16_t* out);
    void (*horizontalMid)(const int16_t* src, int64_t readable, int32_t origin, const WeightTable& table,
                          uint8_t* out);
    // count rows rowStride apart combined into n values. Intermediate rows may be read up to n
    // rounded up to 16 values; byte rows only up to n.
    void (*verticalMid)(const int16_t* rows, ptrdiff_t rowStride, const int16_t* weights, int32_t count,
                        uint8_t* out, int32_t n);
    void (*verticalBytes)(const uint8_t* rows, ptrdiff_t rowStride, const int16_t* weights, int32_t count,
                          int16_t* out, int32_t n);
};

// The resample kernels come plain and with AVX2.
using Isa = InstructionSet;

// The best instruction set this processor offers for the kernels.
Isa BestIsa();
// The instruction set the resamplers use: BestIsa() unless a test or benchmark chose another.
Isa ActiveIsa();
// Picks the instruction set for later calls (falls back to Plain when the processor lacks it).
void SetActiveIsa(Isa isa);

const RowKernels& KernelsFor(Isa isa);

// The horizontal operations for rows of one channel (alpha planes), plain sums of the same integers;
// the vertical ones of any set read rows of values whatever they hold.
void HorizontalBytesSingle(const uint8_t* src, int64_t readable, int32_t origin, const WeightTable& table, int16_t* out);
void HorizontalMidSingle(const int16_t* src, int64_t readable, int32_t origin, const WeightTable& table, uint8_t* out);

// The plain and vectorised kernels; the vectorised ones are only called when BestIsa() allows.
extern const RowKernels kPlainKernels;
extern const RowKernels kAvx2Kernels;

// Rounding and clamping shared by every implementation: the first pass keeps kMidBits fractional
// bits, the second rounds to whole levels.
inline constexpr int kFirstShift = kWeightBits - kMidBits;
inline constexpr int kSecondShift = kWeightBits + kMidBits;
inline constexpr int32_t kFirstHalf = 1 << (kFirstShift - 1);
inline constexpr int32_t kSecondHalf = 1 << (kSecondShift - 1);

inline int16_t ToMid(int32_t sum) {
    const int32_t v = (sum + kFirstHalf) >> kFirstShift;
    return static_cast<int16_t>(v < 0 ? 0 : (v > kMidMax ? kMidMax : v));
}
inline uint8_t ToByte(int32_t sum) {
    const int32_t v = (sum + kSecondHalf) >> kSecondShift;
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// The plain sum of one output pixel, used by every set where vectors cannot reach.
template <typename In, typename Out, Out (*Finish)(int32_t)>
inline void PixelSum(const In* p, const int16_t* w, int32_t count, Out* out) {
    int32_t b = 0;
    int32_t g = 0;
    int32_t r = 0;
    for (int32_t k = 0; k < count; ++k, p += 3) {
        b += w[k] * p[0];
        g += w[k] * p[1];
        r += w[k] * p[2];
    }
    out[0] = Finish(b);
    out[1] = Finish(g);
    out[2] = Finish(r);
}

}  // namespace kv::resample
