#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/advanced/AdvancedTables.h"
#include "engine/advanced/SmoothAlongEdges.h"
#include "engine/AdvancedTestPlane.h"

namespace kv::advanced {
namespace {

using test::TestPlane;

TestPlane VerticalStep(int32_t w, int32_t h, int32_t column, uint8_t low, uint8_t high) {
    TestPlane p(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) p.at(x, y) = x < column ? low : high;
    return p;
}

TEST(SmoothAlongEdges, VerticalStepEdgeIsFoundAndKept) {
    // 0 up to column 9, 100 from column 10.
    TestPlane luma = VerticalStep(32, 16, 10, 0, 100);
    TestPlane magnitude(32, 16);
    TestPlane direction(32, 16);
    StopFlag stop{0};
    ASSERT_TRUE(EdgeGradients(luma.ref, magnitude.ref, direction.ref, stop));
    for (int32_t y = 0; y < 16; ++y) {
        for (int32_t x = 0; x < 32; ++x) {
            const bool edge = x == 9 || x == 10;
            ASSERT_EQ(magnitude.at(x, y), edge ? 99 : 0) << x << "," << y;  // gx = 100
            ASSERT_EQ(direction.at(x, y), 0) << x << "," << y;
        }
    }
    TestPlane coherence(32, 16);
    TestPlane winner(32, 16);
    EdgeCoherence(magnitude.ref, direction.ref, coherence.ref, winner.ref, 0, 0, stop);
    for (int32_t y = 0; y < 16; ++y) {
        for (int32_t x = 0; x < 32; ++x) {
            const bool edge = x == 9 || x == 10;
            ASSERT_EQ(coherence.at(x, y), edge ? 99 : 0) << x << "," << y;
            ASSERT_EQ(winner.at(x, y), edge ? 0 : kNoEdge) << x << "," << y;
        }
    }
    // The smoothing averages equal vertical neighbours, flat areas have no edge: nothing changes.
    const std::vector<uint8_t> before = luma.bytes;
    ASSERT_TRUE(SmoothAlongEdges(luma.ref, 55, 15, 3, stop));
    EXPECT_EQ(luma.bytes, before);
}

TEST(SmoothAlongEdges, GradientDirections) {
    StopFlag stop{0};
    TestPlane magnitude(16, 16);
    TestPlane direction(16, 16);
    // A horizontal step: the edge runs horizontally.
    TestPlane rows(16, 16);
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x) rows.at(x, y) = y < 8 ? 20 : 220;
    ASSERT_TRUE(EdgeGradients(rows.ref, magnitude.ref, direction.ref, stop));
    EXPECT_EQ(direction.at(5, 7), 2);
    EXPECT_EQ(magnitude.at(5, 7), 99);
    // A diagonal ramp rising to the lower right: the edge runs through the upper-right and
    // lower-left neighbours. The 1-2-1 sums rise by 16 a pixel, so gx = gy = 32 / 4.
    TestPlane ramp(16, 16);
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x) ramp.at(x, y) = static_cast<uint8_t>(4 * (x + y));
    ASSERT_TRUE(EdgeGradients(ramp.ref, magnitude.ref, direction.ref, stop));
    EXPECT_EQ(direction.at(7, 7), 1);
    EXPECT_EQ(magnitude.at(7, 7), 11);  // trunc(sqrt(8^2 + 8^2))
    // A one-sided difference in the first column: gx = (Vs(1) - Vs(0)) / 4 = 4, gy = 8.
    EXPECT_EQ(magnitude.at(0, 7), 8);
    EXPECT_EQ(direction.at(0, 7), 1);
}

