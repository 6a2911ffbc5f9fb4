#include "engine/KernelResample.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "RangeResizeSupport.h"
#include "engine/KernelWeight.h"

namespace kv {
namespace {

using test::RecordingSink;
using testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

TEST(KernelResampleTest, EqualSizeReproducesTheSourceWithEveryInterpolatingKernel) {
    const Bytes src = test::NoisyBytes(37 * 23, 1, 37);
    struct Kernel {
        int type;
        double p1, p2;
    };
    for (const Kernel k : {Kernel{KernelType::WindowedSinc, 2, 1}, Kernel{KernelType::WindowedSinc, 3, 1},
                           Kernel{KernelType::WindowedSinc, 4, 2},
                           Kernel{KernelType::MitchellNetravali, 0, 0.5}, Kernel{KernelType::Triangle, 0, 0.5}}) {
        Bytes dst(src.size());
        ASSERT_TRUE(KernelResample(dst.data(), src.data(), 37, 23, 37, 23, k.p1, k.p2, k.type, nullptr));
        EXPECT_EQ(dst, src) << "type " << k.type << " p1 " << k.p1;
    }
}

TEST(KernelResampleTest, PositionsAreTopLeftAlignedAndEdgesRepeat) {
    // Doubling with the triangle: even pixels are source pixels, odd ones the rounded mean of two
    // neighbours; past the last pixel the edge repeats.
    const Bytes src{10, 20, 41, 255};
    Bytes dst(8);
    ASSERT_TRUE(KernelResample(dst.data(), src.data(), 4, 1, 8, 1, 0, 0.5, KernelType::Triangle, nullptr));
    EXPECT_THAT(dst, ElementsAre(10, 15, 20, 31, 41, 148, 255, 255));
}

TEST(KernelResampleTest, WeightsAreNotNormalised) {
    // At half-pixel positions the Lanczos-2 taps add up to 1.0191, so a flat plane brightens where
    // the positions fall between source pixels: 100 -> 102, and 104 where both do.
    const Bytes src(8 * 8, 100);
    Bytes dst(16 * 16);
    ASSERT_TRUE(KernelResample(dst.data(), src.data(), 8, 8, 16, 16, 2, 1, KernelType::WindowedSinc, nullptr));
    EXPECT_EQ(dst[4 * 16 + 4], 100);
    EXPECT_EQ(dst[4 * 16 + 5], 102);
    EXPECT_EQ(dst[5 * 16 + 4], 102);
    EXPECT_EQ(dst[5 * 16 + 5], 104);
    // A box of one tap each side falls between its taps at phase one half: nothing is left.
    ASSERT_TRUE(KernelResample(dst.data(), src.data(), 8, 8, 16, 16, 1, 0, 5, nullptr));
    EXPECT_EQ(dst[4 * 16 + 4], 100);
    EXPECT_EQ(dst[4 * 16 + 5], 0);
}

TEST(KernelResampleTest, ClampsOvershootAndRefusesTypeZero) {
    // Lanczos rings past a hard edge: both ends of the range are reached and held.
    Bytes src(12, 0);
    std::fill(src.begin() + 6, src.end(), 255);
    Bytes dst(36, 7);
    ASSERT_TRUE(KernelResample(dst.data(), src.data(), 12, 1, 36, 1, 3, 1, KernelType::WindowedSinc, nullptr));
    EXPECT_EQ(*std::min_element(dst.begin(), dst.end()), 0);
    EXPECT_EQ(*std::max_element(dst.begin(), dst.end()), 255);

    Bytes untouched(36, 7);
    EXPECT_FALSE(KernelResample(untouched.data(), src.data(), 12, 1, 36, 1, 0, 0, KernelType::Box, nullptr));
    EXPECT_EQ(untouched, Bytes(36, 7));
}

TEST(KernelResampleTest, ReportsEveryDestinationRowAndStopsAtTheCall) {
    const Bytes src = test::NoisyBytes(10 * 10, 2);
    Bytes dst(20 * 30);
    RecordingSink sink;
    ASSERT_TRUE(KernelResample(dst.data(), src.data(), 10, 10, 20, 30, 0, 0.5, 2, &sink));
    ASSERT_EQ(sink.values.size(), 30u);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(sink.values[static_cast<size_t>(i)], 100 * i / 30);
    EXPECT_EQ(sink.foreignCalls, 0);

    RecordingSink stopper(7);
    EXPECT_FALSE(KernelResample(dst.data(), src.data(), 10, 10, 20, 30, 0, 0.5, 2, &stopper));
    EXPECT_EQ(stopper.values.size(), 7u);
}

}  // namespace
}  // namespace kv
