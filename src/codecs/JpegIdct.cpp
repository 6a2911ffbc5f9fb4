#include "codecs/JpegIdct.h"

#include <cstring>

#include "base/CpuFeatures.h"

#if KV_X86
#include <immintrin.h>

#include "codecs/JpegAvx2.h"
#endif

namespace SlimJpeg {

namespace {

// Unsigned arithmetic wraps exactly as the 32-bit two's complement values it stands for.
using u32 = uint32_t;

// (x + 128) >> 8 with an arithmetic shift: drops the 8 fraction bits of a constant's product.
inline u32 F(u32 x) { return static_cast<u32>(static_cast<int32_t>(x + 128) >> 8); }

// The one-dimensional butterfly shared by both passes, on d[0], d[stride], ... d[7 * stride].
template <int Stride>
inline void Butterfly(u32* d) {
    const u32 d0 = d[0], d1 = d[Stride], d2 = d[2 * Stride], d3 = d[3 * Stride];
    const u32 d4 = d[4 * Stride], d5 = d[5 * Stride], d6 = d[6 * Stride], d7 = d[7 * Stride];

    const u32 tmp10 = d0 + d4;
    const u32 tmp11 = d0 - d4;
    const u32 tmp13 = d2 + d6;
    const u32 tmp12 = F(d2 - d6) * 362 - tmp13;
    const u32 tmp0 = tmp10 + tmp13;
    const u32 tmp3 = tmp10 - tmp13;
    const u32 tmp1 = tmp11 + tmp12;
    const u32 tmp2 = tmp11 - tmp12;

    const u32 z13 = d5 + d3;
    const u32 z10 = d5 - d3;
    const u32 z11 = d1 + d7;
    const u32 z12 = d1 - d7;
    const u32 tmp7 = z11 + z13;
    const u32 e = F(z10 - z12);
    const u32 tmp6 = F(z12) * 277 - 196 * e - tmp7;
    const u32 tmp5 = F(z11 - z13) * 362 - tmp6;
    const u32 tmp4 = F(z10) * 669 - 196 * e - tmp5;

    d[0] = tmp0 + tmp7;
    d[Stride] = tmp1 + tmp6;
    d[2 * Stride] = tmp2 + tmp5;
    d[3 * Stride] = tmp3 + tmp4;
    d[4 * Stride] = tmp3 - tmp4;
    d[5 * Stride] = tmp2 - tmp5;
    d[6 * Stride] = tmp1 - tmp6;
    d[7 * Stride] = tmp0 - tmp7;
}

inline int16_t ToSample(u32 x) {
    const int32_t v = (static_cast<int32_t>(x + 32768) >> 16) + 128;
    return static_cast<int16_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// A block with no AC coefficient is flat: both passes pass the DC product through unchanged.
inline bool OnlyDc(const int16_t* block) {
    uint64_t words[16];
    std::memcpy(words, block, sizeof(words));
    uint64_t any = words[0] & ~uint64_t{0xFFFF};
    for (int i = 1; i < 16; ++i) any |= words[i];
    return any == 0;
}

inline void FillFlat(int16_t* block, const IdctMultipliers& m) {
    const int16_t sample = ToSample(static_cast<u32>(int32_t{block[0]}) * static_cast<u32>(m.natural[0]));
    for (int i = 0; i < 64; ++i) block[i] = sample;
}

}  // namespace

void InverseDctScalar(int16_t* block, const IdctMultipliers& multipliers) {
    if (OnlyDc(block)) return FillFlat(block, multipliers);
    u32 ws[64];
    for (int row = 0; row < 8; ++row) {
        const int16_t* c = block + 8 * row;
        const int32_t* m = multipliers.natural.data() + 8 * row;
        u32* w = ws + 8 * row;
        // A row whose AC coefficients are all zero comes out of the butterfly as its DC product.
        if ((c[1] | c[2] | c[3] | c[4] | c[5] | c[6] | c[7]) == 0) {
            const u32 dc = static_cast<u32>(int32_t{c[0]}) * static_cast<u32>(m[0]);
            for (int i = 0; i < 8; ++i) w[i] = dc;
            continue;
        }
        for (int i = 0; i < 8; ++i) w[i] = static_cast<u32>(int32_t{c[i]}) * static_cast<u32>(m[i]);
        Butterfly<1>(w);
    }
    for (int col = 0; col < 8; ++col) {
        u32* w = ws + col;
        if ((w[8] | w[16] | w[24] | w[32] | w[40] | w[48] | w[56]) == 0) {
            const int16_t sample = ToSample(w[0]);
            for (int i = 0; i < 8; ++i) block[8 * i + col] = sample;
            continue;
        }
        Butterfly<8>(w);
        for (int i = 0; i < 8; ++i) block[8 * i + col] = ToSample(w[8 * i]);
    }
}

#if KV_X86

namespace {

using namespace SlimJpeg::avx2;


// The butterfly on eight vectors; each lane runs its own one-dimensional transform.
KV_TARGET_AVX2 inline void ButterflyV(__m256i* d) {
    const __m256i tmp10 = _mm256_add_epi32(d[0], d[4]);
    const __m256i tmp11 = _mm256_sub_epi32(d[0], d[4]);
    const __m256i tmp13 = _mm256_add_epi32(d[2], d[6]);
    const __m256i tmp12 = _mm256_sub_epi32(Mul(Fv(_mm256_sub_epi32(d[2], d[6])), 362), tmp13);
    const __m256i tmp0 = _mm256_add_epi32(tmp10, tmp13);
    const __m256i tmp3 = _mm256_sub_epi32(tmp10, tmp13);
    const __m256i tmp1 = _mm256_add_epi32(tmp11, tmp12);
    const __m256i tmp2 = _mm256_sub_epi32(tmp11, tmp12);

    const __m256i z13 = _mm256_add_epi32(d[5], d[3]);
    const __m256i z10 = _mm256_sub_epi32(d[5], d[3]);
    const __m256i z11 = _mm256_add_epi32(d[1], d[7]);
    const __m256i z12 = _mm256_sub_epi32(d[1], d[7]);
    const __m256i tmp7 = _mm256_add_epi32(z11, z13);
    const __m256i e196 = Mul(Fv(_mm256_sub_epi32(z10, z12)), 196);
    const __m256i tmp6 = _mm256_sub_epi32(_mm256_sub_epi32(Mul(Fv(z12), 277), e196), tmp7);
    const __m256i tmp5 = _mm256_sub_epi32(Mul(Fv(_mm256_sub_epi32(z11, z13)), 362), tmp6);
    const __m256i tmp4 = _mm256_sub_epi32(_mm256_sub_epi32(Mul(Fv(z10), 669), e196), tmp5);

    d[0] = _mm256_add_epi32(tmp0, tmp7);
    d[1] = _mm256_add_epi32(tmp1, tmp6);
    d[2] = _mm256_add_epi32(tmp2, tmp5);
    d[3] = _mm256_add_epi32(tmp3, tmp4);
    d[4] = _mm256_sub_epi32(tmp3, tmp4);
    d[5] = _mm256_sub_epi32(tmp2, tmp5);
    d[6] = _mm256_sub_epi32(tmp1, tmp6);
    d[7] = _mm256_sub_epi32(tmp0, tmp7);
}

}  // namespace

KV_TARGET_AVX2 void InverseDctAvx2(int16_t* block, const IdctMultipliers& multipliers) {
    if (OnlyDc(block)) return FillFlat(block, multipliers);
    // Pass 1 runs along the rows, so each lane takes one row: the vectors hold the block's columns.
    __m256i v[8];
    for (int j = 0; j < 8; ++j)
        v[j] = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * j)));
    Transpose8x8(v);
    for (int j = 0; j < 8; ++j)
        v[j] = _mm256_mullo_epi32(
            v[j], _mm256_load_si256(reinterpret_cast<const __m256i*>(multipliers.transposed.data() + 8 * j)));
    ButterflyV(v);
    // Pass 2 runs down the columns: each lane takes one column, the vectors hold the rows.
    Transpose8x8(v);
    ButterflyV(v);
    const __m256i half = _mm256_set1_epi32(32768);
    const __m256i offset = _mm256_set1_epi32(128);
    const __m128i low = _mm_setzero_si128();
    const __m128i high = _mm_set1_epi16(255);
    for (int i = 0; i < 8; ++i) {
        const __m256i x = _mm256_add_epi32(_mm256_srai_epi32(_mm256_add_epi32(v[i], half), 16), offset);
        // Saturating to 16 bits keeps every value on the same side of 0..255 for the clamp.
        __m128i s = _mm_packs_epi32(_mm256_castsi256_si128(x), _mm256_extracti128_si256(x, 1));
        s = _mm_min_epi16(_mm_max_epi16(s, low), high);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * i), s);
    }
}

InverseDctRoutine SelectInverseDct() {
    static const InverseDctRoutine routine = kv::CpuHas(kv::InstructionSet::Avx2) ? InverseDctAvx2 : InverseDctScalar;
    return routine;
}

#else

void InverseDctAvx2(int16_t* block, const IdctMultipliers& multipliers) { InverseDctScalar(block, multipliers); }

InverseDctRoutine SelectInverseDct() { return InverseDctScalar; }

#endif

}  // namespace SlimJpeg
