#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "engine/advanced/RecursiveSmooth.h"
#include "engine/advanced/UnsharpLuma.h"
#include "engine/AdvancedTestPlane.h"

namespace kv::advanced {
namespace {

using test::Noise;
using test::TestPlane;

// The convolution the recursion realises, summed directly over a line continued with its end
// samples: out[n] = sum_j h[j] y[n + j] with y[n] = sum_j h[j] x[n - j].
std::vector<double> Convolve(const std::vector<double>& x, const SmoothingKernel& k) {
    const int32_t taps = 400;  // h[j] is below 1e-30 long before this for the sigmas tested
    const int32_t n = static_cast<int32_t>(x.size());
    std::vector<double> h(taps);
    for (int32_t j = 0; j < taps; ++j) h[static_cast<size_t>(j)] = k.Tap(j);
    const auto input = [&](int32_t i) { return x[static_cast<size_t>(std::clamp(i, 0, n - 1))]; };
    std::vector<double> forward(static_cast<size_t>(n + taps));
    for (int32_t i = 0; i < n + taps; ++i) {
        double sum = 0;
        for (int32_t j = 0; j < taps; ++j) sum += h[static_cast<size_t>(j)] * input(i - j);
        forward[static_cast<size_t>(i)] = sum;
    }
    std::vector<double> out(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        double sum = 0;
        for (int32_t j = 0; j < taps; ++j) sum += h[static_cast<size_t>(j)] * forward[static_cast<size_t>(i + j)];
        out[static_cast<size_t>(i)] = sum;
    }
    return out;
}

TEST(RecursiveSmooth, EqualsTheConvolutionOfColumnsThenRows) {
    for (double sigma : {0.8, 2.05, 4.0}) {
        SCOPED_TRACE(testing::Message() << "sigma " << sigma);
        const SmoothingKernel k(sigma);
        TestPlane plane = Noise(32, 48, 17);
        TestPlane expected = plane;
        int32_t nearTies = 0;
        const auto line = [&](int32_t count, auto sample) {
            std::vector<double> x(static_cast<size_t>(count));
            for (int32_t i = 0; i < count; ++i) x[static_cast<size_t>(i)] = sample(i);
            const std::vector<double> y = Convolve(x, k);
            for (int32_t i = 0; i < count; ++i) {
                const double v = std::clamp(y[static_cast<size_t>(i)], 0.0, 255.0);
                if (std::fabs(v - std::floor(v) - 0.5) < 1e-9) ++nearTies;
                sample(i) = static_cast<uint8_t>(std::nearbyint(v));
            }
        };
        for (int32_t x = 0; x < 32; ++x) line(48, [&](int32_t i) -> uint8_t& { return expected.at(x, i); });
        for (int32_t y = 0; y < 48; ++y) line(32, [&](int32_t i) -> uint8_t& { return expected.at(i, y); });
        ASSERT_EQ(nearTies, 0) << "the reference cannot decide a rounding";

        StopFlag stop{0};
        for (KernelPath path : {KernelPath::Plain, KernelPath::Vector}) {
            if (!KernelPathAvailable(path)) continue;
            TestPlane smoothed = plane;
            ASSERT_TRUE(RecursiveSmooth(smoothed.ref, sigma, stop, path));
            EXPECT_EQ(smoothed.bytes, expected.bytes) << (path == KernelPath::Plain ? "plain" : "vector");
        }
    }
}

TEST(RecursiveSmooth, KernelSumsToOneWithTheWidthOfSigma) {
    // The two passes of h form a kernel whose standard deviation is close to sigma: 0.98 for 1.
    const SmoothingKernel k(1.0);
    double sum = 0, mean = 0, square = 0;
    for (int32_t j = 0; j < 200; ++j) {
        sum += k.Tap(j);
        mean += j * k.Tap(j);
        square += double(j) * j * k.Tap(j);
    }
    EXPECT_NEAR(sum, 1.0, 1e-12);
    EXPECT_NEAR(std::sqrt(2 * (square - mean * mean)), 0.98, 0.005);
}

TEST(RecursiveSmooth, ConstantStaysConstant) {
    StopFlag stop{0};
    for (double sigma : {0.11, 0.5, 0.8, 4.0, 25.0}) {
        for (uint8_t value : {0, 1, 100, 254, 255}) {
            TestPlane plane(16, 32, value);
            ASSERT_TRUE(RecursiveSmooth(plane.ref, sigma, stop));
            ASSERT_EQ(plane.bytes, std::vector<uint8_t>(plane.bytes.size(), value)) << sigma << " " << int(value);
        }
    }
}

TEST(RecursiveSmooth, SmallestScaleIsTheIdentity) {
    // sigma up to about 0.107 clamps the scale, theta becomes 4 pi and the kernel's limit is the
    // identity (reductions to under a ninth get there).
    StopFlag stop{0};
    for (double sigma : {0.0, 0.05, 0.1, 0.107}) {
        EXPECT_TRUE(SmoothingKernel(sigma).identity) << sigma;
        TestPlane plane = Noise(16, 16, 5);
        const std::vector<uint8_t> before = plane.bytes;
        ASSERT_TRUE(RecursiveSmooth(plane.ref, sigma, stop));
        EXPECT_EQ(plane.bytes, before);
    }
    EXPECT_FALSE(SmoothingKernel(0.11).identity);
}

TEST(RecursiveSmooth, StoppedBeforeTheFirstLineChangesNothing) {
    StopFlag stop{1};
    TestPlane plane = Noise(32, 32, 8);
    const std::vector<uint8_t> before = plane.bytes;
    ASSERT_TRUE(RecursiveSmooth(plane.ref, 2.0, stop));
    EXPECT_EQ(plane.bytes, before);
}

TEST(UnsharpLuma, SharpensAStepWithClampedOvershoot) {
    StopFlag stop{0};
    // A vertical step from 0 to 100 at column 16, and one from 200 to 255 at column 16.
    for (auto [low, high] : {std::pair<uint8_t, uint8_t>{0, 100}, {200, 255}}) {
        TestPlane plane(32, 16);
        for (int32_t y = 0; y < 16; ++y)
            for (int32_t x = 0; x < 32; ++x) plane.at(x, y) = x < 16 ? low : high;
        ASSERT_TRUE(UnsharpLuma(plane.ref, 128, 1.0, 0, stop));
        for (int32_t y = 0; y < 16; ++y) {
            // The dark side undershoots (0 cannot go lower), the bright side overshoots (255 cannot
            // go higher); far from the step nothing moves.
            if (low == 0)
                EXPECT_EQ(plane.at(15, y), 0);
            else
                EXPECT_LT(plane.at(15, y), low);
            if (high == 255)
                EXPECT_EQ(plane.at(16, y), 255);
            else
                EXPECT_GT(plane.at(16, y), high);
            EXPECT_EQ(plane.at(0, y), low);
            EXPECT_EQ(plane.at(31, y), high);
        }
    }
}

TEST(UnsharpLuma, MatchesTheMaskFormula) {
    // e (256 + a) - a d, negative values 0, then >> 8 and capped at 255, with d the smoothed copy.
    StopFlag stop{0};
    const TestPlane original = Noise(32, 32, 21);
    TestPlane smooth = original;
    ASSERT_TRUE(RecursiveSmooth(smooth.ref, 1.5, stop));
    TestPlane plane = original;
    ASSERT_TRUE(UnsharpLuma(plane.ref, 76, 1.5, 0, stop));
    for (size_t i = 0; i < plane.bytes.size(); ++i) {
        const int32_t e = original.bytes[i];
        const int32_t d = smooth.bytes[i];
        const int32_t v = e * (256 + 76) - 76 * d;
        ASSERT_EQ(plane.bytes[i], std::min(v < 0 ? 0 : v >> 8, 255)) << i;
    }
}

}  // namespace
}  // namespace kv::advanced
