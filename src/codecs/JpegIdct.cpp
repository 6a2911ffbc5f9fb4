#include "codecs/JpegIdct.h"

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

}  // namespace

void InverseDct(int16_t* block, const int32_t* multipliers) {
    u32 ws[64];
    for (int row = 0; row < 8; ++row) {
        const int16_t* c = block + 8 * row;
        const int32_t* m = multipliers + 8 * row;
        u32* w = ws + 8 * row;
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

}  // namespace SlimJpeg
