// The row kernels with AVX2 instructions. Each function is compiled for AVX2 on its own and only
// called after the processor was found to support it, so the rest of the program keeps the
// baseline instruction set.
//
// A horizontal sum makes two output pixels at once, one in each lane, two taps at a time: the two
// source pixels of a lane are spread as 16-bit pairs (b0 b1 g0 g1 r0 r1 0 0) and multiplied by the
// weight pair (w0 w1) repeated, so one multiply-add covers two taps of three channels of two pixels.
#include "engine/ResampleKernels.h"

#include <algorithm>
#include <cstring>

#if KV_X86
#include <immintrin.h>
#endif

namespace kv::resample {

#if KV_X86

namespace {


// The weights of output pixels 2m and 2m + 1, step s, become eight 32-bit words: the pair
// (w[2s], w[2s + 1]) of the first pixel four times for the low lane, the second's for the high one.
void PrepareAvx2(WeightTable& table) {
    const int32_t steps = table.stride / 2;
    const int32_t pairs = (table.outCount + 1) / 2;
    table.vectorWeights.assign(static_cast<size_t>(pairs) * static_cast<size_t>(steps) * 8, 0);
    for (int32_t i = 0; i < table.outCount; ++i) {
        const int16_t* w = table.Weights(i);
        int32_t* out = table.vectorWeights.data() + static_cast<ptrdiff_t>(i / 2) * steps * 8 + (i % 2) * 4;
        for (int32_t step = 0; step < steps; ++step, w += 2, out += 8) {
            int32_t pair;
            std::memcpy(&pair, w, sizeof pair);
            for (int j = 0; j < 4; ++j) out[j] = pair;
        }
    }
}

// Whether the steps of a pixel starting at `first` stay inside the readable values of the row: a
// step reads 8 values (bytes or int16) of which its two pixels use 6.
bool StepsFit(int64_t first, int32_t steps, int64_t readable) { return 3 * (first + 2 * steps) + 2 <= readable; }

// Loads the two source pixels of step s for each lane: 8 bytes or 8 int16 from a and from b.
KV_TARGET_AVX2 inline __m256i LoadLanes(const uint8_t* a, const uint8_t* b) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a))),
                                   _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)), 1);
}
KV_TARGET_AVX2 inline __m256i LoadLanes(const int16_t* a, const int16_t* b) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a))),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)), 1);
}

// (b0 g0 r0 b1 g1 r1 . .) as bytes or as 16-bit values, to the pairs (b0 b1 g0 g1 r0 r1 0 0).
KV_TARGET_AVX2 inline __m256i PairShuffle(const uint8_t*) {
    return _mm256_setr_epi8(0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1,  //
                            0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1);
}
KV_TARGET_AVX2 inline __m256i PairShuffle(const int16_t*) {
    return _mm256_setr_epi8(0, 1, 6, 7, 2, 3, 8, 9, 4, 5, 10, 11, -1, -1, -1, -1,  //
                            0, 1, 6, 7, 2, 3, 8, 9, 4, 5, 10, 11, -1, -1, -1, -1);
}

// The sums of output pixels i and i + 1: (b g r 0) in each lane, not yet rounded. kSteps > 0 fixes
// the number of steps so the short kernels of enlargements run without a loop.
template <int kSteps, typename In>
KV_TARGET_AVX2 inline __m256i SumTwo(const In* a, const In* b, int32_t steps, const int32_t* w, __m256i shuffle) {
    if constexpr (kSteps > 0) steps = kSteps;
    __m256i acc = _mm256_setzero_si256();
    for (int32_t s = 0; s < steps; ++s, a += 6, b += 6, w += 8) {
        const __m256i pixels = _mm256_shuffle_epi8(LoadLanes(a, b), shuffle);
        acc = _mm256_add_epi32(acc, _mm256_madd_epi16(pixels, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w))));
    }
    return acc;
}

