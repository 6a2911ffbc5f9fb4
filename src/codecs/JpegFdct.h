#pragma once

#include <array>
#include <cstdint>

namespace SlimJpeg {

// The quantisation divisors of one component, Q[k] * ForwardDctScales()[k] for its table Q (so
// quantisation also removes the transform's scaling), each with a reciprocal that divides exactly:
// for 0 <= n < 2^32 and 1 < d < 2^32, floor(n * ceil(2^64 / d) / 2^64) equals floor(n / d), because
// the reciprocal's excess adds less than 2^-32 <= 1/d to the quotient.
//
// The vector routine divides numerators below 2^31 with a 32-bit multiplier and a shift instead:
// with l = ceil(log2 d), m = floor(2^(31+l) / d) + 1 < 2^32 and s = 31 + l,
// floor(n * m / 2^s) = floor(n / d) for 0 <= n < 2^31 (Granlund and Montgomery, 1994).
struct FdctDivisors {
    alignas(32) std::array<int32_t, 64> divisor{};
    std::array<uint64_t, 64> reciprocal{};
    alignas(32) std::array<uint32_t, 64> multiplier{};
    alignas(32) std::array<uint64_t, 64> shift{};

    void Set(int k, int32_t d);
};

// floor(n / d) by the reciprocal of d.
inline uint32_t DivideByReciprocal(uint64_t n, uint64_t reciprocal) {
    __extension__ using Wide = unsigned __int128;
    return static_cast<uint32_t>((static_cast<Wide>(n) * reciprocal) >> 64);
}

// Transforms one block of 64 samples (raster order, 16-bit, normally 0..256) in place into quantised
// coefficients in natural order. Every divisor must be above 1 (the scales alone are at least 2494).
//
// The transform is the scaled separable fast algorithm in 32-bit integers with 8-bit constants;
// samples in the range the colour conversion produces keep every sum well inside 32 bits.
using ForwardDctRoutine = void (*)(int16_t* block, const FdctDivisors& divisors);

void ForwardDctScalar(int16_t* block, const FdctDivisors& divisors);
// The same arithmetic eight lanes at a time; only for processors with AVX2.
void ForwardDctAvx2(int16_t* block, const FdctDivisors& divisors);

// The fastest routine this processor runs; every routine gives the same coefficients.
ForwardDctRoutine SelectForwardDct();

}  // namespace SlimJpeg
