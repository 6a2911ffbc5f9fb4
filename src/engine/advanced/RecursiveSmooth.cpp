#include "engine/advanced/RecursiveSmooth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kv::advanced {

namespace {

// Lines smoothed together: the planes come in whole tiles of 16, and 16 independent recursions
// side by side keep the processor's pipelines full where one recursion would wait on itself.
constexpr int32_t kLanes = kTile;

// Adding and subtracting 1.5 * 2^52 rounds a double of magnitude below 2^51 to an integer, ties to
// even, in the current (nearest) rounding mode; unlike a library call it vectorises.
constexpr double kRoundingBias = 6755399441055744.0;

// The constants of the closed-form start of the backward pass.
struct BackwardStart {
    double invOneMinusQ;                 // 1 / (1 - q)
    double invOneMinusQ2;                // 1 / (1 - q^2)
    std::complex<double> invOneMinusQZ;  // 1 / (1 - q z)
    std::complex<double> invOneMinusZ;   // 1 / (1 - z)
    std::complex<double> invOneMinusZ2;  // 1 / (1 - z^2)

    explicit BackwardStart(const SmoothingKernel& k)
        : invOneMinusQ(1 / (1 - k.q)),
          invOneMinusQ2(1 / (1 - k.q * k.q)),
          invOneMinusQZ(1.0 / (1.0 - k.q * k.z)),
          invOneMinusZ(1.0 / (1.0 - k.z)),
          invOneMinusZ2(1.0 / (1.0 - k.z * k.z)) {}
};

// Four lanes in one vector; the arithmetic of each lane is the plain double arithmetic, so the
// vector build and the baseline build give the same bits.
using V4 = double __attribute__((vector_size(32)));
using B4 = uint8_t __attribute__((vector_size(4)));
constexpr int32_t kVectors = kLanes / 4;

// Sample n of the kLanes lines: contiguous bytes for 16 neighbouring columns, bytes laneStep apart
// for 16 rows.
template <bool kContiguous>
inline void Load(const uint8_t* p, ptrdiff_t laneStep, V4 (&x)[kVectors]) {
    for (int32_t i = 0; i < kVectors; ++i) {
        B4 b;
        if constexpr (kContiguous) {
            __builtin_memcpy(&b, p + 4 * i, 4);
        } else {
            const uint8_t* q = p + 4 * i * laneStep;
            b = B4{q[0], q[laneStep], q[2 * laneStep], q[3 * laneStep]};
        }
        x[i] = __builtin_convertvector(b, V4);
    }
}

template <bool kContiguous>
inline void Store(uint8_t* p, ptrdiff_t laneStep, const V4 (&value)[kVectors]) {
    for (int32_t i = 0; i < kVectors; ++i) {
        V4 v = value[i];
        v = v < 0.0 ? 0.0 : v;
        v = v > 255.0 ? 255.0 : v;
        const B4 b = __builtin_convertvector((v + kRoundingBias) - kRoundingBias, B4);
        if constexpr (kContiguous) {
            __builtin_memcpy(p + 4 * i, &b, 4);
        } else {
            uint8_t* q = p + 4 * i * laneStep;
            q[0] = b[0];
            q[laneStep] = b[1];
            q[2 * laneStep] = b[2];
            q[3 * laneStep] = b[3];
        }
    }
}

// Smooths kLanes lines side by side: sample n of lane l is at first[l * laneStep + n * posStep]
// (laneStep 1 when kContiguous). `forward` holds count * kLanes doubles.
template <bool kContiguous>
[[gnu::always_inline]] inline void SmoothLines(uint8_t* first, ptrdiff_t laneStep, ptrdiff_t posStep, int32_t count,
                                               const SmoothingKernel& k, const BackwardStart& start,
                                               double* forward) {
    const double q = k.q;
    const double zr = k.z.real();
    const double zi = k.z.imag();
    const double v = k.v;
    V4 r[kVectors];
    V4 cr[kVectors];
    V4 ci[kVectors];
    V4 x[kVectors];

    // Forward, from the states that a line constant at its first sample leaves.
    Load<kContiguous>(first, laneStep, x);
    for (int32_t i = 0; i < kVectors; ++i) {
        r[i] = x[i] * k.steadyReal;
        cr[i] = x[i] * k.steadyComplex.real();
        ci[i] = x[i] * k.steadyComplex.imag();
        const V4 y = v * (r[i] - cr[i]);
        __builtin_memcpy(forward + 4 * i, &y, sizeof(V4));
    }
    for (int32_t n = 1; n < count; ++n) {
        Load<kContiguous>(first + n * posStep, laneStep, x);
        double* o = forward + static_cast<ptrdiff_t>(n) * kLanes;
        for (int32_t i = 0; i < kVectors; ++i) {
            r[i] = x[i] + q * r[i];
            const V4 re = x[i] + (zr * cr[i] - zi * ci[i]);
            const V4 im = zr * ci[i] + zi * cr[i];
            cr[i] = re;
            ci[i] = im;
            const V4 y = v * (r[i] - cr[i]);
            __builtin_memcpy(o + 4 * i, &y, sizeof(V4));
        }
    }

    // Backward, from the states that the line continued forever with its last sample produces.
    // Past the end the forward states relax geometrically towards those of the constant last
    // sample, so the sums over the infinite tail have closed forms.
    const uint8_t* last = first + static_cast<ptrdiff_t>(count - 1) * posStep;
    for (int32_t l = 0; l < kLanes; ++l) {
        const int32_t i = l / 4;
        const int32_t j = l % 4;
        const double xe = last[l * laneStep];
        const double rInf = xe * k.steadyReal;
        const std::complex<double> cInf = xe * k.steadyComplex;
        const double yInf = v * (rInf - cInf.real());
        const double dr = r[i][j] - rInf;
        const std::complex<double> dc = std::complex<double>(cr[i][j], ci[i][j]) - cInf;
        r[i][j] = yInf * start.invOneMinusQ + v * dr * start.invOneMinusQ2 - v * (dc * start.invOneMinusQZ).real();
        const std::complex<double> c = yInf * start.invOneMinusZ + v * dr * start.invOneMinusQZ -
                                       (v / 2) * (dc * start.invOneMinusZ2 + std::conj(dc) * start.invOneMinusQ2);
        cr[i][j] = c.real();
        ci[i][j] = c.imag();
    }
    for (int32_t n = count - 1;; --n) {
        V4 value[kVectors];
        for (int32_t i = 0; i < kVectors; ++i) value[i] = v * (r[i] - cr[i]);
        Store<kContiguous>(first + n * posStep, laneStep, value);
        if (n == 0) break;
        const double* in = forward + static_cast<ptrdiff_t>(n - 1) * kLanes;
        for (int32_t i = 0; i < kVectors; ++i) {
            V4 y;
            __builtin_memcpy(&y, in + 4 * i, sizeof(V4));
            r[i] = y + q * r[i];
            const V4 re = y + (zr * cr[i] - zi * ci[i]);
            const V4 im = zr * ci[i] + zi * cr[i];
            cr[i] = re;
            ci[i] = im;
        }
    }
}

// The two shapes of line groups, each built for AVX2 and for the baseline. (Chosen through
// KernelPath, not an ifunc: its resolver would run before the sanitizers are ready.)
using LinesFunction = void (*)(uint8_t* first, ptrdiff_t step, int32_t count, const SmoothingKernel& k,
                               const BackwardStart& start, double* forward);

void SmoothColumnsPlain(uint8_t* first, ptrdiff_t posStep, int32_t count, const SmoothingKernel& k,
                        const BackwardStart& start, double* forward) {
    SmoothLines<true>(first, 1, posStep, count, k, start, forward);
}
void SmoothRowsPlain(uint8_t* first, ptrdiff_t laneStep, int32_t count, const SmoothingKernel& k,
                     const BackwardStart& start, double* forward) {
    SmoothLines<false>(first, laneStep, 1, count, k, start, forward);
}
#if KV_X86
KV_TARGET_AVX2 void SmoothColumnsAvx2(uint8_t* first, ptrdiff_t posStep, int32_t count,
                                                        const SmoothingKernel& k, const BackwardStart& start,
                                                        double* forward) {
    SmoothLines<true>(first, 1, posStep, count, k, start, forward);
}
KV_TARGET_AVX2 void SmoothRowsAvx2(uint8_t* first, ptrdiff_t laneStep, int32_t count,
                                                     const SmoothingKernel& k, const BackwardStart& start,
                                                     double* forward) {
    SmoothLines<false>(first, laneStep, 1, count, k, start, forward);
}
#endif

struct LinesFunctions {
    LinesFunction columns;
    LinesFunction rows;
};
LinesFunctions LinesFunctionsFor(KernelPath path) {
#if KV_X86
    if (path == KernelPath::Vector && KernelPathAvailable(path)) return {SmoothColumnsAvx2, SmoothRowsAvx2};
#endif
    (void)path;
    return {SmoothColumnsPlain, SmoothRowsPlain};
}

// One pass over all lines of one direction: `lines` lines of `count` samples, line i starting at
// base + i * lineStep, its samples posStep apart.
bool SmoothPass(uint8_t* base, int32_t lines, ptrdiff_t lineStep, int32_t count, ptrdiff_t posStep,
                const SmoothingKernel& k, const BackwardStart& start, const LinesFunctions& smooth,
                const StopFlag& stop) {
    const int32_t groups = lines / kLanes;
    return ForEachBand(groups, 1, [&](int32_t firstGroup, int32_t endGroup) {
        auto forward = TryAllocate<double>(static_cast<size_t>(count) * kLanes);
        if (!forward) return false;
        for (int32_t g = firstGroup; g < endGroup; ++g) {
            if (Stopped(stop)) return true;
            uint8_t* lines16 = base + static_cast<ptrdiff_t>(g) * kLanes * lineStep;
            if (lineStep == 1)
                smooth.columns(lines16, posStep, count, k, start, forward.get());
            else
                smooth.rows(lines16, lineStep, count, k, start, forward.get());
        }
        return true;
    });
}

}  // namespace