// The plain sum of one pixel, kept out of line so the vector loop keeps its registers.
template <typename In, typename Out, Out (*Finish)(int32_t)>
__attribute__((noinline)) void PlainPixel(const In* src, const WeightTable& table, int32_t origin, int32_t i, Out* out) {
    PixelSum<In, Out, Finish>(src + 3 * static_cast<ptrdiff_t>(table.first[static_cast<size_t>(i)] - origin),
                              table.Weights(i), table.count[static_cast<size_t>(i)], out + 3 * static_cast<ptrdiff_t>(i));
}

// Runs the horizontal pass two pixels at a time; a pair whose reads would pass the readable values,
// and an odd last pixel, take the plain sum (the same integers). Store(acc, i) writes both pixels.
template <typename In, typename Out, Out (*Finish)(int32_t), typename Store>
KV_TARGET_AVX2 inline void HorizontalPairs(const In* src, int64_t readable, int32_t origin, const WeightTable& table,
                                    Out* out, Store store) {
    // Vector stores may alias anything, so everything the loop reads from the table is held here.
    const int32_t* first = table.first.data();
    const int32_t* count = table.count.data();
    const int32_t* weights = table.vectorWeights.data();
    const int32_t outCount = table.outCount;
    const ptrdiff_t stepStride = table.stride / 2 * 8;
    const __m256i shuffle = PairShuffle(src);
    int32_t i = 0;
    for (; i + 1 < outCount; i += 2, weights += stepStride) {
        const int64_t firstA = first[i] - origin;
        const int64_t firstB = first[i + 1] - origin;
        const int32_t steps = (std::max(count[i], count[i + 1]) + 1) / 2;
        if (!StepsFit(firstA, steps, readable) || !StepsFit(firstB, steps, readable)) {
            PlainPixel<In, Out, Finish>(src, table, origin, i, out);
            PlainPixel<In, Out, Finish>(src, table, origin, i + 1, out);
            continue;
        }
        const In* a = src + 3 * firstA;
        const In* b = src + 3 * firstB;
        switch (steps) {
            case 1: store(SumTwo<1>(a, b, steps, weights, shuffle), i); break;
            case 2: store(SumTwo<2>(a, b, steps, weights, shuffle), i); break;
            default: store(SumTwo<0>(a, b, steps, weights, shuffle), i); break;
        }
    }
    if (i < outCount) PlainPixel<In, Out, Finish>(src, table, origin, i, out);
}

KV_TARGET_AVX2 void HorizontalBytesAvx2(const uint8_t* src, int64_t readable, int32_t origin, const WeightTable& table,
                                 int16_t* out) {
    const __m256i half = _mm256_set1_epi32(kFirstHalf);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i top = _mm256_set1_epi16(kMidMax);
    HorizontalPairs<uint8_t, int16_t, ToMid>(src, readable, origin, table, out, [&](__m256i acc, int32_t i) KV_TARGET_AVX2 {
        const __m256i sum = _mm256_srai_epi32(_mm256_add_epi32(acc, half), kFirstShift);
        const __m256i words = _mm256_min_epi16(_mm256_max_epi16(_mm256_packs_epi32(sum, sum), zero), top);
        // Four values each: the fourth is overwritten by the next pixel or falls past the row.
        int16_t* o = out + 3 * static_cast<ptrdiff_t>(i);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(words));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 3), _mm256_extracti128_si256(words, 1));
    });
}

KV_TARGET_AVX2 void HorizontalMidAvx2(const int16_t* src, int64_t readable, int32_t origin, const WeightTable& table,
                               uint8_t* out) {
    const __m256i half = _mm256_set1_epi32(kSecondHalf);
    const int32_t last = table.outCount - 1;
    HorizontalPairs<int16_t, uint8_t, ToByte>(src, readable, origin, table, out, [&](__m256i acc, int32_t i) KV_TARGET_AVX2 {
        const __m256i sum = _mm256_srai_epi32(_mm256_add_epi32(acc, half), kSecondShift);
        const __m256i words = _mm256_packs_epi32(sum, sum);
        const __m256i bytes = _mm256_packus_epi16(words, words);
        const uint32_t a = static_cast<uint32_t>(_mm256_extract_epi32(bytes, 0));
        const uint32_t b = static_cast<uint32_t>(_mm256_extract_epi32(bytes, 4));
        // The destination row ends at its last pixel: that one gets exactly three bytes.
        uint8_t* o = out + 3 * static_cast<ptrdiff_t>(i);
        std::memcpy(o, &a, 4);
        std::memcpy(o + 3, &b, i + 1 < last ? 4 : 3);
    });
}

