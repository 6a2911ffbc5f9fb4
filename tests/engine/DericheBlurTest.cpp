#include "engine/DericheBlur.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "RangeResizeSupport.h"

namespace kv {
namespace {

using test::RecordingSink;
using Bytes = std::vector<uint8_t>;

TEST(DericheTest, SigmaOfAnExtent) {
    EXPECT_NEAR(DericheSigma(10), 0.6007733, 1e-7);
    EXPECT_NEAR(DericheSigma(8), 0.5406959, 1e-7);
    EXPECT_NEAR(DericheSigma(-8), 0.5406959, 1e-7);
}

TEST(DericheTest, CoefficientsFollowTheirDefinitions) {
    const DericheTerms t = DericheCoefficients(0.6007733);
    EXPECT_EQ(t.np[4], 0);
    EXPECT_EQ(t.nm[0], 0);
    EXPECT_EQ(t.d[0], 0);
    double sumP = 0, sumM = 0, sumD = 0;
    for (int k = 0; k <= 4; ++k) {
        sumP += t.np[k];
        sumM += t.nm[k];
        sumD += t.d[k];
        if (k > 0) {
            EXPECT_DOUBLE_EQ(t.nm[k], t.np[k] - t.d[k] * t.np[0]);
        }
    }
    // The causal and anticausal halves of a unit impulse add up to the Gaussian's unit area.
    EXPECT_NEAR((sumP + sumM) / (1 + sumD), 1.0, 1e-2);
    for (int k = 0; k <= 4; ++k) {
        EXPECT_DOUBLE_EQ(t.b[k], (1 - sumP / (1 + sumD)) * t.d[k]);
        EXPECT_DOUBLE_EQ(t.e[k], (1 - sumM / (1 + sumD)) * t.d[k]);
    }
}

TEST(DericheTest, ConstantLineIsNotKeptAtItsEnds) {
    // A row of 20 (the column pass sees lines of one sample, which keep their value).
    Bytes line(20, 100);
    ASSERT_TRUE(DericheBlur(line.data(), 20, 1, 10, 10, nullptr));
    EXPECT_EQ(line.front(), 104);
    EXPECT_EQ(line.back(), 96);
    EXPECT_EQ(Bytes(line.begin() + 5, line.end() - 5), Bytes(10, 100));

    // The same along a column, and a single sample.
    Bytes column(20, 100);
    ASSERT_TRUE(DericheBlur(column.data(), 1, 20, 10, 10, nullptr));
    EXPECT_EQ(column, line);
    Bytes one{100};
    ASSERT_TRUE(DericheBlur(one.data(), 1, 1, 10, 10, nullptr));
    EXPECT_EQ(one[0], 100);
}

// The recursion of one line exactly as defined, with the sums in their written order.
std::vector<int> DericheLine(const std::vector<int>& x, const DericheTerms& c) {
    const int n = static_cast<int>(x.size());
    std::vector<double> yp(x.size()), ym(x.size());
    for (int i = 0; i < n; ++i) {
        double sum = 0;
        for (int k = 0; k <= 4; ++k) sum += i - k >= 0 ? c.np[k] * x[i - k] : (c.np[k] - c.b[k]) * x[0];
        for (int k = 1; k <= 4; ++k) sum -= i - k >= 0 ? c.d[k] * yp[i - k] : 0;
        yp[i] = sum;
    }
    for (int i = n - 1; i >= 0; --i) {
        double sum = 0;
        for (int k = 1; k <= 4; ++k) sum += i + k < n ? c.nm[k] * x[i + k] : (c.nm[k] - c.e[k]) * x[n - 1];
        for (int k = 1; k <= 4; ++k) sum -= i + k < n ? c.d[k] * ym[i + k] : 0;
        ym[i] = sum;
    }
    std::vector<int> out(x.size());
    for (int i = 0; i < n; ++i)
        out[i] = std::clamp(static_cast<int>(std::nearbyint(static_cast<float>(yp[i] + ym[i]))), 0, 255);
    return out;
}

TEST(DericheTest, MatchesTheRecursionLineByLine) {
    // Sizes with whole and partial blocks of lines; the extents differ between the directions.
    for (const auto& [w, h] : {std::pair{53, 37}, std::pair{32, 16}, std::pair{7, 70}}) {
        Bytes plane = test::NoisyBytes(static_cast<size_t>(w * h), 12, w);
        std::vector<int> expected(plane.begin(), plane.end());
        const DericheTerms down = DericheCoefficients(DericheSigma(12));
        const DericheTerms along = DericheCoefficients(DericheSigma(10));
        for (int x = 0; x < w; ++x) {
            std::vector<int> line;
            for (int y = 0; y < h; ++y) line.push_back(expected[y * w + x]);
            line = DericheLine(line, down);
            for (int y = 0; y < h; ++y) expected[y * w + x] = line[y];
        }
        for (int y = 0; y < h; ++y) {
            std::vector<int> line(expected.begin() + y * w, expected.begin() + (y + 1) * w);
            line = DericheLine(line, along);
            std::copy(line.begin(), line.end(), expected.begin() + y * w);
        }
        ASSERT_TRUE(DericheBlur(plane.data(), w, h, 10, 12, nullptr));
        // The sums may be taken in another order: at most one level apart, and rarely.
        int differ = 0;
        for (size_t i = 0; i < plane.size(); ++i) {
            ASSERT_LE(std::abs(plane[i] - expected[i]), 1) << w << "x" << h << " at " << i;
            differ += plane[i] != expected[i];
        }
        EXPECT_LE(differ, static_cast<int>(plane.size()) / 200) << w << "x" << h;
    }
}

TEST(DericheTest, BlursAStepSymmetricallyAndClamps) {
    // A vertical edge in a plane wide enough for the lanes to hold several lines at once. Away
    // from the top and bottom ends every row is alike.
    const int w = 21, h = 16;
    Bytes plane(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) plane[y * w + x] = x < 10 ? 0 : 255;
    ASSERT_TRUE(DericheBlur(plane.data(), w, h, 10, 10, nullptr));
    const uint8_t* row = plane.data() + 5 * w;
    for (int y = 6; y < h - 5; ++y) EXPECT_TRUE(std::equal(row, row + w, plane.data() + y * w)) << y;
    EXPECT_EQ(row[6], 0);
    EXPECT_LT(row[9], 128);
    EXPECT_GT(row[9], 0);
    EXPECT_GT(row[10], 128);
    EXPECT_LT(row[10], 255);
    EXPECT_EQ(row[9] + row[10], 255);
    EXPECT_EQ(row[13], 255);
}

TEST(DericheTest, ProgressGoesDownTheColumnsThenAlongTheRows) {
    Bytes plane = test::NoisyBytes(30 * 20, 3);
    RecordingSink sink;
    ASSERT_TRUE(DericheBlur(plane.data(), 30, 20, 10, 10, &sink));
    std::vector<int32_t> expected;
    for (int c = 0; c < 30; ++c) expected.push_back(50 * c / 30);
    for (int r = 0; r < 20; ++r) expected.push_back(50 * r / 20 + 50);
    EXPECT_EQ(sink.values, expected);

    RecordingSink stopper(33);
    EXPECT_FALSE(DericheBlur(plane.data(), 30, 20, 10, 10, &stopper));
    EXPECT_EQ(stopper.values.size(), 33u);
}

}  // namespace
}  // namespace kv
