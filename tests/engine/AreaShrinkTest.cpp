#include "engine/AreaShrink.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "RangeResizeSupport.h"

namespace kv {
namespace {

using test::RecordingSink;
using testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

TEST(AreaShrinkTest, ThreeToTwoDropsTheLowBitsOfPartialProducts) {
    struct Case {
        Bytes src;
        Bytes expected;
    };
    for (const Case& c : {Case{{0, 255, 0}, {84, 84}}, Case{{255, 255, 255}, {254, 254}}}) {
        Bytes row(2);
        ASSERT_TRUE(AreaShrinkRows(row.data(), c.src.data(), 3, 1, 2, nullptr));
        EXPECT_EQ(row, c.expected);
        Bytes column(2);
        ASSERT_TRUE(AreaShrinkColumns(column.data(), c.src.data(), 1, 3, 2, nullptr));
        EXPECT_EQ(column, c.expected);
    }
}

TEST(AreaShrinkTest, WholeFactorsAverageExactlyAndColumnsMatchRows) {
    // 8 -> 2 is a plain mean of four; a plane and its transpose shrink alike.
    const int w = 24, h = 10;
    const Bytes src = test::NoisyBytes(w * h, 9, w);
    Bytes rows(8 * h);
    ASSERT_TRUE(AreaShrinkRows(rows.data(), src.data(), w, h, 8, nullptr));
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < 8; ++i) {
            const int sum = src[y * w + 3 * i] + src[y * w + 3 * i + 1] + src[y * w + 3 * i + 2];
            EXPECT_EQ(rows[y * 8 + i], sum / 3);
        }
    Bytes transposed(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) transposed[x * h + y] = src[y * w + x];
    for (const int n : {8, 7}) {  // a whole factor and a fractional step
        Bytes columns(static_cast<size_t>(h * n));
        ASSERT_TRUE(AreaShrinkColumns(columns.data(), transposed.data(), h, w, n, nullptr));
        Bytes shrunk(static_cast<size_t>(n * h));
        ASSERT_TRUE(AreaShrinkRows(shrunk.data(), src.data(), w, h, n, nullptr));
        for (int y = 0; y < h; ++y)
            for (int i = 0; i < n; ++i) EXPECT_EQ(columns[i * h + y], shrunk[y * n + i]) << n;
    }
}

TEST(AreaShrinkTest, VeryLongSpansAndWideRowsDoNotOverflow) {
    // 600 pixels into one, and a row wider than 65535: 32-bit sums and positions would wrap.
    const Bytes bright(600, 255);
    Bytes one(1);
    ASSERT_TRUE(AreaShrinkRows(one.data(), bright.data(), 600, 1, 1, nullptr));
    EXPECT_EQ(one[0], 255);
    ASSERT_TRUE(AreaShrinkColumns(one.data(), bright.data(), 1, 600, 1, nullptr));
    EXPECT_EQ(one[0], 255);

    Bytes wide(70000, 0);
    std::fill(wide.begin() + 35000, wide.end(), 200);
    Bytes two(2);
    ASSERT_TRUE(AreaShrinkRows(two.data(), wide.data(), 70000, 1, 2, nullptr));
    EXPECT_THAT(two, ElementsAre(0, 200));
}

TEST(AreaShrinkTest, ReportsRowsAndColumns) {
    const Bytes src = test::NoisyBytes(9 * 6, 10);
    Bytes dst(4 * 6);
    RecordingSink rows;
    ASSERT_TRUE(AreaShrinkRows(dst.data(), src.data(), 9, 6, 4, &rows));
    EXPECT_THAT(rows.values, ElementsAre(0, 16, 33, 50, 66, 83));
    Bytes dst2(9 * 4);
    RecordingSink columns(5);
    EXPECT_FALSE(AreaShrinkColumns(dst2.data(), src.data(), 9, 6, 4, &columns));
    EXPECT_THAT(columns.values, ElementsAre(0, 11, 22, 33, 44));
}

}  // namespace
}  // namespace kv
