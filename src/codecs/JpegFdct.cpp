#include "codecs/JpegFdct.h"

#include "base/CpuFeatures.h"

#if KV_X86
#include <immintrin.h>

#include "codecs/JpegAvx2.h"
#endif

namespace SlimJpeg {

void FdctDivisors::Set(int k, int32_t d) {
    divisor[k] = d;
    reciprocal[k] = d > 1 ? ~uint64_t{0} / static_cast<uint64_t>(d) + 1 : 0;
    int l = 0;
    while (l < 32 && (uint64_t{1} << l) < static_cast<uint64_t>(d)) ++l;
    const uint64_t m = d > 2 ? (uint64_t{1} << (31 + l)) / static_cast<uint64_t>(d) + 1 : 0;
    multiplier[k] = static_cast<uint32_t>(m);
    shift[k] = static_cast<uint64_t>(31 + l);
}

namespace {

inline int32_t F(int32_t x) { return (x + 128) >> 8; }

template <int Stride>
inline void Butterfly(int32_t* x) {
    const int32_t tmp0 = x[0] + x[7 * Stride];
    const int32_t tmp7 = x[0] - x[7 * Stride];
    const int32_t tmp1 = x[Stride] + x[6 * Stride];
    const int32_t tmp6 = x[Stride] - x[6 * Stride];
    const int32_t tmp2 = x[2 * Stride] + x[5 * Stride];
    const int32_t tmp5 = x[2 * Stride] - x[5 * Stride];
    const int32_t tmp3 = x[3 * Stride] + x[4 * Stride];
    const int32_t tmp4 = x[3 * Stride] - x[4 * Stride];

    const int32_t tmp10 = tmp0 + tmp3;
    const int32_t tmp13 = tmp0 - tmp3;
    const int32_t tmp11 = tmp1 + tmp2;
    const int32_t tmp12 = tmp1 - tmp2;
    x[0] = tmp10 + tmp11;
    x[4 * Stride] = tmp10 - tmp11;
    const int32_t z1 = 181 * F(tmp12 + tmp13);
    x[2 * Stride] = tmp13 + z1;
    x[6 * Stride] = tmp13 - z1;

    const int32_t p = tmp4 + tmp5;
    const int32_t r = tmp5 + tmp6;
    const int32_t t = tmp6 + tmp7;
    const int32_t e = F(t - p);
    const int32_t z3 = 181 * F(r);
    const int32_t z11 = tmp7 + z3;
    const int32_t z13 = tmp7 - z3;
    const int32_t z4 = 334 * F(t) - 98 * e;
    const int32_t z2 = 139 * F(p) - 98 * e;
    x[Stride] = z11 + z4;
    x[7 * Stride] = z11 - z4;
    x[5 * Stride] = z13 + z2;
    x[3 * Stride] = z13 - z2;
}

}  // namespace

void ForwardDctScalar(int16_t* block, const FdctDivisors& divisors) {
    int32_t ws[64];
    for (int i = 0; i < 64; ++i) ws[i] = (block[i] - 128) * 65536;
    for (int row = 0; row < 8; ++row) Butterfly<1>(ws + 8 * row);
    for (int col = 0; col < 8; ++col) Butterfly<8>(ws + col);
    for (int k = 0; k < 64; ++k) {
        const int32_t x = ws[k];
        const int32_t half = divisors.divisor[k] / 2;
        const int32_t y = (x + 8) >> 4;
        // (y + half) / d for x >= 0 and -((half - y) / d) below, both on non-negative numerators.
        const auto n = static_cast<uint64_t>(x >= 0 ? y + half : half - y);
        const auto q = static_cast<int32_t>(DivideByReciprocal(n, divisors.reciprocal[k]));
        block[k] = static_cast<int16_t>(x >= 0 ? q : -q);
    }
}

#if KV_X86

namespace {

using namespace SlimJpeg::avx2;


KV_TARGET_AVX2 inline void ButterflyV(__m256i* x) {
    const __m256i tmp0 = _mm256_add_epi32(x[0], x[7]);
    const __m256i tmp7 = _mm256_sub_epi32(x[0], x[7]);
    const __m256i tmp1 = _mm256_add_epi32(x[1], x[6]);
    const __m256i tmp6 = _mm256_sub_epi32(x[1], x[6]);
    const __m256i tmp2 = _mm256_add_epi32(x[2], x[5]);
    const __m256i tmp5 = _mm256_sub_epi32(x[2], x[5]);
    const __m256i tmp3 = _mm256_add_epi32(x[3], x[4]);
    const __m256i tmp4 = _mm256_sub_epi32(x[3], x[4]);

    const __m256i tmp10 = _mm256_add_epi32(tmp0, tmp3);
    const __m256i tmp13 = _mm256_sub_epi32(tmp0, tmp3);
    const __m256i tmp11 = _mm256_add_epi32(tmp1, tmp2);
    const __m256i tmp12 = _mm256_sub_epi32(tmp1, tmp2);
    x[0] = _mm256_add_epi32(tmp10, tmp11);
    x[4] = _mm256_sub_epi32(tmp10, tmp11);
    const __m256i z1 = Mul(Fv(_mm256_add_epi32(tmp12, tmp13)), 181);
    x[2] = _mm256_add_epi32(tmp13, z1);
    x[6] = _mm256_sub_epi32(tmp13, z1);

    const __m256i p = _mm256_add_epi32(tmp4, tmp5);
    const __m256i r = _mm256_add_epi32(tmp5, tmp6);
    const __m256i t = _mm256_add_epi32(tmp6, tmp7);
    const __m256i e98 = Mul(Fv(_mm256_sub_epi32(t, p)), 98);
    const __m256i z3 = Mul(Fv(r), 181);
    const __m256i z11 = _mm256_add_epi32(tmp7, z3);
    const __m256i z13 = _mm256_sub_epi32(tmp7, z3);
    const __m256i z4 = _mm256_sub_epi32(Mul(Fv(t), 334), e98);
    const __m256i z2 = _mm256_sub_epi32(Mul(Fv(p), 139), e98);
    x[1] = _mm256_add_epi32(z11, z4);
    x[7] = _mm256_sub_epi32(z11, z4);
    x[5] = _mm256_add_epi32(z13, z2);
    x[3] = _mm256_sub_epi32(z13, z2);
}

// floor(n / d) in eight lanes for 0 <= n < 2^31, by the 32-bit multipliers and their shifts.
KV_TARGET_AVX2 inline __m256i Divide(__m256i n, const uint32_t* multiplier, const uint64_t* shift) {
    const __m256i m = _mm256_load_si256(reinterpret_cast<const __m256i*>(multiplier));
    // Lanes 0, 2, 4, 6 and lanes 1, 3, 5, 7 as 64-bit products, each shifted by its own amount.
    const __m256i shiftEven = _mm256_setr_epi64x(static_cast<int64_t>(shift[0]), static_cast<int64_t>(shift[2]),
                                                 static_cast<int64_t>(shift[4]), static_cast<int64_t>(shift[6]));
    const __m256i shiftOdd = _mm256_setr_epi64x(static_cast<int64_t>(shift[1]), static_cast<int64_t>(shift[3]),
                                                static_cast<int64_t>(shift[5]), static_cast<int64_t>(shift[7]));
    const __m256i even = _mm256_srlv_epi64(_mm256_mul_epu32(n, m), shiftEven);
    const __m256i odd = _mm256_srlv_epi64(_mm256_mul_epu32(_mm256_srli_epi64(n, 32), _mm256_srli_epi64(m, 32)), shiftOdd);
    return _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA);
}

}  // namespace

