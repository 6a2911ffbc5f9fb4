#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "engine/advanced/BoxMean.h"
#include "engine/advanced/LocalContrastClamp.h"
#include "engine/advanced/LocalMinMax.h"
#include "engine/AdvancedTestPlane.h"

namespace kv::advanced {
namespace {

using test::Noise;
using test::TestPlane;

TEST(LocalMinMax, WindowsCutOffAtTheEdges) {
    StopFlag stop{0};
    for (auto [w, h] : {std::pair{48, 32}, std::pair{16, 64}}) {
        const TestPlane luma = Noise(w, h, static_cast<uint32_t>(w));
        for (int32_t r : {0, 1, 2, 4, 7, 15, 16, 40}) {
            SCOPED_TRACE(testing::Message() << w << "x" << h << " radius " << r);
            TestPlane minimum(w, h);
            TestPlane maximum(w, h);
            ASSERT_TRUE(LocalMinMax(minimum.ref, maximum.ref, luma.ref, r, stop));
            for (int32_t y = 0; y < h; ++y)
                for (int32_t x = 0; x < w; ++x) {
                    uint8_t mn = 255, mx = 0;
                    for (int32_t v = std::max(0, y - r); v <= std::min(h - 1, y + r); ++v)
                        for (int32_t u = std::max(0, x - r); u <= std::min(w - 1, x + r); ++u) {
                            mn = std::min(mn, luma.at(u, v));
                            mx = std::max(mx, luma.at(u, v));
                        }
                    ASSERT_EQ(minimum.at(x, y), mn) << x << "," << y;
                    ASSERT_EQ(maximum.at(x, y), mx) << x << "," << y;
                }
        }
    }
}

TEST(BoxMean, RoundedMeanOverMirroredWindows) {
    StopFlag stop{0};
    const auto mirror = [](int32_t i, int32_t n) { return i < 0 ? -i - 1 : (i >= n ? 2 * n - 1 - i : i); };
    for (auto [w, h] : {std::pair{48, 32}, std::pair{32, 48}}) {
        const TestPlane source = Noise(w, h, static_cast<uint32_t>(h));
        // Windows from none to wider than the plane (then W' - 1 counts, and H' - 1 caps it).
        for (int32_t window : {1, 2, 3, 5, 9, 31, 32, 47, 48, 60}) {
            SCOPED_TRACE(testing::Message() << w << "x" << h << " window " << window);
            const int32_t wPrime = window >= w ? w - 1 : window;
            const int32_t q = std::min(wPrime, h - 1) / 2;
            ASSERT_EQ(BoxMeanRadius(w, h, window), q);
            TestPlane target(w, h);
            ASSERT_TRUE(BoxMean(target.ref, source.ref, window, stop));
            const int32_t area = (2 * q + 1) * (2 * q + 1);
            for (int32_t y = 0; y < h; ++y)
                for (int32_t x = 0; x < w; ++x) {
                    int32_t sum = 0;
                    for (int32_t v = y - q; v <= y + q; ++v)
                        for (int32_t u = x - q; u <= x + q; ++u) sum += source.at(mirror(u, w), mirror(v, h));
                    // q = 0 leaves the plane as it is (the rounding formula would add 1 there).
                    const int32_t expected = q == 0 ? source.at(x, y) : (sum + (area + 1) / 2) / area;
                    ASSERT_EQ(target.at(x, y), expected) << x << "," << y;
                }
        }
    }
}

TEST(LocalContrastClamp, StretchesAwayFromTheMeanWithinTheRange) {
    struct Case {
        int32_t y, mn, mx, c;
        double k;
        int32_t expected;
    };
    const Case cases[] = {
        {50, 50, 50, 50, 40, 50},   // flat: the gain max(1, 0) / k is raised to 1
        {60, 20, 100, 50, 40, 70},  // gain 80 / 40 = 2
        {40, 20, 100, 50, 40, 30},
        {90, 20, 100, 50, 40, 100},  // 130 is clamped to the maximum
        {25, 20, 100, 50, 20, 20},   // gain 4: -50 is clamped to the minimum
        {70, 50, 70, 60, 40, 70},    // gain 0.5 is raised to 1
        {10, 0, 60, 13, 40, 8},      // gain 1.5: 8.5 truncates to 8
        {255, 0, 255, 128, 20 * 1.0, 255},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ContrastClampPixel(c.y, c.mn, c.mx, c.c, c.k), c.expected)
            << c.y << " in " << c.mn << ".." << c.mx << " mean " << c.c;
}

TEST(LocalContrastClamp, RadiusZeroLeavesTheLuminanceUnchanged) {
    // A reduction to half has radius 0: min = max = the pixel, the mean is the pixel, and the clamp
    // to mn .. mx keeps it.
    StopFlag stop{0};
    TestPlane luma = Noise(32, 16, 4);
    const std::vector<uint8_t> before = luma.bytes;
    TestPlane minimum(32, 16), maximum(32, 16), mean(32, 16);
    ASSERT_TRUE(LocalMinMax(minimum.ref, maximum.ref, luma.ref, 0, stop));
    ASSERT_TRUE(BoxMean(mean.ref, luma.ref, 1, stop));
    LocalContrastClamp(luma.ref, minimum.ref, maximum.ref, mean.ref, 20 * std::sqrt(0.5), stop);
    EXPECT_EQ(luma.bytes, before);
}

}  // namespace
}  // namespace kv::advanced
