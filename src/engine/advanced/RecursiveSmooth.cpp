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

// Smooths kLanes lines side by side: sample n of lane l is at first[l * laneStep + n * posStep].
// `forward` holds count * kLanes doubles.
__attribute__((target_clones("avx2", "default"))) void SmoothLines(uint8_t* first, ptrdiff_t laneStep,
                                                                    ptrdiff_t posStep, int32_t count,
                                                                    const SmoothingKernel& k,
                                                                    const BackwardStart& start, double* forward) {
    const double q = k.q;
    const double zr = k.z.real();
    const double zi = k.z.imag();
    const double v = k.v;
    double r[kLanes];
    double cr[kLanes];
    double ci[kLanes];
    double x[kLanes];

    // Forward, from the states that a line constant at its first sample leaves.
    for (int32_t l = 0; l < kLanes; ++l) x[l] = first[l * laneStep];
    for (int32_t l = 0; l < kLanes; ++l) {
        r[l] = x[l] * k.steadyReal;
        cr[l] = x[l] * k.steadyComplex.real();
        ci[l] = x[l] * k.steadyComplex.imag();
        forward[l] = v * (r[l] - cr[l]);
    }
    for (int32_t n = 1; n < count; ++n) {
        const uint8_t* in = first + n * posStep;
        double* out = forward + static_cast<ptrdiff_t>(n) * kLanes;
        for (int32_t l = 0; l < kLanes; ++l) x[l] = in[l * laneStep];
        for (int32_t l = 0; l < kLanes; ++l) {
            r[l] = x[l] + q * r[l];
            const double re = x[l] + (zr * cr[l] - zi * ci[l]);
            const double im = zr * ci[l] + zi * cr[l];
            cr[l] = re;
            ci[l] = im;
            out[l] = v * (r[l] - cr[l]);
        }
    }

    // Backward, from the states that the line continued forever with its last sample produces.
    // Past the end the forward states relax geometrically towards those of the constant last
    // sample, so the sums over the infinite tail have closed forms.
    const uint8_t* last = first + static_cast<ptrdiff_t>(count - 1) * posStep;
    for (int32_t l = 0; l < kLanes; ++l) {
        const double xe = last[l * laneStep];
        const double rInf = xe * k.steadyReal;
        const std::complex<double> cInf = xe * k.steadyComplex;
        const double yInf = v * (rInf - cInf.real());
        const double dr = r[l] - rInf;
        const std::complex<double> dc = std::complex<double>(cr[l], ci[l]) - cInf;
        r[l] = yInf * start.invOneMinusQ + v * dr * start.invOneMinusQ2 - v * (dc * start.invOneMinusQZ).real();
        const std::complex<double> c = yInf * start.invOneMinusZ + v * dr * start.invOneMinusQZ -
                                       (v / 2) * (dc * start.invOneMinusZ2 + std::conj(dc) * start.invOneMinusQ2);
        cr[l] = c.real();
        ci[l] = c.imag();
    }
    for (int32_t n = count - 1;; --n) {
        uint8_t* out = first + n * posStep;
        for (int32_t l = 0; l < kLanes; ++l) {
            const double value = std::clamp(v * (r[l] - cr[l]), 0.0, 255.0);
            out[l * laneStep] = static_cast<uint8_t>((value + kRoundingBias) - kRoundingBias);
        }
        if (n == 0) break;
        const double* in = forward + static_cast<ptrdiff_t>(n - 1) * kLanes;
        for (int32_t l = 0; l < kLanes; ++l) {
            r[l] = in[l] + q * r[l];
            const double re = in[l] + (zr * cr[l] - zi * ci[l]);
            const double im = zr * ci[l] + zi * cr[l];
            cr[l] = re;
            ci[l] = im;
        }
    }
}

// One pass over all lines of one direction: `lines` lines of `count` samples, line i starting at
// base + i * lineStep, its samples posStep apart.
bool SmoothPass(uint8_t* base, int32_t lines, ptrdiff_t lineStep, int32_t count, ptrdiff_t posStep,
                const SmoothingKernel& k, const BackwardStart& start, const StopFlag& stop) {
    const int32_t groups = lines / kLanes;
    return ForEachBand(groups, 1, [&](int32_t firstGroup, int32_t endGroup) {
        auto forward = TryAllocate<double>(static_cast<size_t>(count) * kLanes);
        if (!forward) return false;
        for (int32_t g = firstGroup; g < endGroup; ++g) {
            if (Stopped(stop)) return true;
            SmoothLines(base + static_cast<ptrdiff_t>(g) * kLanes * lineStep, lineStep, posStep, count, k, start,
                        forward.get());
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
    const SmoothingKernel k(sigma);
    if (k.identity) return true;
    const BackwardStart start(k);
    // Columns: 16 neighbouring columns share each row's bytes. Then rows.
    if (!SmoothPass(plane.data, plane.width, 1, plane.height, plane.width, k, start, stop)) return false;
    if (Stopped(stop)) return true;
    return SmoothPass(plane.data, plane.height, plane.width, plane.width, 1, k, start, stop);
}

}  // namespace kv::advanced
