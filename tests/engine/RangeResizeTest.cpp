// Behaviour the three range-resize algorithms share at the raster level: the stage count they
// announce, stopping in the middle of any pass, thread independence and bad input.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <tbb/global_control.h>

#include "RangeResizeSupport.h"
#include "engine/CubicRangeResize.h"
#include "engine/LanczosRangeResize.h"
#include "engine/Progress.h"
#include "engine/VectorUnits.h"

namespace kv {
namespace {

using Bytes = std::vector<uint8_t>;

struct Algorithm {
    std::string name;
    // dst, dstStride, src, srcStride, colour, dw, dh, sw, sh, progress
    std::function<bool(uint8_t*, int32_t, const uint8_t*, int32_t, bool, int32_t, int32_t, int32_t, int32_t,
                       CRSProgress*)>
        run;
};

// The three algorithms with the constants they run with.
std::vector<Algorithm> Algorithms() {
    return {
        {"smart artificial",
         [](uint8_t* d, int32_t ds, const uint8_t* s, int32_t ss, bool c, int32_t dw, int32_t dh, int32_t sw,
            int32_t sh, CRSProgress* p) { return LanczosRangeResize(d, ds, s, ss, c, dw, dh, sw, sh, 50, 2, 0, 3, p); }},
        {"smart natural",
         [](uint8_t* d, int32_t ds, const uint8_t* s, int32_t ss, bool c, int32_t dw, int32_t dh, int32_t sw,
            int32_t sh, CRSProgress* p) { return CubicRangeResize(d, ds, s, ss, c, dw, dh, sw, sh, 40, 0, 3, p); }},
        {"advanced natural",
         [](uint8_t* d, int32_t ds, const uint8_t* s, int32_t ss, bool c, int32_t dw, int32_t dh, int32_t sw,
            int32_t sh, CRSProgress* p) { return LanczosRangeResize(d, ds, s, ss, c, dw, dh, sw, sh, 25, 2, 0, 4, p); }},
    };
}

struct Job {
    int32_t sw, sh, dw, dh;
};
// One job for each staging path: area reduction, within 1.5, the 1.5 intermediate, and
// enlargements beyond 1.5 both ways (with and without the cubic blur).
const Job kJobs[] = {{50, 40, 20, 16}, {50, 40, 60, 44}, {40, 30, 160, 40}, {30, 20, 75, 50}, {20, 16, 80, 64}};

std::string Describe(const Algorithm& a, const Job& j) {
    return a.name + " " + std::to_string(j.sw) + "x" + std::to_string(j.sh) + " -> " + std::to_string(j.dw) + "x" +
           std::to_string(j.dh);
}

class RangeResizeTest : public testing::Test {
protected:
    void SetUp() override { CancelRequested = 0; }
    void TearDown() override { CancelRequested = 0; }
};

TEST_F(RangeResizeTest, AnnouncedStagesMatchThePassesReported) {
    for (const Algorithm& a : Algorithms())
        for (const Job& j : kJobs) {
            const Bytes src = test::NoisyBytes(static_cast<size_t>(3 * j.sw * j.sh), 40, 3 * j.sw);
            Bytes dst(static_cast<size_t>(3 * j.dw * j.dh));
            CRSProgress sink(nullptr);
            ASSERT_TRUE(a.run(dst.data(), 3 * j.dw, src.data(), 3 * j.sw, true, j.dw, j.dh, j.sw, j.sh, &sink));
            // Every pass starts below where the previous one ended, so the sink has moved through
            // exactly the announced stages.
            EXPECT_EQ(sink.currentStage(), sink.stages() - 1) << Describe(a, j);
        }
}

TEST_F(RangeResizeTest, StageCountsOfTheWholeRaster) {
    struct Case {
        size_t algorithm;
        Job job;
        int32_t stages;
    };
    const Case cases[] = {
        {0, {100, 100, 40, 40}, 18},    // area path: 6 passes a channel
        {0, {100, 100, 400, 120}, 27},  // the 1.5 intermediate: 9
        {1, {100, 100, 300, 300}, 15},  // threefold, with the blur: 5
        {1, {100, 100, 250, 250}, 12},  // no blur below 3: 4
        {2, {100, 100, 100, 100}, 12},  // equal sizes: copy, kernel, sharpening, copy
    };
    const std::vector<Algorithm> algorithms = Algorithms();
    for (const Case& c : cases) {
        const Job& j = c.job;
        const Bytes src = test::NoisyBytes(static_cast<size_t>(3 * j.sw * j.sh), 47, 3 * j.sw);
        Bytes dst(static_cast<size_t>(3 * j.dw * j.dh));
        CRSProgress sink(nullptr);
        ASSERT_TRUE(algorithms[c.algorithm].run(dst.data(), 3 * j.dw, src.data(), 3 * j.sw, true, j.dw, j.dh, j.sw,
                                                j.sh, &sink));
        EXPECT_EQ(sink.stages(), c.stages) << Describe(algorithms[c.algorithm], j);
    }
}

TEST_F(RangeResizeTest, TinyAndOneLineRastersResize) {
    const Job jobs[] = {{1, 1, 1, 1}, {1, 1, 7, 3}, {50, 1, 200, 1}, {1, 50, 1, 10}, {3, 2, 1, 1},
                        {2, 2, 9, 1}, {1, 40, 6, 130}, {40, 1, 4, 1}};
    for (const Algorithm& a : Algorithms())
        for (const Job& j : jobs) {
            const Bytes src = test::NoisyBytes(static_cast<size_t>(3 * j.sw * j.sh), 48);
            Bytes dst(static_cast<size_t>(3 * j.dw * j.dh));
            test::RecordingSink sink;
            EXPECT_TRUE(a.run(dst.data(), 3 * j.dw, src.data(), 3 * j.sw, true, j.dw, j.dh, j.sw, j.sh, &sink))
                << Describe(a, j);
        }
    // A flat picture stays flat in the interior whatever the path (the blur only lifts the ends).
    for (const Algorithm& a : Algorithms()) {
        const Bytes src(3 * 4 * 4, 90);
        Bytes dst(3 * 2 * 2);
        ASSERT_TRUE(a.run(dst.data(), 6, src.data(), 12, true, 2, 2, 4, 4, nullptr));
        EXPECT_EQ(dst, Bytes(3 * 2 * 2, 90)) << a.name;
    }
}

TEST_F(RangeResizeTest, StopInTheMiddleOfAnyPassEndsThereAndKeepsFinishedChannels) {
    for (const Algorithm& a : Algorithms())
        for (const Job& j : kJobs) {
            const Bytes src = test::NoisyBytes(static_cast<size_t>(3 * j.sw * j.sh), 41, 3 * j.sw);
            const size_t dstBytes = static_cast<size_t>(3 * j.dw * j.dh);
            Bytes complete(dstBytes);
            test::RecordingSink full;
            ASSERT_TRUE(a.run(complete.data(), 3 * j.dw, src.data(), 3 * j.sw, true, j.dw, j.dh, j.sw, j.sh, &full));
            EXPECT_EQ(full.foreignCalls, 0) << Describe(a, j);
            const std::vector<size_t> starts = test::PassStarts(full.values);
            ASSERT_EQ(starts.size() % 3, 0u) << Describe(a, j);
            const size_t passesPerChannel = starts.size() / 3;

            for (size_t pass = 0; pass < starts.size(); ++pass) {
                const size_t end = pass + 1 < starts.size() ? starts[pass + 1] : full.values.size();
                const size_t stopAt = (starts[pass] + end) / 2 + 1;  // 1-based call number
                const size_t channel = pass / passesPerChannel;
                Bytes dst(dstBytes, 0x5A);
                test::RecordingSink stopper(stopAt);
                OutOfMemoryFlag = 1;
                EXPECT_FALSE(a.run(dst.data(), 3 * j.dw, src.data(), 3 * j.sw, true, j.dw, j.dh, j.sw, j.sh, &stopper))
                    << Describe(a, j) << " pass " << pass;
                EXPECT_EQ(stopper.values.size(), stopAt) << Describe(a, j) << " pass " << pass;
                EXPECT_EQ(OutOfMemoryFlag.load(), 0) << "a stop is not a lack of memory";
                for (size_t i = 0; i < dstBytes; ++i) {
                    const size_t k = i % 3;
                    if (k < channel) {
                        ASSERT_EQ(dst[i], complete[i]) << Describe(a, j) << " pass " << pass;
                    } else if (k > channel) {
                        ASSERT_EQ(dst[i], 0x5A) << Describe(a, j) << " pass " << pass;
                    }
                }
            }
        }
}

TEST_F(RangeResizeTest, CancelRequestedStopsAtTheNextCall) {
    const Bytes src = test::NoisyBytes(3 * 20 * 20, 42);
    Bytes dst(3 * 60 * 60, 0x5A);
    CancelRequested = 1;
    for (const Algorithm& a : Algorithms()) {
        CRSProgress sink(nullptr);
        EXPECT_FALSE(a.run(dst.data(), 180, src.data(), 60, true, 60, 60, 20, 20, &sink)) << a.name;
        EXPECT_EQ(sink.lastPercent(), 0);
    }
    EXPECT_EQ(dst, Bytes(3 * 60 * 60, 0x5A));
}

TEST_F(RangeResizeTest, ResultDoesNotDependOnTheNumberOfThreads) {
    // Sizes that split unevenly into bands, lanes and tasks.
    const Job jobs[] = {{97, 61, 389, 250}, {211, 157, 83, 61}, {120, 80, 173, 95}};
    for (const Algorithm& a : Algorithms())
        for (const Job& j : jobs) {
            const Bytes src = test::NoisyBytes(static_cast<size_t>(3 * j.sw * j.sh), 43, 3 * j.sw);
            Bytes one(static_cast<size_t>(3 * j.dw * j.dh)), two(one.size());
            {
                tbb::global_control threads(tbb::global_control::max_allowed_parallelism, 1);
                ASSERT_TRUE(a.run(one.data(), 3 * j.dw, src.data(), 3 * j.sw, true, j.dw, j.dh, j.sw, j.sh, nullptr));
            }
            {
                tbb::global_control threads(tbb::global_control::max_allowed_parallelism, 2);
                ASSERT_TRUE(a.run(two.data(), 3 * j.dw, src.data(), 3 * j.sw, true, j.dw, j.dh, j.sw, j.sh, nullptr));
            }
            EXPECT_EQ(one, two) << Describe(a, j);
        }
}

TEST_F(RangeResizeTest, ResultDoesNotDependOnTheVectorUnits) {
    // Widths that leave remainders after every vector and lane block.
    const Job jobs[] = {{97, 61, 389, 250}, {211, 157, 83, 61}, {45, 33, 67, 149}};
    for (const Algorithm& a : Algorithms())
        for (const Job& j : jobs) {
            const Bytes src = test::NoisyBytes(static_cast<size_t>(3 * j.sw * j.sh), 46, 3 * j.sw);
            Bytes plain(static_cast<size_t>(3 * j.dw * j.dh)), best(plain.size());
            UseVectorUnits(VectorUnits::Plain);
            ASSERT_TRUE(a.run(plain.data(), 3 * j.dw, src.data(), 3 * j.sw, true, j.dw, j.dh, j.sw, j.sh, nullptr));
            for (const VectorUnits units : {VectorUnits::Avx2, VectorUnits::Avx512}) {
                UseVectorUnits(units);
                ASSERT_TRUE(a.run(best.data(), 3 * j.dw, src.data(), 3 * j.sw, true, j.dw, j.dh, j.sw, j.sh, nullptr));
                EXPECT_EQ(plain, best) << Describe(a, j) << " units " << int(ActiveVectorUnits());
            }
            UseVectorUnits(BestVectorUnits());
        }
}

TEST_F(RangeResizeTest, BadSizesAndStridesAreRefusedWithoutWriting) {
    const Bytes src = test::NoisyBytes(3 * 10 * 10, 44);
    struct Bad {
        int32_t dstStride, srcStride, dw, dh, sw, sh;
    };
    const Bad cases[] = {
        {30, 30, 0, 10, 10, 10}, {30, 30, 10, -1, 10, 10}, {30, 30, 10, 10, 0, 10},
        {29, 30, 10, 10, 10, 10},  // a destination row shorter than its pixels
        {30, 20, 10, 10, 10, 10},
    };
    for (const Algorithm& a : Algorithms())
        for (const Bad& b : cases) {
            Bytes dst(3 * 10 * 10, 0x5A);
            EXPECT_FALSE(a.run(dst.data(), b.dstStride, src.data(), b.srcStride, true, b.dw, b.dh, b.sw, b.sh, nullptr))
                << a.name;
            EXPECT_EQ(dst, Bytes(3 * 10 * 10, 0x5A));
        }
    for (const Algorithm& a : Algorithms()) {
        Bytes dst(30);
        EXPECT_FALSE(a.run(nullptr, 30, src.data(), 30, true, 10, 1, 10, 1, nullptr));
        EXPECT_FALSE(a.run(dst.data(), 30, nullptr, 30, true, 10, 1, 10, 1, nullptr));
    }
}

TEST_F(RangeResizeTest, MissingMemoryIsReportedAsSuch) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' allocators abort on a failed allocation instead of returning null";
#else
    // 700 million pixels square is more than any address space holds: the destination plane
    // cannot be had, and the routine must say so instead of crashing. Nothing reaches the
    // destination, so one row of it is enough.
    const int32_t side = 700000000;
    const Bytes src = test::NoisyBytes(3 * 8 * 8, 45);
    Bytes row(3 * 64);
    for (const Algorithm& a : Algorithms()) {
        OutOfMemoryFlag = 0;
        EXPECT_FALSE(a.run(row.data(), 3 * side, src.data(), 24, true, side, side, 8, 8, nullptr)) << a.name;
        EXPECT_EQ(OutOfMemoryFlag.load(), 1) << a.name;
    }
#endif
}

}  // namespace
}  // namespace kv
