#include "codecs/YccToRgb.h"

#include "base/CpuFeatures.h"

#if KV_X86
#include <immintrin.h>
#endif

namespace SlimJpeg {

const YccTables& DecoderColourTables() {
    static const YccTables tables = [] {
        YccTables t;
        for (int32_t i = 0; i < 256; ++i) {
            t.r[i] = (1436 * i - 183296) >> 10;
            t.b[i] = (1815 * i - 231808) >> 10;
            t.gr[i] = (93696 - 731 * i) >> 8;
            t.gb[i] = ((45184 - 352 * i) >> 8) + 2;
        }
        return t;
    }();
    return tables;
}

RowConverter::RowConverter(Kind kind, const std::vector<Component>& components, int hmax, int vmax, int width,
                           int coefficientsPerMcu, bool useVector)
    : kind_(kind),
      width_(width),
      mcuWidth_(8 * hmax),
      mcusPerRow_((width + 8 * hmax - 1) / (8 * hmax)),
      coefficientsPerMcu_(coefficientsPerMcu),
      useVector_(useVector) {
    for (const Component& c : components) {
        maps_.push_back(MakeSamplingMap(c.h, c.v, hmax, vmax, c.firstBlock));
        std::vector<int32_t> columns(static_cast<size_t>(width));
        for (int x = 0; x < width; ++x)
            columns[x] = (x / mcuWidth_) * coefficientsPerMcu + maps_.back().cols[x % mcuWidth_];
        columns_.push_back(std::move(columns));
    }
    if (kind == Kind::Ycc && components[0].h == hmax && components[0].v == vmax && components[1].h == components[2].h &&
        components[1].v == components[2].v && hmax % components[1].h == 0) {
        const int ratio = hmax / components[1].h;
        if (ratio == 1 || ratio == 2 || ratio == 4) {
            replicationRatio_ = ratio;
            chromaH_ = components[1].h;
            crDelta_ = 64 * (components[2].firstBlock - components[1].firstBlock);
        }
    }
}

namespace {

inline uint8_t Clamp(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

}  // namespace

#if KV_X86

namespace {


// Byte shuffles that interleave 16 R, 16 G and 16 B bytes into 48 bytes R, G, B, R, G, B, ...:
// for output vector v and channel c, the source byte of each output byte, or 0x80 for none.
struct InterleaveMasks {
    alignas(16) uint8_t m[3][3][16];
    constexpr InterleaveMasks() : m{} {
        for (int v = 0; v < 3; ++v)
            for (int c = 0; c < 3; ++c)
                for (int j = 0; j < 16; ++j) {
                    const int byte = 16 * v + j;
                    m[v][c][j] = static_cast<uint8_t>(byte % 3 == c ? byte / 3 : 0x80);
                }
    }
};
constexpr InterleaveMasks kInterleave;

KV_TARGET_AVX2 inline __m128i Mask(int v, int c) { return _mm_load_si128(reinterpret_cast<const __m128i*>(kInterleave.m[v][c])); }

KV_TARGET_AVX2 inline __m128i Interleave(__m128i r, __m128i g, __m128i b, int v) {
    return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(r, Mask(v, 0)), _mm_shuffle_epi8(g, Mask(v, 1))),
                        _mm_shuffle_epi8(b, Mask(v, 2)));
}

// The colour terms of 8 chroma sample pairs as 16-bit lanes, computed with the formulas the colour
// tables hold, so the results equal the table lookups.
struct ChromaTerms {
    __m128i r, g, b;
};

KV_TARGET_AVX2 inline __m128i Narrow(__m256i x) {
    return _mm_packs_epi32(_mm256_castsi256_si128(x), _mm256_extracti128_si256(x, 1));
}

KV_TARGET_AVX2 inline __m256i c(int32_t value) { return _mm256_set1_epi32(value); }

KV_TARGET_AVX2 inline ChromaTerms Terms(const int16_t* cbSamples, const int16_t* crSamples) {
    const __m256i cb = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cbSamples)));
    const __m256i cr = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(crSamples)));
    const __m256i r = _mm256_srai_epi32(_mm256_sub_epi32(_mm256_mullo_epi32(cr, c(1436)), c(183296)), 10);
    const __m256i b = _mm256_srai_epi32(_mm256_sub_epi32(_mm256_mullo_epi32(cb, c(1815)), c(231808)), 10);
    const __m256i gr = _mm256_srai_epi32(_mm256_sub_epi32(c(93696), _mm256_mullo_epi32(cr, c(731))), 8);
    const __m256i gb = _mm256_srai_epi32(_mm256_sub_epi32(c(45184), _mm256_mullo_epi32(cb, c(352))), 8);
    const __m256i sum = _mm256_add_epi32(_mm256_add_epi32(gr, gb), c(2));
    // Division by 4 rounding toward zero.
    const __m256i g = _mm256_srai_epi32(_mm256_add_epi32(sum, _mm256_and_si256(_mm256_srai_epi32(sum, 31), c(3))), 2);
    return {Narrow(r), Narrow(g), Narrow(b)};
}

