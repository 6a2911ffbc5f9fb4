#pragma once

// Vector pieces shared by the forward and inverse transforms: the 8-bit fixed-point multiply of
// the fast transform and an 8x8 transpose of 32-bit lanes. Only for files that choose the AVX2
// path at run time; every function carries its own target attribute.

#include <immintrin.h>

#include "base/CpuFeatures.h"

namespace SlimJpeg::avx2 {

// (x + 128) >> 8: a product of the 8-bit constants brought back to the sample scale.
KV_TARGET_AVX2 inline __m256i Fv(__m256i x) { return _mm256_srai_epi32(_mm256_add_epi32(x, _mm256_set1_epi32(128)), 8); }
KV_TARGET_AVX2 inline __m256i Mul(__m256i x, int c) { return _mm256_mullo_epi32(x, _mm256_set1_epi32(c)); }

KV_TARGET_AVX2 inline void Transpose8x8(__m256i* r) {
    const __m256i t0 = _mm256_unpacklo_epi32(r[0], r[1]);
    const __m256i t1 = _mm256_unpackhi_epi32(r[0], r[1]);
    const __m256i t2 = _mm256_unpacklo_epi32(r[2], r[3]);
    const __m256i t3 = _mm256_unpackhi_epi32(r[2], r[3]);
    const __m256i t4 = _mm256_unpacklo_epi32(r[4], r[5]);
    const __m256i t5 = _mm256_unpackhi_epi32(r[4], r[5]);
    const __m256i t6 = _mm256_unpacklo_epi32(r[6], r[7]);
    const __m256i t7 = _mm256_unpackhi_epi32(r[6], r[7]);
    const __m256i u0 = _mm256_unpacklo_epi64(t0, t2);
    const __m256i u1 = _mm256_unpackhi_epi64(t0, t2);
    const __m256i u2 = _mm256_unpacklo_epi64(t1, t3);
    const __m256i u3 = _mm256_unpackhi_epi64(t1, t3);
    const __m256i u4 = _mm256_unpacklo_epi64(t4, t6);
    const __m256i u5 = _mm256_unpackhi_epi64(t4, t6);
    const __m256i u6 = _mm256_unpacklo_epi64(t5, t7);
    const __m256i u7 = _mm256_unpackhi_epi64(t5, t7);
    r[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
    r[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
    r[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
    r[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
    r[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
    r[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
    r[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
    r[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

}  // namespace SlimJpeg::avx2
