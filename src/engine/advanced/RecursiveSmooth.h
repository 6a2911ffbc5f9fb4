#pragma once

// A Gaussian-like smoothing realised recursively, so that its cost does not depend on sigma.

#include <complex>
#include <cstdint>

#include "engine/advanced/AdvancedCommon.h"

namespace kv::advanced {

// The one-dimensional response is the causal kernel h[j] = V e^(-j theta) (1 - cos j theta),
// j >= 0, followed by the same kernel mirrored; V makes h sum to 1.
struct SmoothingKernel {
    // theta reaches 4 pi at the smallest scale (sigma up to about 0.107), where V is infinite and
    // every h[j] vanishes: the limit of the kernel there is the identity.
    bool identity = false;
    double theta = 0;
    double q = 0;             // e^-theta, the decay of the real state
    std::complex<double> z;   // e^-theta e^(i theta), the decay of the complex state
    double v = 0;             // V
    double steadyReal = 0;    // state a constant 1 leaves in the real recursion: 1 / (1 - q)
    std::complex<double> steadyComplex;  // and in the complex one: 1 / (1 - z)

    explicit SmoothingKernel(double sigma);
    // h[j] itself, for the tests.
    double Tap(int32_t j) const;
};

// Smooths every column, then every row of the plane in place. Each line is treated as if it went
// on forever with its first sample before its start and its last sample after its end; the result
// is rounded to the nearest integer (ties to even) and clamped to 0 .. 255. Lines run in parallel
// groups of 16, each group checking the stop flag before it starts. False when a scratch buffer
// was not available.
bool RecursiveSmooth(const PlaneRef& plane, double sigma, const StopFlag& stop);
bool RecursiveSmooth(const PlaneRef& plane, double sigma, const StopFlag& stop, KernelPath path);

}  // namespace kv::advanced