SmoothingKernel::SmoothingKernel(double sigma) {
    const double s = std::max(sigma / 0.857379, 0.125);
    theta = std::numbers::pi / (2 * s);
    const double e = std::exp(theta);
    const double cosTheta = std::cos(theta);
    q = std::exp(-theta);
    z = q * std::complex<double>(cosTheta, std::sin(theta));
    v = (e - 1) * (e + q - 2 * cosTheta) / ((1 - cosTheta) * (1 + e));
    identity = s <= 0.125 || !std::isfinite(v);
    steadyReal = e / (e - 1);
    steadyComplex = 1.0 / (1.0 - z);
}

double SmoothingKernel::Tap(int32_t j) const {
    return v * std::exp(-j * theta) * (1 - std::cos(j * theta));
}

bool RecursiveSmooth(const PlaneRef& plane, double sigma, const StopFlag& stop) {
    return RecursiveSmooth(plane, sigma, stop, DefaultKernelPath());
}

bool RecursiveSmooth(const PlaneRef& plane, double sigma, const StopFlag& stop, KernelPath path) {
    const SmoothingKernel k(sigma);
    if (k.identity) return true;
    const BackwardStart start(k);
    const LinesFunctions smooth = LinesFunctionsFor(path);
    // Columns: 16 neighbouring columns share each row's bytes. Then rows.
    if (!SmoothPass(plane.data, plane.width, 1, plane.height, plane.width, k, start, smooth, stop)) return false;
    if (Stopped(stop)) return true;
    return SmoothPass(plane.data, plane.height, plane.width, plane.width, 1, k, start, smooth, stop);
}

}  // namespace kv::advanced
