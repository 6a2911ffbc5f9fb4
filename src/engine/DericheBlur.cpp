#include "engine/DericheBlur.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/BandedPass.h"
#include "engine/VectorUnits.h"

namespace kv {

DericheTerms DericheCoefficients(double sigma) {
    const double a0 = 1.6803, a1 = 3.735, c0 = -0.6803, c1 = -0.2598;
    const double b0 = 1.783, b1 = 1.723, w0 = 0.6318, w1 = 1.997;

    const double h = sigma * std::sqrt(2 * std::numbers::pi);
    const double A0 = a0 / h, A1 = a1 / h, C0 = c0 / h, C1 = c1 / h;
    const double B0 = -b0 / sigma, B1 = -b1 / sigma;
    const double W0 = w0 / sigma, W1 = w1 / sigma;
    const double cosW0 = std::cos(W0), sinW0 = std::sin(W0), cosW1 = std::cos(W1), sinW1 = std::sin(W1);

    DericheTerms t{};
    t.np[0] = A0 + C0;
    t.np[1] = std::exp(B1) * (C1 * sinW1 - (2 * A0 + C0) * cosW1) + std::exp(B0) * (A1 * sinW0 - (2 * C0 + A0) * cosW0);
    t.np[2] = 2 * std::exp(B0 + B1) * ((A0 + C0) * cosW1 * cosW0 - A1 * cosW1 * sinW0 - C1 * cosW0 * sinW1) +
              C0 * std::exp(2 * B0) + A0 * std::exp(2 * B1);
    t.np[3] = std::exp(B1 + 2 * B0) * (C1 * sinW1 - C0 * cosW1) + std::exp(B0 + 2 * B1) * (A1 * sinW0 - A0 * cosW0);
    t.np[4] = 0;

    t.d[0] = 0;
    t.d[1] = -2 * std::exp(B1) * cosW1 - 2 * std::exp(B0) * cosW0;
    t.d[2] = 4 * cosW1 * cosW0 * std::exp(B0 + B1) + std::exp(2 * B1) + std::exp(2 * B0);
    t.d[3] = -2 * cosW0 * std::exp(B0 + 2 * B1) - 2 * cosW1 * std::exp(B1 + 2 * B0);
    t.d[4] = std::exp(2 * B0 + 2 * B1);

    t.nm[0] = 0;
    for (int k = 1; k <= 4; ++k) t.nm[k] = t.np[k] - t.d[k] * t.np[0];

    double sumP = 0, sumM = 0, sumD = 0;
    for (int k = 0; k <= 4; ++k) {
        sumP += t.np[k];
        sumM += t.nm[k];
        sumD += t.d[k];
    }
    const double betaP = sumP / (1 + sumD);
    const double betaM = sumM / (1 + sumD);
    for (int k = 0; k <= 4; ++k) {
        t.b[k] = (1 - betaP) * t.d[k];
        t.e[k] = (1 - betaM) * t.d[k];
    }
    return t;
}

double DericheSigma(int32_t extent) {
    const float f = std::fabs(static_cast<float>(extent / 10.0));
    const double ext = static_cast<double>(f) + 1;
    return std::sqrt(ext * ext / (-2 * std::log(1 / 255.0)));
}

namespace {

// Lines filtered side by side: the recursion runs along a line, so the vector units work across
// kLanes neighbouring lines at once, each lane with exactly the arithmetic of a single line.
constexpr int32_t kLanes = 16;
static_assert(kLanes == 16, "rows are moved into lanes by 16 x 16 transposes");

// Rounds to the nearest integer, ties to even, and clamps to 0..255. Adding 1.5 * 2^23 leaves no
// fraction bits, so the float addition itself rounds (exact for |f| < 2^22, far beyond what a
// blur of bytes makes); clamping the rounded integer equals rounding the clamped value. Written
// without branches so that it vectorises.
inline uint8_t RoundToByte(float f) {
    const float magic = 12582912.0f;
    const int32_t r = static_cast<int32_t>((f + magic) - magic);
    return static_cast<uint8_t>(r < 0 ? 0 : (r > 255 ? 255 : r));
}

// A byte as a double, by way of a signed integer: the form the vectoriser converts in bulk.
inline double Sample(uint8_t v) { return static_cast<double>(static_cast<int32_t>(v)); }

// Filters kLanes lines of n samples in place; sample s of lane l is base[s * stride + l]. yp holds
// n * kLanes doubles (the causal result). The input samples needed after their output has been
// written are kept in small rings, so the plane is read and written once.
//
// The sums are grouped so that the term of the previous output comes last: the recursion's
// dependency chain is then one multiply and one subtraction long.
KV_ALWAYS_INLINE void FilterBlockBody(uint8_t* __restrict base, ptrdiff_t stride, int32_t n,
                                                            const DericheTerms& c, double* __restrict yp) {
    constexpr int32_t L = kLanes;
    double first[L];
    double x[4][L];  // x[q & 3]: input sample q
    for (int32_t l = 0; l < L; ++l) first[l] = Sample(base[l]);

    const double n0 = c.np[0], n1 = c.np[1], n2 = c.np[2], n3 = c.np[3];
    const double d1 = c.d[1], d2 = c.d[2], d3 = c.d[3], d4 = c.d[4];
    for (int32_t s = 0; s < n; ++s) {
        const uint8_t* in = base + s * stride;
        double* x0 = x[s & 3];
        for (int32_t l = 0; l < L; ++l) x0[l] = Sample(in[l]);
        double* y0 = yp + s * L;
        if (s >= 4) {
            // np[4] is zero: its product is left out.
            const double* x1 = x[(s - 1) & 3];
            const double* x2 = x[(s - 2) & 3];
            const double* x3 = x[(s - 3) & 3];
            for (int32_t l = 0; l < L; ++l) {
                const double sx = n0 * x0[l] + n1 * x1[l] + n2 * x2[l] + n3 * x3[l];
                y0[l] = (sx - (d4 * y0[l - 4 * L] + d3 * y0[l - 3 * L] + d2 * y0[l - 2 * L])) - d1 * y0[l - L];
            }
        } else {
            for (int32_t l = 0; l < L; ++l) {
                double sx = 0, sy = 0;
                for (int32_t k = 0; k <= 4; ++k) {
                    if (s - k >= 0) {
                        sx += c.np[k] * x[(s - k) & 3][l];
                        if (k > 0) sy += c.d[k] * yp[(s - k) * L + l];
                    } else {
                        sx += (c.np[k] - c.b[k]) * first[l];
                    }
                }
                y0[l] = sx - sy;
            }
        }
    }

    // Anticausal pass from the far end, added to the causal one and written out. x[q & 3] now
    // holds the original input q for q = s + 1 .. s + 4; ym[k] the anticausal value of s + k.
    double last[L];
    for (int32_t l = 0; l < L; ++l) last[l] = Sample(base[(n - 1) * stride + l]);
    double ring[5][L];
    double* ym[5] = {ring[0], ring[1], ring[2], ring[3], ring[4]};
    const double m1 = c.nm[1], m2 = c.nm[2], m3 = c.nm[3], m4 = c.nm[4];
    for (int32_t s = n - 1; s >= 0; --s) {
        double* y0 = ym[0];
        if (s + 4 < n) {
            const double* x1 = x[(s + 1) & 3];
            const double* x2 = x[(s + 2) & 3];
            const double* x3 = x[(s + 3) & 3];
            const double* x4 = x[s & 3];
            const double* y1 = ym[1];
            const double* y2 = ym[2];
            const double* y3 = ym[3];
            const double* y4 = ym[4];
            for (int32_t l = 0; l < L; ++l) {
                const double sx = m1 * x1[l] + m2 * x2[l] + m3 * x3[l] + m4 * x4[l];
                y0[l] = (sx - (d4 * y4[l] + d3 * y3[l] + d2 * y2[l])) - d1 * y1[l];
            }
        } else {
            for (int32_t l = 0; l < L; ++l) {
                double sx = 0, sy = 0;
                for (int32_t k = 1; k <= 4; ++k) {
                    if (s + k <= n - 1) {
                        sx += c.nm[k] * x[(s + k) & 3][l];
                        sy += c.d[k] * ym[k][l];
                    } else {
                        sx += (c.nm[k] - c.e[k]) * last[l];
                    }
                }
                y0[l] = sx - sy;
            }
        }
        uint8_t* io = base + s * stride;
        double* xs = x[s & 3];
        for (int32_t l = 0; l < L; ++l) xs[l] = Sample(io[l]);
        const double* yc = yp + s * L;
        uint8_t out[L];
        for (int32_t l = 0; l < L; ++l) out[l] = RoundToByte(static_cast<float>(yc[l] + y0[l]));
        for (int32_t l = 0; l < L; ++l) io[l] = out[l];
        double* oldest = ym[4];
        ym[4] = ym[3];
        ym[3] = ym[2];
        ym[2] = ym[1];
        ym[1] = ym[0];
        ym[0] = oldest;
    }
}

// Transposes a 16 x 16 block of bytes: row i of `out` receives column i of `in`.
void Transpose16(const uint8_t* in, ptrdiff_t inStride, uint8_t* out, ptrdiff_t outStride) {
#if defined(__SSE2__)
    __m128i x[16];
    for (int i = 0; i < 16; ++i) x[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i * inStride));
    __m128i b[16];
    for (int i = 0; i < 8; ++i) {
        b[2 * i] = _mm_unpacklo_epi8(x[2 * i], x[2 * i + 1]);
        b[2 * i + 1] = _mm_unpackhi_epi8(x[2 * i], x[2 * i + 1]);
    }
    __m128i c[16];
    for (int g = 0; g < 4; ++g) {  // rows 4g .. 4g + 3
        const __m128i* p = b + 4 * g;
        c[4 * g] = _mm_unpacklo_epi16(p[0], p[2]);
        c[4 * g + 1] = _mm_unpackhi_epi16(p[0], p[2]);
        c[4 * g + 2] = _mm_unpacklo_epi16(p[1], p[3]);
        c[4 * g + 3] = _mm_unpackhi_epi16(p[1], p[3]);
    }
    __m128i d[16];
    for (int g = 0; g < 2; ++g) {  // rows 8g .. 8g + 7
        const __m128i* p = c + 8 * g;
        for (int k = 0; k < 4; ++k) {
            d[8 * g + 2 * k] = _mm_unpacklo_epi32(p[k], p[k + 4]);
            d[8 * g + 2 * k + 1] = _mm_unpackhi_epi32(p[k], p[k + 4]);
        }
    }
    for (int k = 0; k < 8; ++k) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (2 * k) * outStride), _mm_unpacklo_epi64(d[k], d[k + 8]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (2 * k + 1) * outStride), _mm_unpackhi_epi64(d[k], d[k + 8]));
    }