// Adds a colour term to luminance and clamps to 0..255 (saturating packs is the clamp).
KV_TARGET_AVX2 inline __m128i Channel(__m128i lum0, __m128i lum1, __m128i term0, __m128i term1) {
    return _mm_packus_epi16(_mm_add_epi16(lum0, term0), _mm_add_epi16(lum1, term1));
}

// One MCU row's pixel row: every chroma block row of 8 samples covers 8 * ratio pixels.
template <int Ratio>
KV_TARGET_AVX2 void ConvertRowAvx2(const int16_t* lumRow, const int16_t* cbRow, int crDelta, int mcus, int coefficientsPerMcu,
                            int chromaBlocks, uint8_t* out) {
    for (int mcu = 0; mcu < mcus; ++mcu) {
        const int16_t* lum = lumRow + static_cast<ptrdiff_t>(mcu) * coefficientsPerMcu;
        const int16_t* cbs = cbRow + static_cast<ptrdiff_t>(mcu) * coefficientsPerMcu;
        for (int block = 0; block < chromaBlocks; ++block, lum += 64 * Ratio, out += 24 * Ratio) {
            const ChromaTerms t = Terms(cbs + 64 * block, cbs + 64 * block + crDelta);
            const __m128i l0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lum));
            if constexpr (Ratio == 2) {
                const __m128i l1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lum + 64));
                const __m128i r = Channel(l0, l1, _mm_unpacklo_epi16(t.r, t.r), _mm_unpackhi_epi16(t.r, t.r));
                const __m128i g = Channel(l0, l1, _mm_unpacklo_epi16(t.g, t.g), _mm_unpackhi_epi16(t.g, t.g));
                const __m128i b = Channel(l0, l1, _mm_unpacklo_epi16(t.b, t.b), _mm_unpackhi_epi16(t.b, t.b));
                for (int v = 0; v < 3; ++v)
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * v), Interleave(r, g, b, v));
            } else {
                const __m128i zero = _mm_setzero_si128();
                const __m128i r = Channel(l0, zero, t.r, zero);
                const __m128i g = Channel(l0, zero, t.g, zero);
                const __m128i b = Channel(l0, zero, t.b, zero);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), Interleave(r, g, b, 0));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), Interleave(r, g, b, 1));
            }
        }
    }
}

}  // namespace

#endif

