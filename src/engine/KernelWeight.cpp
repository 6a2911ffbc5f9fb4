#include "engine/KernelWeight.h"

#include <cmath>
#include <numbers>

namespace kv {

namespace {

double Sinc(double t) {
    const double pt = std::numbers::pi * t;
    return std::sin(pt) / pt;
}

}  // namespace

double KernelWeight(double x, double p1, double p2, int type) {
    const double a = std::fabs(x);
    switch (type) {
        case KernelType::Triangle:
            return a < 1 ? 1 - a : 0;
        case KernelType::MitchellNetravali: {
            const double b = p1;
            const double c = p2;
            if (a < 1) return ((12 - 9 * b - 6 * c) * a * a * a + (-18 + 12 * b + 6 * c) * a * a + (6 - 2 * b)) / 6;
            if (a < 2)
                return ((-b - 6 * c) * a * a * a + (6 * b + 30 * c) * a * a + (-12 * b - 48 * c) * a + (8 * b + 24 * c)) /
                       6;
            return 0;
        }
        case KernelType::WindowedSinc: {
            const double r = p1;
            if (a == 0) return 1;
            if (a >= r) return 0;
            if (p2 == 1) return Sinc(a) * Sinc(a / r);
            if (p2 == 2) return Sinc(a) * (0.5 + 0.5 * std::cos(std::numbers::pi * a / r));
            if (p2 == 3) return Sinc(a) * (1 - a / r);
            if (p2 == 4) return 0.5 + 0.5 * std::cos(std::numbers::pi * a / r);
            return 0;
        }
        default:
            return a < 0.5 ? 1 : 0;
    }
}

}  // namespace kv