TEST(SmoothAlongEdges, CoherenceVotesOfTheLeftColumnOrTheBorderNeighbourhood) {
    StopFlag stop{0};
    TestPlane magnitude(16, 16, 50);
    TestPlane direction(16, 16, 0);
    for (int32_t y = 0; y < 16; ++y) {
        direction.at(0, y) = 2;
        direction.at(1, y) = 3;
        direction.at(4, y) = 1;
        direction.at(5, y) = 3;
    }
    // Column 7 mixes three directions around row 8: a three-way tie.
    direction.at(7, 7) = 0;
    direction.at(7, 8) = 1;
    direction.at(7, 9) = 2;
    magnitude.at(12, 12) = 0;
    TestPlane coherence(16, 16);
    TestPlane winner(16, 16);
    EdgeCoherence(magnitude.ref, direction.ref, coherence.ref, winner.ref, 0, 0, stop);
    // An inner pixel counts only the column to its left, 3 votes each: not its own column 5 (3).
    EXPECT_EQ(winner.at(5, 8), 1);
    EXPECT_EQ(coherence.at(5, 8), 99);
    EXPECT_EQ(winner.at(6, 8), 3);
    // A tie goes to the higher direction.
    EXPECT_EQ(winner.at(8, 8), 2);
    EXPECT_EQ(coherence.at(8, 8), 33);
    // A border pixel counts its clamped 3 x 3 neighbourhood, 1 vote each: column 0 twice.
    EXPECT_EQ(winner.at(0, 8), 2);
    EXPECT_EQ(coherence.at(0, 8), 66);
    // No gradient: no direction.
    EXPECT_EQ(winner.at(12, 12), kNoEdge);
    EXPECT_EQ(coherence.at(12, 12), 0);

    // With the thresholds the tie's coherence 33 and a magnitude of 14 lose their direction.
    magnitude.at(6, 8) = 14;
    EdgeCoherence(magnitude.ref, direction.ref, coherence.ref, winner.ref, 55, 15, stop);
    EXPECT_EQ(winner.at(5, 8), 1);
    EXPECT_EQ(winner.at(8, 8), kNoEdge);
    EXPECT_EQ(coherence.at(8, 8), 33);
    EXPECT_EQ(winner.at(6, 8), kNoEdge);
    EXPECT_EQ(winner.at(0, 8), 2);
}

TEST(SmoothAlongEdges, RoundsAverageAlongTheDirectionFromThePreviousRound) {
    const int32_t w = 16;
    const int32_t h = 16;
    TestPlane luma(w, h);
    std::mt19937 random(3);
    for (uint8_t& v : luma.bytes) v = static_cast<uint8_t>(random() & 0xFF);
    TestPlane direction(w, h);
    for (uint8_t& d : direction.bytes) d = static_cast<uint8_t>(random() % 5);
    const TestPlane original = luma;
    TestPlane scratch(w, h);
    StopFlag stop{0};
    SmoothRounds(luma.ref, direction.ref, scratch.ref, 1, stop);

    TestPlane in = original;
    const auto expected = [&](int32_t x, int32_t y) {
        const int32_t dx = (x == 0 || x == w - 1) ? 0 : 1;
        const int32_t dy = (y == 0 || y == h - 1) ? 0 : 1;
        int32_t ax = 0, ay = 0;  // offset of the first neighbour; the second is its mirror image
        switch (direction.at(x, y)) {
            case 0: ay = -dy; break;               // above and below
            case 1: ax = dx, ay = -dy; break;      // upper right and lower left
            case 2: ax = -dx; break;               // left and right
            case 3: ax = -dx, ay = -dy; break;     // upper left and lower right
            default: break;
        }
        return (in.at(x + ax, y + ay) + in.at(x - ax, y - ay) + in.at(x, y) + 1) / 3;
    };
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) ASSERT_EQ(luma.at(x, y), expected(x, y)) << x << "," << y;

    // Two rounds are one round applied to the result of the first, not an update in place.
    TestPlane once = luma;
    SmoothRounds(once.ref, direction.ref, scratch.ref, 1, stop);
    TestPlane twice = original;
    SmoothRounds(twice.ref, direction.ref, scratch.ref, 2, stop);
    EXPECT_EQ(twice.bytes, once.bytes);
}

TEST(SmoothAlongEdges, WeakOrIncoherentEdgesAreLeftAlone) {
    StopFlag stop{0};
    // A step of 10 has magnitude 10, below 15.
    TestPlane weak = VerticalStep(32, 16, 10, 100, 110);
    const std::vector<uint8_t> before = weak.bytes;
    ASSERT_TRUE(SmoothAlongEdges(weak.ref, 55, 15, 4, stop));
    EXPECT_EQ(weak.bytes, before);

    // Noise has strong gradients in every direction.
    TestPlane noisy(32, 32);
    std::mt19937 random(9);
    for (uint8_t& v : noisy.bytes) v = static_cast<uint8_t>(random() & 0xFF);
    TestPlane smoothed = noisy;
    ASSERT_TRUE(SmoothAlongEdges(smoothed.ref, 55, 15, 1, stop));
    EXPECT_NE(smoothed.bytes, noisy.bytes);  // some pixels do agree with their left neighbours
    TestPlane untouched = noisy;
    ASSERT_TRUE(SmoothAlongEdges(untouched.ref, 100, 15, 1, stop));  // nobody reaches coherence 100
    EXPECT_EQ(untouched.bytes, noisy.bytes);
}

}  // namespace
}  // namespace kv::advanced
