#include "engine/DericheBlur.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

#include "engine/BandedPass.h"

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
constexpr int32_t kLanes = 8;

// Rounds to the nearest integer, ties to even, for 0 <= f <= 255: adding 1.5 * 2^23 leaves no
// fraction bits, so the float addition itself rounds.
inline uint8_t RoundToByte(float f) {
    f = f < 0.0f ? 0.0f : f;
    f = f > 255.0f ? 255.0f : f;
    const float magic = 12582912.0f;
    return static_cast<uint8_t>(static_cast<int32_t>((f + magic) - magic));
}

// Filters `lanes` (at most kLanes) lines of n samples in place. Sample s of lane l is at
// base[s * sampleStride + l * laneStride]. x and yp hold n * kLanes doubles each.
void FilterLines(uint8_t* base, ptrdiff_t sampleStride, ptrdiff_t laneStride, int32_t lanes, int32_t n,
                 const DericheTerms& c, double* x, double* yp) {
    constexpr int32_t L = kLanes;
    // Missing lanes repeat the last real one and are never written back.
    if (laneStride == 1) {
        for (int32_t s = 0; s < n; ++s) {
            const uint8_t* p = base + s * sampleStride;
            for (int32_t l = 0; l < L; ++l) x[s * L + l] = p[std::min(l, lanes - 1)];
        }
    } else {
        for (int32_t l = 0; l < L; ++l) {
            const uint8_t* p = base + std::min(l, lanes - 1) * laneStride;
            for (int32_t s = 0; s < n; ++s) x[s * L + l] = p[s * sampleStride];
        }
    }

    // Causal pass. np[4] is zero, so its product is left out of the full taps.
    const int32_t head = std::min(n, 4);
    for (int32_t s = 0; s < head; ++s) {
        for (int32_t l = 0; l < L; ++l) {
            double sx = 0, sy = 0;
            for (int32_t k = 0; k <= 4; ++k) {
                if (s - k >= 0) {
                    sx += c.np[k] * x[(s - k) * L + l];
                    if (k > 0) sy += c.d[k] * yp[(s - k) * L + l];
                } else {
                    sx += (c.np[k] - c.b[k]) * x[l];
                }
            }
            yp[s * L + l] = sx - sy;
        }
    }
    {
        const double n0 = c.np[0], n1 = c.np[1], n2 = c.np[2], n3 = c.np[3];
        const double d1 = c.d[1], d2 = c.d[2], d3 = c.d[3], d4 = c.d[4];
        for (int32_t s = 4; s < n; ++s) {
            const double* x0 = x + s * L;
            double* y0 = yp + s * L;
            for (int32_t l = 0; l < L; ++l) {
                const double sx = n0 * x0[l] + n1 * x0[l - L] + n2 * x0[l - 2 * L] + n3 * x0[l - 3 * L];
                const double sy = d1 * y0[l - L] + d2 * y0[l - 2 * L] + d3 * y0[l - 3 * L] + d4 * y0[l - 4 * L];
                y0[l] = sx - sy;
            }
        }
    }

    // Anticausal pass from the far end, combined with the causal result into the output. Only
    // the last four anticausal values are needed; they rotate through a small ring.
    double ring[5][L];
    double* ym[5] = {ring[0], ring[1], ring[2], ring[3], ring[4]};  // ym[k]: sample s + k
    const double m1 = c.nm[1], m2 = c.nm[2], m3 = c.nm[3], m4 = c.nm[4];
    const double d1 = c.d[1], d2 = c.d[2], d3 = c.d[3], d4 = c.d[4];
    const double* last = x + (n - 1) * L;
    for (int32_t s = n - 1; s >= 0; --s) {
        double* y0 = ym[0];
        const double* x0 = x + s * L;
        if (s + 4 < n) {
            for (int32_t l = 0; l < L; ++l) {
                const double sx = m1 * x0[l + L] + m2 * x0[l + 2 * L] + m3 * x0[l + 3 * L] + m4 * x0[l + 4 * L];
                const double sy = d1 * ym[1][l] + d2 * ym[2][l] + d3 * ym[3][l] + d4 * ym[4][l];
                y0[l] = sx - sy;
            }
        } else {
            for (int32_t l = 0; l < L; ++l) {
                double sx = 0, sy = 0;
                for (int32_t k = 1; k <= 4; ++k) {
                    if (s + k <= n - 1) {
                        sx += c.nm[k] * x0[k * L + l];
                        sy += c.d[k] * ym[k][l];
                    } else {
                        sx += (c.nm[k] - c.e[k]) * last[l];
                    }
                }
                y0[l] = sx - sy;
            }
        }
        uint8_t* out = base + s * sampleStride;
        const double* yc = yp + s * L;
        for (int32_t l = 0; l < lanes; ++l) out[l * laneStride] = RoundToByte(static_cast<float>(yc[l] + y0[l]));
        double* oldest = ym[4];
        ym[4] = ym[3];
        ym[3] = ym[2];
        ym[2] = ym[1];
        ym[1] = ym[0];
        ym[0] = oldest;
    }
}

// One direction of the blur: `lines` lines of n samples, line i starting at base + i * lineStride.
bool BlurLines(uint8_t* base, int32_t lines, ptrdiff_t lineStride, int32_t n, ptrdiff_t sampleStride,
               const DericheTerms& terms, CRSProgress* progress, int32_t offset, int32_t total) {
    const auto work = [&](int32_t begin, int32_t end) {
        const int32_t blocks = (end - begin + kLanes - 1) / kLanes;
        return ParallelRange(0, blocks, 1, [&](int32_t b0, int32_t b1) {
            auto x = TryAllocate<double>(static_cast<size_t>(n) * kLanes);
            auto yp = TryAllocate<double>(static_cast<size_t>(n) * kLanes);
            if (!x || !yp) return false;
            for (int32_t b = b0; b < b1; ++b) {
                const int32_t line = begin + b * kLanes;
                FilterLines(base + line * lineStride, sampleStride, lineStride, std::min(kLanes, end - line), n, terms,
                            x.get(), yp.get());
            }
            return true;
        });
    };
    return RunBanded(lines, BandLength(lines, kLanes), progress, work,
                     [&](int32_t i) { return PercentOf(i, total, 50) + offset; });
}

}  // namespace

bool DericheBlur(uint8_t* plane, int32_t width, int32_t height, int32_t horizontalExtent, int32_t verticalExtent,
                 CRSProgress* progress) {
    if (width <= 0 || height <= 0) return true;
    const DericheTerms columnTerms = DericheCoefficients(DericheSigma(verticalExtent));
    const DericheTerms rowTerms = DericheCoefficients(DericheSigma(horizontalExtent));
    const ptrdiff_t w = width;
    if (!BlurLines(plane, width, 1, height, w, columnTerms, progress, 0, width)) return false;
    return BlurLines(plane, height, w, width, 1, rowTerms, progress, 50, height);
}

}  // namespace kv