KV_TARGET_AVX2 void ForwardDctAvx2(int16_t* block, const FdctDivisors& divisors) {
    // Pass 1 runs along the rows, so each lane takes one row: the vectors hold the block's columns.
    __m256i v[8];
    const __m256i centre = _mm256_set1_epi32(128);
    for (int j = 0; j < 8; ++j) {
        const __m256i s = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * j)));
        v[j] = _mm256_slli_epi32(_mm256_sub_epi32(s, centre), 16);
    }
    Transpose8x8(v);
    ButterflyV(v);
    // Pass 2 runs down the columns: each lane takes one column, the vectors hold the rows.
    Transpose8x8(v);
    ButterflyV(v);
    const __m256i eight = _mm256_set1_epi32(8);
    for (int row = 0; row < 8; ++row) {
        const __m256i x = v[row];
        const __m256i half = _mm256_srli_epi32(
            _mm256_load_si256(reinterpret_cast<const __m256i*>(divisors.divisor.data() + 8 * row)), 1);
        const __m256i y = _mm256_srai_epi32(_mm256_add_epi32(x, eight), 4);
        const __m256i negative = _mm256_srai_epi32(x, 31);
        // y + half for x >= 0, half - y below: both non-negative.
        const __m256i signedY = _mm256_sub_epi32(_mm256_xor_si256(y, negative), negative);
        const __m256i q = Divide(_mm256_add_epi32(half, signedY), divisors.multiplier.data() + 8 * row,
                                 divisors.shift.data() + 8 * row);
        const __m256i result = _mm256_sub_epi32(_mm256_xor_si256(q, negative), negative);
        const __m128i packed = _mm_packs_epi32(_mm256_castsi256_si128(result), _mm256_extracti128_si256(result, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * row), packed);
    }
}

ForwardDctRoutine SelectForwardDct() {
    static const ForwardDctRoutine routine = kv::CpuHas(kv::InstructionSet::Avx2) ? ForwardDctAvx2 : ForwardDctScalar;
    return routine;
}

#else

void ForwardDctAvx2(int16_t* block, const FdctDivisors& divisors) { ForwardDctScalar(block, divisors); }

ForwardDctRoutine SelectForwardDct() { return ForwardDctScalar; }

#endif

}  // namespace SlimJpeg