template <int Ratio>
void RowConverter::ConvertReplicated(const int16_t* samples, int count, uint8_t* const* rows) const {
#if KV_X86
    if constexpr (Ratio <= 2) {
        if (useVector_ && kv::CpuHas(kv::InstructionSet::Avx2)) {
            for (int y = 0; y < count; ++y)
                ConvertRowAvx2<Ratio>(samples + maps_[0].rows[y], samples + maps_[1].rows[y], crDelta_, mcusPerRow_,
                                      coefficientsPerMcu_, chromaH_, rows[y]);
            return;
        }
    }
#endif
    const YccTables& t = DecoderColourTables();
    const int chromaWidth = 8 * chromaH_;
    for (int y = 0; y < count; ++y) {
        const int16_t* lumRow = samples + maps_[0].rows[y];
        const int16_t* cbRow = samples + maps_[1].rows[y];
        uint8_t* out = rows[y];
        for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
            const int16_t* lum = lumRow + static_cast<ptrdiff_t>(mcu) * coefficientsPerMcu_;
            const int16_t* cbs = cbRow + static_cast<ptrdiff_t>(mcu) * coefficientsPerMcu_;
            for (int sx = 0; sx < chromaWidth; ++sx) {
                // Samples leave the inverse transform clamped to 0..255, so they index the tables.
                const int16_t* chroma = cbs + 64 * (sx / 8) + sx % 8;
                const int cb = static_cast<uint8_t>(chroma[0]);
                const int cr = static_cast<uint8_t>(chroma[crDelta_]);
                const int32_t dr = t.r[cr];
                const int32_t dg = (t.gr[cr] + t.gb[cb]) / 4;
                const int32_t db = t.b[cb];
                for (int i = 0; i < Ratio; ++i, out += 3) {
                    const int x = sx * Ratio + i;
                    const int32_t l = lum[64 * (x / 8) + x % 8];
                    out[0] = Clamp(l + dr);
                    out[1] = Clamp(l + dg);
                    out[2] = Clamp(l + db);
                }
            }
        }
    }
}

void RowConverter::ConvertMapped(const int16_t* samples, int count, uint8_t* const* rows) const {
    const int width = width_;
    if (kind_ == Kind::Grey) {
        const int32_t* col = columns_[0].data();
        for (int y = 0; y < count; ++y) {
            const int16_t* src = samples + maps_[0].rows[y];
            uint8_t* out = rows[y];
            for (int x = 0; x < width; ++x) out[x] = static_cast<uint8_t>(src[col[x]]);
        }
        return;
    }
    const int32_t* col0 = columns_[0].data();
    const int32_t* col1 = columns_[1].data();
    const int32_t* col2 = columns_[2].data();
    if (kind_ == Kind::Plain) {
        for (int y = 0; y < count; ++y) {
            const int16_t* s0 = samples + maps_[0].rows[y];
            const int16_t* s1 = samples + maps_[1].rows[y];
            const int16_t* s2 = samples + maps_[2].rows[y];
            uint8_t* out = rows[y];
            for (int x = 0; x < width; ++x, out += 3) {
                out[0] = static_cast<uint8_t>(s0[col0[x]]);
                out[1] = static_cast<uint8_t>(s1[col1[x]]);
                out[2] = static_cast<uint8_t>(s2[col2[x]]);
            }
        }
        return;
    }
    const YccTables& t = DecoderColourTables();
    for (int y = 0; y < count; ++y) {
        const int16_t* sy = samples + maps_[0].rows[y];
        const int16_t* sb = samples + maps_[1].rows[y];
        const int16_t* sr = samples + maps_[2].rows[y];
        uint8_t* out = rows[y];
        for (int x = 0; x < width; ++x, out += 3) {
            const int32_t lum = sy[col0[x]];
            const int cb = static_cast<uint8_t>(sb[col1[x]]);
            const int cr = static_cast<uint8_t>(sr[col2[x]]);
            out[0] = Clamp(lum + t.r[cr]);
            out[1] = Clamp(lum + (t.gr[cr] + t.gb[cb]) / 4);
            out[2] = Clamp(lum + t.b[cb]);
        }
    }
}

void RowConverter::Convert(const int16_t* samples, int count, uint8_t* const* rows) const {
    switch (replicationRatio_) {
        case 1:
            return ConvertReplicated<1>(samples, count, rows);
        case 2:
            return ConvertReplicated<2>(samples, count, rows);
        case 4:
            return ConvertReplicated<4>(samples, count, rows);
        default:
            return ConvertMapped(samples, count, rows);
    }
}

}  // namespace SlimJpeg