KV_TARGET_AVX2 inline __m256i WeightPair(const int16_t* weights, int32_t k) {
    int32_t pair;
    std::memcpy(&pair, weights + k, sizeof pair);
    return _mm256_set1_epi32(pair);
}

KV_TARGET_AVX2 inline __m128i VerticalMidBlock(const int16_t* rows, ptrdiff_t rowStride, const int16_t* weights,
                                        int32_t count, int32_t x) {
    const __m256i half = _mm256_set1_epi32(kSecondHalf);
    __m256i lo = half;
    __m256i hi = half;
    for (int32_t k = 0; k < count; k += 2) {
        const int16_t* a = rows + k * rowStride + x;
        // An odd count pairs its last row with itself under a zero weight (the table is padded).
        const int16_t* b = k + 1 < count ? a + rowStride : a;
        const __m256i w = WeightPair(weights, k);
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

KV_TARGET_AVX2 void VerticalMidAvx2(const int16_t* rows, ptrdiff_t rowStride, const int16_t* weights, int32_t count,
                             uint8_t* out, int32_t n) {
    int32_t x = 0;
    for (; x + 16 <= n; x += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), VerticalMidBlock(rows, rowStride, weights, count, x));
    if (x < n) {
        alignas(16) uint8_t tail[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(tail), VerticalMidBlock(rows, rowStride, weights, count, x));
        std::memcpy(out + x, tail, static_cast<size_t>(n - x));
    }
}

KV_TARGET_AVX2 void VerticalBytesAvx2(const uint8_t* rows, ptrdiff_t rowStride, const int16_t* weights, int32_t count,
                               int16_t* out, int32_t n) {
    const __m256i half = _mm256_set1_epi32(kFirstHalf);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i top = _mm256_set1_epi16(kMidMax);
    int32_t x = 0;
    // Source rows end exactly at their last byte, so only whole blocks are read as vectors.
    for (; x + 16 <= n; x += 16) {
        __m256i lo = half;
        __m256i hi = half;
        for (int32_t k = 0; k < count; k += 2) {
            const uint8_t* a = rows + k * rowStride + x;
            const uint8_t* b = k + 1 < count ? a + rowStride : a;
            const __m256i w = WeightPair(weights, k);
            const __m256i va = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)));
            const __m256i vb = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
            lo = _mm256_add_epi32(lo, _mm256_madd_epi16(_mm256_unpacklo_epi16(va, vb), w));
            hi = _mm256_add_epi32(hi, _mm256_madd_epi16(_mm256_unpackhi_epi16(va, vb), w));
        }
        lo = _mm256_srai_epi32(lo, kFirstShift);
        hi = _mm256_srai_epi32(hi, kFirstShift);
        const __m256i words = _mm256_min_epi16(_mm256_max_epi16(_mm256_packs_epi32(lo, hi), zero), top);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), words);
    }
    for (; x < n; ++x) {
        int32_t sum = 0;
        for (int32_t k = 0; k < count; ++k) sum += weights[k] * rows[k * rowStride + x];
        out[x] = ToMid(sum);
    }
}


}  // namespace

const RowKernels kAvx2Kernels = {PrepareAvx2, HorizontalBytesAvx2, HorizontalMidAvx2, VerticalMidAvx2,
                                 VerticalBytesAvx2};

#else

const RowKernels kAvx2Kernels = kPlainKernels;

#endif

}  // namespace kv::resample
