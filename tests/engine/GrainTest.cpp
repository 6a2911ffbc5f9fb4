#include "engine/Grain.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace kv {
namespace {

using testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

TEST(GrainTest, ZeroAmplitudeAddsAndDrawsNothing) {
    EXPECT_EQ(GrainValue(0), 0);
    std::srand(11);
    const int next = std::rand();
    std::srand(11);
    Bytes plane{0, 128, 255};
    AddGrain(plane.data(), plane.size(), 0);
    EXPECT_THAT(plane, ElementsAre(0, 128, 255));
    EXPECT_EQ(std::rand(), next);
}

TEST(GrainTest, StaysWithinItsBoundAndFollowsTheGenerator) {
    // Six draws of at most 16384 from the centre: |a * 98304 / 16383 / 10| <= 0.6 * a.
    std::srand(5);
    std::vector<int32_t> first;
    for (int i = 0; i < 200; ++i) {
        first.push_back(GrainValue(50));
        EXPECT_LE(std::abs(first.back()), 30);
    }
    EXPECT_NE(std::count(first.begin(), first.end(), first.front()), 200);
    std::srand(5);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(GrainValue(50), first[static_cast<size_t>(i)]);
}

}  // namespace
}  // namespace kv
