#pragma once

namespace kv {

// Kernel types of the tabulated resampler.
namespace KernelType {
inline constexpr int Box = 0;  // any type without its own row below is the box
inline constexpr int Triangle = 1;
inline constexpr int MitchellNetravali = 2;  // parameters B and C
inline constexpr int WindowedSinc = 3;       // parameters radius and window (1 Lanczos, 2 Hann, 3 Bartlett, 4 Hann alone)
}  // namespace KernelType

// The weight of a kernel at distance x.
double KernelWeight(double x, double p1, double p2, int type);

}  // namespace kv
