#include "imageio/PixelConvert.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kv {
namespace {

struct RowCase {
    const char* name;
    PixelFormat format;
    std::vector<uint8_t> row;  // raw row bytes
    int32_t x;                 // first pixel converted
    std::vector<uint8_t> bgra;  // expected B,G,R,A of one pixel at x
};

std::vector<uint16_t> Words(std::initializer_list<uint16_t> w) { return w; }
std::vector<uint8_t> Bytes(const std::vector<uint16_t>& words) {
    std::vector<uint8_t> b(words.size() * 2);
    std::memcpy(b.data(), words.data(), b.size());
    return b;
}

const std::vector<uint32_t> kPalette = {0xFF000000u, 0xFF102030u, 0x80FFFFFFu, 0xFFA0B0C0u};

TEST(PixelConvertTest, ReadsEveryFormatIntoBgrAndBgra) {
    const std::vector<RowCase> cases = {
        {"1bpp second byte bit 6", PixelFormat1bppIndexed, {0x00, 0x40}, 9, {0x30, 0x20, 0x10, 0xFF}},
        {"4bpp low nibble", PixelFormat4bppIndexed, {0x03, 0x21}, 3, {0x30, 0x20, 0x10, 0xFF}},
        {"4bpp high nibble", PixelFormat4bppIndexed, {0x03, 0x21}, 2, {0xFF, 0xFF, 0xFF, 0x80}},
        {"8bpp", PixelFormat8bppIndexed, {0, 3}, 1, {0xC0, 0xB0, 0xA0, 0xFF}},
        {"8bpp index past palette", PixelFormat8bppIndexed, {200}, 0, {0, 0, 0, 0xFF}},
        {"grey16", PixelFormat16bppGrayScale, Bytes(Words({0, 0x8080})), 1, {0x80, 0x80, 0x80, 0xFF}},
        {"555", PixelFormat16bppRGB555, Bytes(Words({0x7C00 | 0x03E0 | 0x001F, (31 << 10) | 1})), 1, {8, 0, 255, 255}},
        {"565", PixelFormat16bppRGB565, Bytes(Words({(31 << 11) | (63 << 5)})), 0, {0, 255, 255, 255}},
        {"1555 transparent", PixelFormat16bppARGB1555, Bytes(Words({0x001F})), 0, {255, 0, 0, 0}},
        {"1555 opaque", PixelFormat16bppARGB1555, Bytes(Words({0x8000 | (16 << 5)})), 0, {0, 132, 0, 255}},
        {"24", PixelFormat24bppRGB, {1, 2, 3, 4, 5, 6}, 1, {4, 5, 6, 255}},
        {"32 RGB ignores fourth byte", PixelFormat32bppRGB, {1, 2, 3, 0}, 0, {1, 2, 3, 255}},
        {"32 ARGB", PixelFormat32bppARGB, {1, 2, 3, 4}, 0, {1, 2, 3, 4}},
        {"32 PARGB half", PixelFormat32bppPARGB, {64, 32, 0, 128}, 0, {128, 64, 0, 128}},
        {"32 PARGB clear", PixelFormat32bppPARGB, {9, 9, 9, 0}, 0, {0, 0, 0, 0}},
        {"48", PixelFormat48bppRGB, Bytes(Words({0xFFFF, 0x8080, 0x0101})), 0, {255, 128, 1, 255}},
        {"64 ARGB", PixelFormat64bppARGB, Bytes(Words({0, 0x1010, 0xFFFF, 0x8080})), 0, {0, 16, 255, 128}},
        {"64 PARGB", PixelFormat64bppPARGB, Bytes(Words({0x4040, 0, 0x8080, 0x8080})), 0, {128, 0, 255, 128}},
        {"CMYK no ink", PixelFormat32bppCMYK, {0, 0, 0, 0}, 0, {255, 255, 255, 255}},
        {"CMYK cyan", PixelFormat32bppCMYK, {255, 0, 0, 0}, 0, {255, 255, 0, 255}},
        {"CMYK half black", PixelFormat32bppCMYK, {0, 0, 255, 128}, 0, {0, 127, 127, 255}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t bgr[3] = {};
        uint8_t bgra[4] = {};
        RowToBgr24(c.format, c.row.data(), c.x, 1, kPalette, bgr);
        RowToBgra32(c.format, c.row.data(), c.x, 1, kPalette, bgra);
        EXPECT_EQ(std::vector<uint8_t>(bgra, bgra + 4), c.bgra);
        EXPECT_EQ(std::vector<uint8_t>(bgr, bgr + 3), std::vector<uint8_t>(c.bgra.begin(), c.bgra.begin() + 3));
    }
}

// Colours that every direct format keeps within its precision when stored and read back.
TEST(PixelConvertTest, StoringAndReadingBackKeepsColourWithinPrecision) {
    const uint8_t pixels[3][4] = {{0, 128, 255, 255}, {17, 200, 99, 255}, {255, 255, 255, 255}};
    const struct {
        PixelFormat format;
        int tolerance;
    } formats[] = {
        {PixelFormat16bppRGB555, 4}, {PixelFormat16bppRGB565, 4}, {PixelFormat16bppARGB1555, 4},
        {PixelFormat24bppRGB, 0},    {PixelFormat32bppRGB, 0},    {PixelFormat32bppARGB, 0},
        {PixelFormat32bppPARGB, 0},  {PixelFormat48bppRGB, 0},    {PixelFormat64bppARGB, 0},
        {PixelFormat64bppPARGB, 0},  {PixelFormat32bppCMYK, 1},
    };
    for (const auto& f : formats) {
        SCOPED_TRACE(f.format);
        std::vector<uint8_t> row(64, 0xEE);
        RowFromBgra32(&pixels[0][0], 3, f.format, row.data(), 1, nullptr);
        uint8_t back[3][4];
        RowToBgra32(f.format, row.data(), 1, 3, {}, &back[0][0]);
        for (int p = 0; p < 3; ++p)
            for (int ch = 0; ch < 4; ++ch) EXPECT_NEAR(back[p][ch], pixels[p][ch], f.tolerance) << p << "/" << ch;
    }
}

TEST(PixelConvertTest, GreyKeepsLuminance) {
    const uint8_t bgr[6] = {0, 0, 255, 255, 255, 255};  // red, white
    uint8_t row[4];
    RowFromBgr24(bgr, 2, PixelFormat16bppGrayScale, row, 0, nullptr);
    uint8_t back[6];
    RowToBgr24(PixelFormat16bppGrayScale, row, 0, 2, {}, back);
    EXPECT_EQ(back[0], 76);  // 0.299 * 255
    EXPECT_EQ(back[3], 255);
}

TEST(PixelConvertTest, IndexedWritesPickNearestEntryAndKeepNeighbourBits) {
    PaletteMatcher matcher(kPalette);
    const uint8_t bgr[3] = {0xBE, 0xB1, 0xA2};  // nearest 0xA0B0C0 -> index 3
    std::vector<uint8_t> row = {0xFF, 0xFF};
    RowFromBgr24(bgr, 1, PixelFormat4bppIndexed, row.data(), 2, &matcher);
    EXPECT_EQ(row, (std::vector<uint8_t>{0xFF, 0x3F}));

    PaletteMatcher bw(ColourPalette(PixelFormat1bppIndexed));
    const uint8_t dark[6] = {10, 10, 10, 250, 250, 250};
    row = {0xFF, 0x00};
    RowFromBgr24(dark, 2, PixelFormat1bppIndexed, row.data(), 7, &bw);
    EXPECT_EQ(row, (std::vector<uint8_t>{0xFE, 0x80}));
}

TEST(PixelConvertTest, StrideAndAllocationRefuseBadSizes) {
    EXPECT_EQ(PixelRowStride(PixelFormat24bppRGB, 5), 16);
    EXPECT_EQ(PixelRowStride(PixelFormat1bppIndexed, 33), 8);
    EXPECT_EQ(PixelRowStride(PixelFormat64bppARGB, 0x7FFFFFFF), 0);
    EXPECT_EQ(PixelRowStride(0x1234, 10), 0);

    PixelBuffer buffer;
    EXPECT_FALSE(AllocatePixels(buffer, 10, 0, PixelFormat24bppRGB));
    EXPECT_FALSE(AllocatePixels(buffer, 10, 10, PixelFormatUndefined));
    ASSERT_TRUE(AllocatePixels(buffer, 3, 2, PixelFormat4bppIndexed));
    EXPECT_EQ(buffer.stride, 4);
    ASSERT_EQ(buffer.palette.size(), 16u);
    EXPECT_EQ(buffer.palette[15], 0xFFFFFFFFu);
    EXPECT_EQ(buffer.palette[1], 0xFF111111u);
}

TEST(PixelConvertTest, ConvertPixelsKeepsSixteenBitSamplesAndPalettes) {
    PixelBuffer wide;
    ASSERT_TRUE(AllocatePixels(wide, 2, 1, PixelFormat48bppRGB));
    const uint16_t samples[6] = {1, 2, 3, 0x1234, 0x5678, 0x9ABC};
    std::memcpy(wide.Row(0), samples, sizeof samples);
    PixelBuffer argb;
    ASSERT_TRUE(ConvertPixels(wide, {1, 0, 1, 1}, PixelFormat64bppARGB, argb));
    uint16_t out[4];
    std::memcpy(out, argb.Row(0), sizeof out);
    EXPECT_EQ(out[0], 0x1234);
    EXPECT_EQ(out[2], 0x9ABC);
    EXPECT_EQ(out[3], 0xFFFF);

    PixelBuffer indexed;
    ASSERT_TRUE(AllocatePixels(indexed, 9, 1, PixelFormat4bppIndexed));
    indexed.palette = kPalette;
    indexed.Row(0)[4] = 0x20;  // pixel 8
    indexed.Row(0)[0] = 0x10;
    PixelBuffer as8;
    ASSERT_TRUE(ConvertPixels(indexed, {0, 0, 9, 1}, PixelFormat8bppIndexed, as8));
    EXPECT_EQ(as8.palette, kPalette);
    EXPECT_EQ(as8.Row(0)[0], 1);
    EXPECT_EQ(as8.Row(0)[8], 2);

    PixelBuffer bgr;
    ASSERT_TRUE(ConvertPixels(indexed, {0, 0, 1, 1}, PixelFormat24bppRGB, bgr));
    EXPECT_EQ(bgr.Row(0)[0], 0x30);

    // A colour picture into 8 bits takes the colour cube: pure red stays pure red.
    PixelBuffer colour;
    ASSERT_TRUE(AllocatePixels(colour, 1, 1, PixelFormat24bppRGB));
    colour.Row(0)[2] = 255;
    ASSERT_TRUE(ConvertPixels(colour, {0, 0, 1, 1}, PixelFormat8bppIndexed, as8));
    EXPECT_EQ(as8.palette.size(), 256u);
    EXPECT_EQ(as8.palette[as8.Row(0)[0]], 0xFFFF0000u);
}

TEST(PixelConvertTest, ConvertPixelsRefusesRectanglesOutside) {
    PixelBuffer src;
    ASSERT_TRUE(AllocatePixels(src, 4, 4, PixelFormat24bppRGB));
    PixelBuffer out;
    for (const Rect& r : {Rect{-1, 0, 2, 2}, Rect{3, 0, 2, 2}, Rect{0, 0, 0, 1}, Rect{0, 3, 1, 2},
                          Rect{0x7FFFFFFF, 0, 2, 1}})
        EXPECT_FALSE(ConvertPixels(src, r, PixelFormat24bppRGB, out)) << r.x << "," << r.y;
    EXPECT_TRUE(ConvertPixels(src, {3, 3, 1, 1}, PixelFormat32bppARGB, out));
}

}  // namespace
}  // namespace kv
