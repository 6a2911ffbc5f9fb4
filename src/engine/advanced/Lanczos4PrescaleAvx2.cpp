// The prescale's row kernel with AVX2 instructions. It is compiled for AVX2 on its own and called
// only after the processor was found to support it; the rest of the program keeps the baseline
// instruction set. Integer sums in another order give the same integers, so the bytes equal those
// of the plain kernel.
#include "engine/advanced/Lanczos4PrescaleRow.h"

#include <cstddef>

#if KV_X86
#include <immintrin.h>

namespace kv::advanced::prescale {

namespace {


// One tap row: eight 32-bit products of the row's weights with eight widened samples.
KV_TARGET_AVX2 inline __m256i TapRow(const int32_t* samples, __m256i weights) {
    return _mm256_mullo_epi32(weights, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples)));
}

KV_TARGET_AVX2 void RowAvx2Colour(const RowJob& job) {
    const ClampTable& clamp = *job.clamp;
    for (int32_t b = 0; b < job.width; ++b) {
        const int32_t* w = job.weights + static_cast<ptrdiff_t>(job.slot[b]) * 64;
        const int32_t first = job.base[b];
        __m256i blue = _mm256_setzero_si256();
        __m256i green = _mm256_setzero_si256();
        __m256i red = _mm256_setzero_si256();
        for (int32_t r = 0; r < 8; ++r) {
            const __m256i wr = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + 8 * r));
            blue = _mm256_add_epi32(blue, TapRow(job.taps[3 * r] + first, wr));
            green = _mm256_add_epi32(green, TapRow(job.taps[3 * r + 1] + first, wr));
            red = _mm256_add_epi32(red, TapRow(job.taps[3 * r + 2] + first, wr));
        }
        // Lanes of (blue, green, red, red) summed pairwise down to one 128-bit vector B G R R.
        const __m256i bg = _mm256_hadd_epi32(blue, green);
        const __m256i rr = _mm256_hadd_epi32(red, red);
        const __m256i s = _mm256_hadd_epi32(bg, rr);
        const __m128i sums =
            _mm_srai_epi32(_mm_add_epi32(_mm256_castsi256_si128(s), _mm256_extracti128_si256(s, 1)), 16);
        uint8_t* out = job.out + 3 * static_cast<ptrdiff_t>(b);
        out[0] = clamp(_mm_cvtsi128_si32(sums));
        out[1] = clamp(_mm_extract_epi32(sums, 1));
        out[2] = clamp(_mm_extract_epi32(sums, 2));
    }
}

KV_TARGET_AVX2 void RowAvx2Grey(const RowJob& job) {
    const ClampTable& clamp = *job.clamp;
    for (int32_t b = 0; b < job.width; ++b) {
        const int32_t* w = job.weights + static_cast<ptrdiff_t>(job.slot[b]) * 64;
        const int32_t first = job.base[b];
        __m256i acc = _mm256_setzero_si256();
        for (int32_t r = 0; r < 8; ++r)
            acc = _mm256_add_epi32(
                acc, TapRow(job.taps[r] + first, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + 8 * r))));
        __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
        sum = _mm_hadd_epi32(sum, sum);
        sum = _mm_hadd_epi32(sum, sum);
        job.out[b] = clamp(_mm_cvtsi128_si32(sum) >> 16);
    }
}

}  // namespace

void RowAvx2(const RowJob& job) {
    if (job.channels == 3)
        RowAvx2Colour(job);
    else
        RowAvx2Grey(job);
}

}  // namespace kv::advanced::prescale

#endif
