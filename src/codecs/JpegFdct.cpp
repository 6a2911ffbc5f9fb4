#include "codecs/JpegFdct.h"

namespace SlimJpeg {

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

void ForwardDct(int16_t* block, const int32_t* divisors) {
    int32_t ws[64];
    for (int i = 0; i < 64; ++i) ws[i] = (block[i] - 128) * 65536;
    for (int row = 0; row < 8; ++row) Butterfly<1>(ws + 8 * row);
    for (int col = 0; col < 8; ++col) Butterfly<8>(ws + col);
    for (int k = 0; k < 64; ++k) {
        const int32_t x = ws[k];
        const int32_t d = divisors[k];
        const int32_t y = (x + 8) >> 4;
        block[k] = static_cast<int16_t>(x >= 0 ? (y + d / 2) / d : -((d / 2 - y) / d));
    }
}

}  // namespace SlimJpeg