#else
    for (int i = 0; i < 16; ++i)
        for (int j = 0; j < 16; ++j) out[i * outStride + j] = in[j * inStride + i];
#endif
}

using BlockFilter = void (*)(uint8_t*, ptrdiff_t, int32_t, const DericheTerms&, double*);
KV_VECTOR_VARIANTS(void, FilterBlock,
                   (uint8_t * base, ptrdiff_t stride, int32_t n, const DericheTerms& c, double* yp),
                   (base, stride, n, c, yp))

// One direction of the blur over `lines` lines of n samples. Down the columns, whole blocks of
// kLanes columns are filtered where they lie; along the rows, and for the last columns, a block is
// first turned into kLanes contiguous lanes in a scratch buffer (missing lanes repeat the last
// real one and are never written back).
bool BlurLines(uint8_t* plane, int32_t width, int32_t height, bool columns, const DericheTerms& terms,
               CRSProgress* progress) {
    const int32_t lines = columns ? width : height;
    const int32_t n = columns ? height : width;
    const ptrdiff_t w = width;
    const BlockFilter filter = KV_PICK_VARIANT(FilterBlock);
    const auto work = [&](int32_t begin, int32_t end) {
        const int32_t blocks = (end - begin + kLanes - 1) / kLanes;
        return ParallelRange(0, blocks, 1, [&](int32_t b0, int32_t b1) {
            auto yp = TryAllocate<double>(static_cast<size_t>(n) * kLanes);
            std::unique_ptr<uint8_t[]> scratch;
            for (int32_t b = b0; b < b1; ++b) {
                const int32_t line = begin + b * kLanes;
                const int32_t lanes = std::min(kLanes, end - line);
                if (!yp) return false;
                if (columns && lanes == kLanes) {
                    filter(plane + line, w, n, terms, yp.get());
                    continue;
                }
                if (!scratch) scratch = TryAllocate<uint8_t>(static_cast<size_t>(n) * kLanes);
                if (!scratch) return false;
                // Sample s of lane l of this block in the plane.
                const ptrdiff_t sampleStep = columns ? w : 1;
                const ptrdiff_t laneStep = columns ? 1 : w;
                uint8_t* origin = plane + (columns ? line : line * w);
                // A whole block of rows moves 16 x 16 bytes at a time.
                const int32_t fast = !columns && lanes == kLanes ? n / 16 * 16 : 0;
                for (int32_t s = 0; s < fast; s += 16)
                    Transpose16(origin + s, w, scratch.get() + static_cast<size_t>(s) * kLanes, kLanes);
                for (int32_t l = 0; l < kLanes; ++l) {
                    const uint8_t* in = origin + std::min(l, lanes - 1) * laneStep;
                    for (int32_t s = fast; s < n; ++s) scratch[static_cast<size_t>(s) * kLanes + l] = in[s * sampleStep];
                }
                filter(scratch.get(), kLanes, n, terms, yp.get());
                for (int32_t s = 0; s < fast; s += 16)
                    Transpose16(scratch.get() + static_cast<size_t>(s) * kLanes, kLanes, origin + s, w);
                for (int32_t l = 0; l < lanes; ++l) {
                    uint8_t* out = origin + l * laneStep;
                    for (int32_t s = fast; s < n; ++s) out[s * sampleStep] = scratch[static_cast<size_t>(s) * kLanes + l];
                }
            }
            return true;
        });
    };
    const int32_t offset = columns ? 0 : 50;
    return RunBanded(lines, BandLength(lines, kLanes), progress, work,
                     [&](int32_t i) { return PercentOf(i, lines, 50) + offset; });
}

}  // namespace

bool DericheBlur(uint8_t* plane, int32_t width, int32_t height, int32_t horizontalExtent, int32_t verticalExtent,
                 CRSProgress* progress) {
    if (width <= 0 || height <= 0) return true;
    const DericheTerms columnTerms = DericheCoefficients(DericheSigma(verticalExtent));
    const DericheTerms rowTerms = DericheCoefficients(DericheSigma(horizontalExtent));
    if (!BlurLines(plane, width, height, true, columnTerms, progress)) return false;
    return BlurLines(plane, width, height, false, rowTerms, progress);
}

}  // namespace kv
