#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "engine/advanced/AdvancedParams.h"
#include "engine/advanced/AdvancedTables.h"
#include "engine/advanced/ColourPlanes.h"

namespace kv::advanced {
namespace {

struct ParamsCase {
    int32_t dstWidth, dstHeight, srcWidth, srcHeight;
    bool flag;
    double meanRatio;
    int32_t rounds, radius, amount;
    double sigma;
    int32_t planeWidth, planeHeight;
};

TEST(AdvancedParams, DerivedFromSizesAndFlag) {
    const ParamsCase cases[] = {
        // Equal sizes: no edge rounds, a 3 x 3 local window, the weaker unsharp mask.
        {100, 80, 100, 80, true, 1.0, 0, 1, 38, 1.0, 112, 80},
        {100, 80, 100, 80, false, 1.0, 0, 1, 76, 1.0, 112, 80},
        // 4x per side.
        {400, 320, 100, 80, true, 4.0, 3, 4, 64, 4.0, 400, 320},
        {400, 320, 100, 80, false, 4.0, 3, 4, 128, 4.0, 400, 320},
        // Half size: radius 0.
        {50, 40, 100, 80, true, 0.5, 0, 0, 38, 0.5, 64, 48},
        // 17 x 17 is padded to 32 x 32.
        {17, 17, 10, 10, false, 1.7, 0, 1, 76, 1.7, 32, 32},
        // Ten times: the rounds stop at 4, the radius does not.
        {1000, 800, 100, 80, true, 10.0, 4, 10, 64, 10.0, 1008, 800},
        // The radius is at most half the smaller destination side.
        {6, 6, 1, 1, true, 6.0, 4, 3, 64, 6.0, 16, 16},
        // Two decimals of D = 2.0555...: 2.05, not the 2 of an integer division.
        {300, 100, 100, 90, false, (3.0 + 100.0 / 90) / 2, 1, 2, 128, 2.05, 304, 112},
    };
    for (const ParamsCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dstWidth << "x" << c.dstHeight << " from " << c.srcWidth << "x"
                                        << c.srcHeight << " flag " << c.flag);
        const AdvancedParams p = DeriveAdvancedParams(c.dstWidth, c.dstHeight, c.srcWidth, c.srcHeight, c.flag);
        EXPECT_DOUBLE_EQ(p.meanRatio, c.meanRatio);
        EXPECT_EQ(p.edgeRounds, c.rounds);
        EXPECT_EQ(p.softPass, c.rounds != 0);
        EXPECT_EQ(p.radius, c.radius);
        EXPECT_EQ(p.extremeRounds, c.flag ? 1 : 0);
        EXPECT_EQ(p.unsharpAmount, c.amount);
        EXPECT_DOUBLE_EQ(p.unsharpSigma, c.sigma);
        EXPECT_DOUBLE_EQ(p.gainScale, 20 * std::sqrt(c.meanRatio));
        EXPECT_EQ(p.planeWidth, c.planeWidth);
        EXPECT_EQ(p.planeHeight, c.planeHeight);
    }
}

TEST(AdvancedTables, SquareRootsAndClamp) {
    const auto& root = SqrtTable();
    EXPECT_EQ(root[0], 0);
    EXPECT_EQ(root[3], 1);
    EXPECT_EQ(root[4], 2);
    EXPECT_EQ(root[9800], 98);
    EXPECT_EQ(root[9801], 99);
    EXPECT_EQ(root[9999], 99);

    const ClampTable& clamp = Clamp();
    EXPECT_EQ(clamp(-256), 0);
    EXPECT_EQ(clamp(-1), 0);
    EXPECT_EQ(clamp(0), 0);
    EXPECT_EQ(clamp(128), 128);
    EXPECT_EQ(clamp(255), 255);
    EXPECT_EQ(clamp(256), 255);
    EXPECT_EQ(clamp(511), 255);
}

TEST(AdvancedTables, DirectionsSplitAt22AndAHalfDegrees) {
    struct Case {
        int32_t gx, gy;
        uint8_t direction;
    };
    const Case cases[] = {
        {100, 0, 0},     // a step along x: the edge runs vertically
        {-255, 0, 0},
        {0, 100, 2},     // a step along y: the edge runs horizontally
        {0, 0, 0},       // no gradient
        {50, 50, 1},     {-50, -50, 1},  // gradient down-right: edge through upper-right and lower-left
        {50, -50, 3},    {-50, 50, 3},
        {100, 41, 0},    {100, 42, 1},   // tan 22.5 = 0.414...
        {41, 100, 2},    {42, 100, 1},
        {-42, 100, 3},   {256, -255, 3},  // the far corner of the table
    };
    const DirectionTable& directions = Directions();
    for (const Case& c : cases) EXPECT_EQ(directions(c.gx, c.gy), c.direction) << c.gx << ", " << c.gy;
}

TEST(AdvancedColour, ConversionOfKnownPixels) {
    struct Case {
        uint8_t b, g, r;
        Ycc expected;
    };
    const Case cases[] = {
        {255, 255, 255, {255, 127, 127}},
        {0, 0, 0, {0, 127, 127}},
        {255, 0, 0, {29, 255, 106}},
        {0, 255, 0, {150, 43, 20}},
        {0, 0, 255, {76, 84, 255}},
    };
    for (const Case& c : cases) {
        const Ycc got = ToYcc(c.b, c.g, c.r);
        EXPECT_EQ(got.y, c.expected.y);
        EXPECT_EQ(got.cb, c.expected.cb);
        EXPECT_EQ(got.cr, c.expected.cr);
    }
}

TEST(AdvancedColour, TablesBringGreysBackExactlyAndColoursClose) {
    ColourTables tables;
    tables.Build();
    EXPECT_EQ(ColourTables::RedOffset(127), 0);
    EXPECT_EQ(ColourTables::RedOffset(255), 179);
    EXPECT_EQ(ColourTables::RedOffset(0), -177);  // trunc(0.5 - 178.08) goes toward zero
    EXPECT_EQ(ColourTables::BlueOffset(255), 227);
    EXPECT_EQ(ColourTables::BlueOffset(0), -224);
    EXPECT_EQ(tables.green[255][255], 136);
    EXPECT_EQ(tables.green[0][0], -134);
    EXPECT_EQ(tables.red[250][255], 255);  // clamped
    EXPECT_EQ(tables.blue[10][0], 0);

    const ClampTable& clamp = Clamp();
    const auto back = [&](const Ycc& c) {
        return std::array<int32_t, 3>{tables.blue[c.y][c.cb], clamp(c.y - tables.green[c.cb][c.cr]),
                                      tables.red[c.y][c.cr]};
    };
    for (int32_t v = 0; v < 256; ++v) {
        const auto grey = back(ToYcc(uint8_t(v), uint8_t(v), uint8_t(v)));
        ASSERT_EQ(grey, (std::array<int32_t, 3>{v, v, v}));
    }
    for (int32_t b = 0; b < 256; b += 15)
        for (int32_t g = 0; g < 256; g += 15)
            for (int32_t r = 0; r < 256; r += 15) {
                const auto c = back(ToYcc(uint8_t(b), uint8_t(g), uint8_t(r)));
                ASSERT_LE(std::abs(c[0] - b), 3) << b << " " << g << " " << r;
                ASSERT_LE(std::abs(c[1] - g), 3) << b << " " << g << " " << r;
                ASSERT_LE(std::abs(c[2] - r), 3) << b << " " << g << " " << r;
            }
}

TEST(AdvancedColour, PlanesRepeatTheLastColumnAndRow) {
    // A 17 x 17 raster fills 32 x 32 planes; rows and columns 17 .. 31 repeat row and column 16.
    const int32_t side = 17;
    const int32_t stride = 3 * side + 1;
    std::vector<uint8_t> raster(static_cast<size_t>(stride * side), 0xEE);
    for (int32_t y = 0; y < side; ++y)
        for (int32_t x = 0; x < side; ++x) {
            uint8_t* p = &raster[static_cast<size_t>(y * stride + 3 * x)];
            p[0] = static_cast<uint8_t>(7 * x + y);
            p[1] = static_cast<uint8_t>(3 * y);
            p[2] = static_cast<uint8_t>(200 - 5 * x);
        }
    ColourPlanes planes;
    ASSERT_TRUE(planes.Allocate(32, 32, 3));
    FillColourPlanes(planes, {raster.data(), stride, side, side});
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 32; ++x) {
            const uint8_t* p = &raster[static_cast<size_t>(std::min(y, 16) * stride + 3 * std::min(x, 16))];
            const Ycc c = ToYcc(p[0], p[1], p[2]);
            ASSERT_EQ(planes.luma().Row(y)[x], c.y) << x << "," << y;
            ASSERT_EQ(planes.blueDiff().Row(y)[x], c.cb) << x << "," << y;
            ASSERT_EQ(planes.redDiff().Row(y)[x], c.cr) << x << "," << y;
        }
}

}  // namespace
}  // namespace kv::advanced
