#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "engine/advanced/AdvancedTables.h"
#include "engine/advanced/Lanczos4Prescale.h"

namespace kv::advanced {
namespace {

TEST(Lanczos4Prescale, WeightsInTwelveBitFixedPoint) {
    const Lanczos4Weights& w = Lanczos4WeightTable();
    using Row = std::array<int32_t, 8>;
    EXPECT_EQ(w[0], (Row{0, 0, 0, 4096, 0, 0, 0, 0}));
    EXPECT_EQ(w[1], (Row{-1, 5, -13, 4096, 14, -4, 2, 0}));
    EXPECT_EQ(w[64], (Row{-61, 227, -624, 3664, 1159, -375, 129, -15}));
    EXPECT_EQ(w[128], (Row{-51, 245, -681, 2541, 2541, -681, 245, -51}));
    EXPECT_EQ(w[192], (Row{-15, 129, -375, 1159, 3664, -624, 227, -61}));
}

TEST(Lanczos4Prescale, SumsStayInsideTheClampTable) {
    // Whatever the bytes, sum >> 16 must index the clamp table (-256 .. 511).
    const Lanczos4Weights& w = Lanczos4WeightTable();
    for (int32_t pr = 0; pr < 256; ++pr)
        for (int32_t pc = 0; pc < 256; ++pc) {
            int64_t positive = 0;
            int64_t negative = 0;
            for (int32_t r = 0; r < 8; ++r)
                for (int32_t s = 0; s < 8; ++s) {
                    const int32_t v = (w[static_cast<size_t>(pr)][static_cast<size_t>(r)] *
                                       w[static_cast<size_t>(pc)][static_cast<size_t>(s)]) >> 8;
                    (v > 0 ? positive : negative) += v;
                }
            ASSERT_LE((positive * 255) >> 16, ClampTable::kMax) << pr << " " << pc;
            ASSERT_GE((negative * 255) >> 16, ClampTable::kMin) << pr << " " << pc;
        }
}

struct Image {
    int32_t width, height, channels, stride;
    std::vector<uint8_t> bytes;

