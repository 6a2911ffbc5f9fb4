#include "engine/KernelWeight.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kv {
namespace {

TEST(KernelWeightTest, EveryTypeAtKnownDistances) {
    struct Case {
        int type;
        double p1, p2, x, weight;
    };
    const double pi = std::acos(-1.0);
    const Case cases[] = {
        {KernelType::Triangle, 0, 0.5, 0, 1},
        {KernelType::Triangle, 0, 0.5, -0.25, 0.75},
        {KernelType::Triangle, 0, 0.5, 1, 0},
        {KernelType::MitchellNetravali, 0, 0.5, 0, 1},  // Catmull-Rom interpolates
        {KernelType::MitchellNetravali, 0, 0.5, 1, 0},
        {KernelType::MitchellNetravali, 0, 0.5, 0.5, 0.5625},
        {KernelType::MitchellNetravali, 0, 0.5, -1.5, -0.0625},
        {KernelType::MitchellNetravali, 0, 0.5, 2, 0},
        {KernelType::MitchellNetravali, 1, 0, 0, 4.0 / 6},  // the cubic B-spline does not
        {KernelType::WindowedSinc, 2, 1, 0, 1},
        {KernelType::WindowedSinc, 2, 1, 0.5, (2 / pi) * (std::sin(pi / 4) / (pi / 4))},  // Lanczos
        {KernelType::WindowedSinc, 2, 1, 2, 0},
        {KernelType::WindowedSinc, 3, 2, 1.5, std::sin(1.5 * pi) / (1.5 * pi) * (0.5 + 0.5 * std::cos(pi / 2))},
        {KernelType::WindowedSinc, 2, 3, 0.5, (2 / pi) * 0.75},                 // Bartlett
        {KernelType::WindowedSinc, 2, 4, 1, 0.5},                                // Hann alone
        {KernelType::WindowedSinc, 2, 7, 0.5, 0},                                // unknown window
        {5, 0, 0, 0.49, 1},                                                      // box
        {5, 0, 0, -0.5, 0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(KernelWeight(c.x, c.p1, c.p2, c.type), c.weight, 1e-12)
            << "type " << c.type << " p2 " << c.p2 << " x " << c.x;
}

}  // namespace
}  // namespace kv
