// The row kernels with AVX2 instructions. Each function is compiled for AVX2 on its own and only
// called after the processor was found to support it, so the rest of the program keeps the
// baseline instruction set.
#include "engine/ResampleKernels.h"

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kv::resample {

#if defined(__x86_64__)

namespace {

#define KV_AVX2 __attribute__((target("avx2")))

// Spreads four B,G,R pixels over two lanes as 16-bit pairs: lane 0 holds (b0 b1 g0 g1 r0 r1 0 0)
// and lane 1 the same for pixels 2 and 3, ready to be multiplied by weight pairs.
KV_AVX2 inline __m256i PairShuffle() {
    return _mm256_setr_epi8(0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1,  //
                            6, -1, 9, -1, 7, -1, 10, -1, 8, -1, 11, -1, -1, -1, -1, -1);
}

KV_AVX2 void HorizontalAvx2(const uint8_t* src, int32_t srcWidth, const WeightTable& table, int16_t* out) {
    const __m256i shuffle = PairShuffle();
    const __m256i spread = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
    const __m128i half = _mm_set1_epi32(kFirstHalf);
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_set1_epi16(kMidMax);
    const int64_t rowBytes = 3 * static_cast<int64_t>(srcWidth);
    for (int32_t i = 0; i < table.outCount; ++i) {
        const int32_t first = table.first[static_cast<size_t>(i)];
        const int32_t count = table.count[static_cast<size_t>(i)];
        const int32_t groups = (count + 3) >> 2;
        const int16_t* w = table.Weights(i);
        int16_t* o = out + 3 * static_cast<ptrdiff_t>(i);
        // A group reads 16 bytes from its first pixel; near the row's end that would pass the last
        // byte of the source, so those pixels take the plain sum (the same integers).
        if (3 * (static_cast<int64_t>(first) + 4 * groups) + 4 > rowBytes) {
            const uint8_t* p = src + 3 * static_cast<ptrdiff_t>(first);
            int32_t b = kFirstHalf;
            int32_t g = kFirstHalf;
            int32_t r = kFirstHalf;
            for (int32_t k = 0; k < count; ++k, p += 3) {
                b += w[k] * p[0];
                g += w[k] * p[1];
                r += w[k] * p[2];
            }
            o[0] = ClampMid(b >> kFirstShift);
            o[1] = ClampMid(g >> kFirstShift);
            o[2] = ClampMid(r >> kFirstShift);
            continue;
        }
        const uint8_t* p = src + 3 * static_cast<ptrdiff_t>(first);
        __m256i acc = _mm256_setzero_si256();
        for (int32_t gi = 0; gi < groups; ++gi, p += 12, w += 4) {
            const __m256i pixels =
                _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                                    shuffle);
            const __m256i weights = _mm256_permutevar8x32_epi32(
                _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(w))), spread);
            acc = _mm256_add_epi32(acc, _mm256_madd_epi16(pixels, weights));
        }
        __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
        sum = _mm_srai_epi32(_mm_add_epi32(sum, half), kFirstShift);
        __m128i packed = _mm_packs_epi32(sum, sum);
        packed = _mm_min_epi16(_mm_max_epi16(packed, zero), top);
        // Four values land here; the fourth is overwritten by the next pixel or falls in the padding.
        _mm_storel_epi64(reinterpret_cast<__m128i*>(o), packed);
    }
    out[3 * static_cast<ptrdiff_t>(table.outCount)] = 0;
}

KV_AVX2 inline __m128i VerticalBlock(const int16_t* rows, ptrdiff_t rowStride, const int16_t* weights, int32_t count,
                                     int32_t x) {
    const __m256i half = _mm256_set1_epi32(kSecondHalf);
    __m256i lo = half;
    __m256i hi = half;
    for (int32_t k = 0; k < count; k += 2) {
        const int16_t* a = rows + k * rowStride + x;
        // An odd count pairs its last row with itself under a zero weight (the table is padded).
        const int16_t* b = k + 1 < count ? a + rowStride : a;
        int32_t pair;
        std::memcpy(&pair, weights + k, sizeof pair);
        const __m256i w = _mm256_set1_epi32(pair);
        const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
        const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b));
        lo = _mm256_add_epi32(lo, _mm256_madd_epi16(_mm256_unpacklo_epi16(va, vb), w));
        hi = _mm256_add_epi32(hi, _mm256_madd_epi16(_mm256_unpackhi_epi16(va, vb), w));
    }
    lo = _mm256_srai_epi32(lo, kSecondShift);
    hi = _mm256_srai_epi32(hi, kSecondShift);
    // The unpacks split each lane in halves; packing lo with hi puts the 16 values back in order.
    const __m256i words = _mm256_packs_epi32(lo, hi);
    return _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
}

KV_AVX2 void VerticalAvx2(const int16_t* rows, ptrdiff_t rowStride, const int16_t* weights, int32_t count, uint8_t* out,
                          int32_t n) {
    int32_t x = 0;
    for (; x + 16 <= n; x += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), VerticalBlock(rows, rowStride, weights, count, x));
    if (x < n) {
        alignas(16) uint8_t tail[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(tail), VerticalBlock(rows, rowStride, weights, count, x));
        std::memcpy(out + x, tail, static_cast<size_t>(n - x));
    }
}

#undef KV_AVX2

}  // namespace

const RowKernels kAvx2Kernels = {HorizontalAvx2, VerticalAvx2};

#else

const RowKernels kAvx2Kernels = kPlainKernels;

#endif

}  // namespace kv::resample
