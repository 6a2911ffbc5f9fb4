#include "engine/DibImage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace kv {
namespace {

std::string MessageOf(auto&& make) {
    try {
        make();
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "(no exception)";
}

TEST(DibImage, ConstructorMessages) {
    const std::string empty = "invalid width or height argument: \t\t\t\t\t\t\t\t trying to create an empty dib";
    const RgbQuad palette[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    EXPECT_EQ(MessageOf([] { new DibImage(nullptr, true); }), "invalid pbmi argument: NULL pointer");
    BitmapInfoHeader bad{};
    bad.biSize = 12;
    EXPECT_EQ(MessageOf([&] { new DibImage(&bad, true); }), "invalid pbmi argument");
    EXPECT_EQ(MessageOf([&] { new DibImage(0, 5, 24, nullptr); }), empty);
    EXPECT_EQ(MessageOf([&] { new DibImage(5, 5, 16, palette); }),
              "invalid argument: \t\t\t\t\t\t\t\t unsupported bits per pixel");
    EXPECT_EQ(MessageOf([&] { new DibImage(5, 5, 8, nullptr); }), "invalid palette argument");
}

TEST(DibImage, EmptyDibHeaderAndPalette) {
    RgbQuad palette[2] = {{1, 2, 3, 99}, {4, 5, 6, 99}};
    DibImagePtr dib(new DibImage(9, 3, 1, palette));
    const BitmapInfoHeader& h = *dib->header();
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 9);
    EXPECT_EQ(h.biHeight, 3);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 1);
    EXPECT_EQ(dib->stride(), 4);
    EXPECT_EQ(h.biSizeImage, 12u);
    EXPECT_EQ(h.biClrUsed, 2u);
    EXPECT_EQ(dib->palette()[1].green, 5);
    EXPECT_EQ(dib->palette()[1].reserved, 0);  // the fourth byte is always cleared
    EXPECT_EQ(dib->packedSize(), 40u + 8u + 12u);
}

TEST(DibImage, PaletteSizeFollowsBitsPerPixelNotTheUsedCount) {
    // An 8-bit packed DIB that declares 16 used colours still carries 256 palette entries.
    const int32_t w = 3, h = 2, stride = 4;
    std::vector<uint8_t> block(40 + 256 * 4 + h * stride);
    auto* header = reinterpret_cast<BitmapInfoHeader*>(block.data());
    *header = {40, w, h, 1, 8, 0, 0, 0, 0, 16, 16};
    block[40 + 255 * 4] = 77;  // blue of the last entry
    block[40 + 256 * 4] = 255;  // first pixel uses entry 255
    DibImagePtr dib(new DibImage(header, true));
    EXPECT_EQ(dib->paletteEntries(), 256);
    EXPECT_EQ(dib->palette()[255].blue, 77);
    EXPECT_EQ(dib->bits()[0], 255);
}

TEST(DibImage, AdoptsAMallocBlock) {
    const size_t size = 40 + 4 * 4;
    auto* header = static_cast<BitmapInfoHeader*>(std::calloc(1, size));
    *header = {40, 1, 4, 1, 24, 0, 0, 0, 0, 0, 0};
    DibImagePtr dib(new DibImage(header, false));
    EXPECT_EQ(dib->header(), header);  // freed with the record
}

TEST(DibImage, CopiesARasterBottomUpWithItsResolution) {
    uint8_t pixels[2][8] = {{1, 2, 3, 4, 5, 6, 0xEE, 0xEE}, {7, 8, 9, 10, 11, 12, 0xEE, 0xEE}};
    const Raster top{&pixels[0][0], 8, 2, 2};
    DibImagePtr dib(new DibImage(top, 300.9f, 72.0f));
    EXPECT_EQ(dib->stride(), 8);
    EXPECT_EQ(dib->bits()[0], 7);              // the bottom row comes first
    EXPECT_EQ(dib->bits()[8], 1);
    EXPECT_EQ(dib->header()->biXPelsPerMeter, (300 * 10000 + 127) / 254);  // 11811
    EXPECT_EQ(dib->header()->biYPelsPerMeter, 2835);
}

TEST(DibImage, ResizeMakesA24BitDibOfTheNewSize) {
    RgbQuad palette[2] = {{0, 0, 0, 0}, {200, 100, 50, 0}};
    DibImagePtr dib(new DibImage(8, 8, 1, palette));
    std::memset(dib->bits(), 0xFF, static_cast<size_t>(dib->stride()) * 8);  // every pixel is entry 1
    EXPECT_TRUE(dib->Resize(8, 8));                                          // same size: nothing to do
    EXPECT_EQ(dib->bitsPerPixel(), 1);
    ASSERT_TRUE(dib->Resize(4, 2));
    EXPECT_EQ(dib->bitsPerPixel(), 24);
    EXPECT_EQ(dib->width(), 4);
    EXPECT_EQ(dib->height(), 2);
    EXPECT_EQ(dib->stride(), 12);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            const uint8_t* p = dib->bits() + y * dib->stride() + 3 * x;
            EXPECT_EQ(p[0], 200);
            EXPECT_EQ(p[1], 100);
            EXPECT_EQ(p[2], 50);
        }
}

TEST(DibImage, ReferenceCount) {
    DibImagePtr a(new DibImage(1, 1, 24, nullptr));
    {
        DibImagePtr b = a;
        EXPECT_EQ(a->refCount(), 2);
    }
    EXPECT_EQ(a->refCount(), 1);
}

}  // namespace
}  // namespace kv