    Image(int32_t w, int32_t h, int32_t c, int32_t extra = 0)
        : width(w), height(h), channels(c), stride(c * w + extra), bytes(static_cast<size_t>(stride * h), 0xA5) {}
    uint8_t& at(int32_t x, int32_t y, int32_t c) { return bytes[static_cast<size_t>(y * stride + x * channels + c)]; }
    PixelRows rows() const { return {bytes.data(), stride, width, height}; }
    MutablePixelRows mutableRows() { return {bytes.data(), stride, width, height}; }
};

Image Noise(int32_t w, int32_t h, int32_t channels, uint32_t seed) {
    Image image(w, h, channels, 2);
    std::mt19937 random(seed);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            for (int32_t c = 0; c < channels; ++c) image.at(x, y, c) = static_cast<uint8_t>(random() & 0xFF);
    return image;
}

// The resampling read straight off its definition: every tap clamped into the source, every
// weight the product of the two phase tables shifted by 8.
Image Reference(const Image& src, int32_t dstWidth, int32_t dstHeight) {
    const Lanczos4Weights& w = Lanczos4WeightTable();
    Image dst(dstWidth, dstHeight, src.channels);
    Image& s = const_cast<Image&>(src);
    for (int32_t a = 0; a < dstHeight; ++a) {
        const int64_t f = int64_t{a} * src.height / dstHeight;
        const int64_t pr = int64_t{a} * src.height * 256 / dstHeight - 256 * f;
        for (int32_t b = 0; b < dstWidth; ++b) {
            const int64_t l = int64_t{b} * src.width / dstWidth;
            const int64_t pc = int64_t{b} * src.width * 256 / dstWidth - 256 * l;
            for (int32_t c = 0; c < src.channels; ++c) {
                int32_t sum = 0;
                for (int32_t r = 0; r < 8; ++r)
                    for (int32_t t = 0; t < 8; ++t) {
                        const int32_t weight = (w[static_cast<size_t>(pr)][static_cast<size_t>(r)] *
                                                w[static_cast<size_t>(pc)][static_cast<size_t>(t)]) >> 8;
                        const int32_t y = static_cast<int32_t>(std::clamp<int64_t>(f - 3 + r, 0, src.height - 1));
                        const int32_t x = static_cast<int32_t>(std::clamp<int64_t>(l - 3 + t, 0, src.width - 1));
                        sum += weight * s.at(x, y, c);
                    }
                dst.at(b, a, c) = static_cast<uint8_t>(std::clamp(sum >> 16, 0, 255));
            }
        }
    }
    return dst;
}

// The pixels of a resize, without the bytes beyond each row.
std::vector<uint8_t> Pixels(const Image& image) {
    std::vector<uint8_t> out;
    for (int32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = image.bytes.data() + y * image.stride;
        out.insert(out.end(), row, row + image.channels * image.width);
    }
    return out;
}

TEST(Lanczos4Prescale, BothPathsFollowTheDefinition) {
    struct Case {
        int32_t srcWidth, srcHeight, dstWidth, dstHeight;
    };
    const Case cases[] = {
        {40, 30, 160, 120},  // 4x: four phases per side
        {5, 4, 23, 17},      // odd ratios, every tap clamped somewhere
        {64, 48, 21, 13},    // reduction
        {1, 1, 7, 5},        // a single source pixel
        {3, 1, 10, 4},
        {33, 20, 33, 50},    // one side unchanged
        {300, 2, 257, 3},    // more than 256 columns: every phase slot in use
    };
    StopFlag stop{0};
    for (const Case& c : cases) {
        for (int32_t channels : {1, 3}) {
            SCOPED_TRACE(testing::Message() << c.srcWidth << "x" << c.srcHeight << " to " << c.dstWidth << "x"
                                            << c.dstHeight << ", " << channels << " channels");
            const Image src = Noise(c.srcWidth, c.srcHeight, channels, 7u * c.dstWidth + channels);
            const std::vector<uint8_t> expected = Pixels(Reference(src, c.dstWidth, c.dstHeight));
            for (KernelPath path : {KernelPath::Plain, KernelPath::Vector}) {
                if (!KernelPathAvailable(path)) continue;
                Image dst(c.dstWidth, c.dstHeight, channels, 3);
                ASSERT_TRUE(Lanczos4Prescale(dst.mutableRows(), src.rows(), channels, stop, path));
                EXPECT_EQ(Pixels(dst), expected) << (path == KernelPath::Plain ? "plain" : "vector");
                // The bytes beyond each row's pixels are not touched.
                for (int32_t y = 0; y < c.dstHeight; ++y)
                    for (int32_t i = channels * c.dstWidth; i < dst.stride; ++i)
                        ASSERT_EQ(dst.bytes[static_cast<size_t>(y * dst.stride + i)], 0xA5);
            }
        }
    }
}

TEST(Lanczos4Prescale, WholeMultiplesReproduceTheSourceOnTheGrid) {
    // At phase 0 the kernel is 4096 at the centre and 0 elsewhere, so every fourth pixel of a 4x
    // enlargement is the source pixel itself.
    const Image src = Noise(20, 15, 3, 11);
    Image dst(80, 60, 3);
    StopFlag stop{0};
    ASSERT_TRUE(Lanczos4Prescale(dst.mutableRows(), src.rows(), 3, stop));
    Image& s = const_cast<Image&>(src);
    for (int32_t y = 0; y < 15; ++y)
        for (int32_t x = 0; x < 20; ++x)
            for (int32_t c = 0; c < 3; ++c) ASSERT_EQ(dst.at(4 * x, 4 * y, c), s.at(x, y, c));
}

TEST(Lanczos4Prescale, StopBeforeTheFirstRowWritesNothing) {
    const Image src = Noise(20, 15, 3, 5);
    Image dst(50, 40, 3);
    const std::vector<uint8_t> before = dst.bytes;
    StopFlag stop{1};
    EXPECT_TRUE(Lanczos4Prescale(dst.mutableRows(), src.rows(), 3, stop));
    EXPECT_EQ(dst.bytes, before);
}

}  // namespace
}  // namespace kv::advanced
