#include "engine/StandardResample.h"

#include <gtest/gtest.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/ResampleKernels.h"

namespace kv {
namespace {

constexpr InterpolationMode kAllModes[] = {
    InterpolationMode::NearestNeighbor, InterpolationMode::Bilinear,   InterpolationMode::HighQualityBilinear,
    InterpolationMode::Bicubic,         InterpolationMode::HighQualityBicubic,
};
constexpr InterpolationMode kFilteredModes[] = {
    InterpolationMode::Bilinear,
    InterpolationMode::HighQualityBilinear,
    InterpolationMode::Bicubic,
    InterpolationMode::HighQualityBicubic,
};

std::string Name(InterpolationMode mode) {
    static const char* const names[] = {"nearest", "bilinear", "hq-bilinear", "bicubic", "hq-bicubic"};
    return names[static_cast<int>(mode)];
}

// An image in its own buffer; the bytes past 3 * width in each row are filled with junk that must
// neither leak into a result nor be overwritten.
struct Image {
    static constexpr uint8_t kJunk = 0xA5;

    Image(int32_t w, int32_t h, int32_t pad = 0)
        : bytes(static_cast<size_t>(3 * w + pad) * h, kJunk), raster{nullptr, 3 * w + pad, w, h} {
        raster.pixels = bytes.data();
        for (int32_t y = 0; y < h; ++y) std::memset(raster.Row(y), 0, 3 * static_cast<size_t>(w));
    }
    Image(const Image& other) : bytes(other.bytes), raster(other.raster) { raster.pixels = bytes.data(); }

    uint8_t* At(int32_t x, int32_t y) const { return raster.Row(y) + 3 * x; }
    // Only the pixels, row after row.
    std::vector<uint8_t> Pixels() const {
        std::vector<uint8_t> out;
        for (int32_t y = 0; y < raster.height; ++y)
            out.insert(out.end(), raster.Row(y), raster.Row(y) + 3 * raster.width);
        return out;
    }
    double Mean() const {
        double sum = 0;
        for (uint8_t v : Pixels()) sum += v;
        return sum / (3.0 * raster.width * raster.height);
    }
    bool PaddingIntact() const {
        for (int32_t y = 0; y < raster.height; ++y)
            for (int32_t i = 3 * raster.width; i < raster.stride; ++i)
                if (raster.Row(y)[i] != kJunk) return false;
        return true;
    }

    std::vector<uint8_t> bytes;
    Raster raster;
};

Image Random(int32_t w, int32_t h, uint32_t seed = 1, int32_t pad = 0) {
    Image image(w, h, pad);
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t i = 0; i < 3 * w; ++i) image.raster.Row(y)[i] = static_cast<uint8_t>(rng());
    return image;
}

Image Filled(int32_t w, int32_t h, uint8_t b, uint8_t g, uint8_t r) {
    Image image(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            image.At(x, y)[0] = b;
            image.At(x, y)[1] = g;
            image.At(x, y)[2] = r;
        }
    return image;
}

// The first byte where two results differ, or -1; shorter to read than two dumped images.
ptrdiff_t FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return 0;
    const auto [pa, pb] = std::mismatch(a.begin(), a.end(), b.begin());
    return pa == a.end() ? -1 : pa - a.begin();
}

class IsaGuard {
public:
    IsaGuard() : saved_(resample::ActiveIsa()) {}
    ~IsaGuard() { resample::SetActiveIsa(saved_); }

private:
    resample::Isa saved_;
};

SourceRect Whole(const Image& image) { return {0, 0, double(image.raster.width), double(image.raster.height)}; }

Image Draw(const Image& src, int32_t w, int32_t h, InterpolationMode mode, const SourceRect& rect) {
    Image dst(w, h);
    EXPECT_TRUE(DrawResampled(dst.raster, src.raster, rect, mode)) << Name(mode);
    return dst;
}
Image Draw(const Image& src, int32_t w, int32_t h, InterpolationMode mode) {
    return Draw(src, w, h, mode, Whole(src));
}

struct Size {
    int32_t srcW, srcH, dstW, dstH;
};

// Enlargements, reductions, mixed and uneven ratios, and the degenerate shapes.
constexpr Size kShapes[] = {
    {40, 30, 160, 120}, {120, 90, 30, 30}, {64, 48, 37, 101}, {33, 17, 50, 9}, {1, 1, 1, 1}, {1, 1, 7, 5},
    {9, 1, 1, 1},       {1, 9, 1, 4},      {1, 4, 1, 11},     {8, 1, 3, 1},    {3, 1, 8, 1}, {5, 1, 5, 6},
};

TEST(StandardResample, ConstantImageStaysExactlyConstant) {
    for (const Size& s : kShapes) {
        const Image src = Filled(s.srcW, s.srcH, 0, 77, 255);
        for (InterpolationMode mode : kAllModes) {
            const Image dst = Draw(src, s.dstW, s.dstH, mode);
            const Image expected = Filled(s.dstW, s.dstH, 0, 77, 255);
            EXPECT_EQ(dst.Pixels(), expected.Pixels())
                << Name(mode) << " " << s.srcW << "x" << s.srcH << " -> " << s.dstW << "x" << s.dstH;
        }
    }
}

TEST(StandardResample, MeanOfRandomImageHolds) {
    const Size sizes[] = {{300, 240, 100, 80}, {120, 90, 333, 211}, {256, 200, 171, 77}};
    for (const Size& s : sizes) {
        const Image src = Random(s.srcW, s.srcH);
        for (InterpolationMode mode : kAllModes)
            EXPECT_NEAR(Draw(src, s.dstW, s.dstH, mode).Mean(), src.Mean(), 2.0) << Name(mode) << " " << s.dstW;
    }
}

TEST(StandardResample, SameSizeWholeRectIsTheIdentity) {
    const Image src = Random(37, 23, 5);
    for (InterpolationMode mode : kAllModes) EXPECT_EQ(Draw(src, 37, 23, mode).Pixels(), src.Pixels()) << Name(mode);
}

TEST(StandardResample, RampHalvesToTheAverageOfEachPair) {
    Image src(100, 1);
    for (int32_t x = 0; x < 100; ++x) std::memset(src.At(x, 0), 2 * x, 3);
    for (InterpolationMode mode : kAllModes) {
        const Image dst = Draw(src, 50, 1, mode);
        ASSERT_EQ(dst.raster.width, 50);
        // Every filter reproduces a straight ramp; only the mirrored ends bend it.
        const int expectedOffset = mode == InterpolationMode::NearestNeighbor ? 2 : 1;
        for (int32_t x = 3; x < 47; ++x)
            EXPECT_NEAR(dst.At(x, 0)[1], 4 * x + expectedOffset, 1) << Name(mode) << " at " << x;
    }
}

TEST(StandardResample, NearestPicksTheSourcePixelUnderEachCentre) {
    const Image src = Random(13, 11, 9);
    // Fewer columns and more rows than the source: rows repeat, columns are skipped.
    const Image dst = Draw(src, 9, 23, InterpolationMode::NearestNeighbor);
    for (int32_t y = 0; y < 23; ++y)
        for (int32_t x = 0; x < 9; ++x) {
            const int32_t sx = (2 * x + 1) * 13 / 18;
            const int32_t sy = (2 * y + 1) * 11 / 46;
            ASSERT_EQ(0, std::memcmp(dst.At(x, y), src.At(sx, sy), 3)) << x << "," << y;
        }
}

TEST(StandardResample, RectPastTheEdgesReadsMirroredPixels) {
    const Image src = Random(10, 6, 3);
    const auto column = [](const Image& image, int32_t x) {
        std::vector<uint8_t> c;
        for (int32_t y = 0; y < image.raster.height; ++y) c.insert(c.end(), image.At(x, y), image.At(x, y) + 3);
        return c;
    };
    // At unit scale every mode reads whole pixels, so the mirrored columns appear exactly.
    struct Case {
        double x;
        int32_t expected[10];
    };
    const Case cases[] = {
        {-3, {2, 1, 0, 0, 1, 2, 3, 4, 5, 6}},
        {4, {4, 5, 6, 7, 8, 9, 9, 8, 7, 6}},
        {10, {9, 8, 7, 6, 5, 4, 3, 2, 1, 0}},   // the next tile is the flipped image
        {20, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},   // and the one after it the image again
        {-25, {4, 3, 2, 1, 0, 0, 1, 2, 3, 4}},
    };
    for (InterpolationMode mode : kAllModes)
        for (const Case& c : cases) {
            const Image dst = Draw(src, 10, 6, mode, {c.x, 0, 10, 6});
            for (int32_t x = 0; x < 10; ++x)
                EXPECT_EQ(column(dst, x), column(src, c.expected[x])) << Name(mode) << " x=" << c.x << " col " << x;
        }
}

TEST(StandardResample, FractionalRectPastTheEdgesMatchesAnExplicitlyMirroredSource) {
    // The same picture with its mirrored border written out: drawing the shifted rectangle from it
    // reads no pixel beyond its edges, so both draws must agree to the byte. Dyadic coordinates keep
    // the sample positions exact in both.
    const int32_t w = 20, h = 14, pad = 8;
    const Image src = Random(w, h, 11);
    Image padded(w + 2 * pad, h + 2 * pad);
    for (int32_t y = 0; y < h + 2 * pad; ++y)
        for (int32_t x = 0; x < w + 2 * pad; ++x) {
            const auto mirror = [](int32_t i, int32_t n) { return i < 0 ? -i - 1 : (i >= n ? 2 * n - 1 - i : i); };
            std::memcpy(padded.At(x, y), src.At(mirror(x - pad, w), mirror(y - pad, h)), 3);
        }
    const SourceRect rect{-2.5, -1.25, 24, 17.5};
    const SourceRect shifted{rect.x + pad, rect.y + pad, rect.width, rect.height};
    for (InterpolationMode mode : kAllModes)
        EXPECT_EQ(Draw(src, 32, 28, mode, rect).Pixels(), Draw(padded, 32, 28, mode, shifted).Pixels()) << Name(mode);
}

TEST(StandardResample, HighQualityModesDoNotAliasACheckerboard) {
    Image board(90, 90);
    for (int32_t y = 0; y < 90; ++y)
        for (int32_t x = 0; x < 90; ++x) std::memset(board.At(x, y), (x + y) % 2 ? 255 : 0, 3);
    for (InterpolationMode mode : kAllModes) {
        const std::vector<uint8_t> out = Draw(board, 30, 30, mode).Pixels();
        const auto [lo, hi] = std::minmax_element(out.begin(), out.end());
        const bool highQuality =
            mode == InterpolationMode::HighQualityBilinear || mode == InterpolationMode::HighQualityBicubic;
        if (highQuality) {
            EXPECT_GE(*lo, 120) << Name(mode);
            EXPECT_LE(*hi, 135) << Name(mode);
        } else {
            // The plain modes sample single pixels at this ratio: the board survives as black and white.
            EXPECT_GT(*hi - *lo, 200) << Name(mode);
        }
    }
}

TEST(StandardResample, ThreadCountDoesNotChangeTheResult) {
    const Image src = Random(640, 480, 21);
    const Size jobs[] = {{640, 480, 1000, 700}, {640, 480, 200, 150}, {640, 480, 641, 97}};
    tbb::task_arena one(1);
    tbb::task_arena two(2);
    for (const Size& s : jobs)
        for (InterpolationMode mode : kAllModes) {
            Image a(s.dstW, s.dstH), b(s.dstW, s.dstH);
            one.execute([&] { DrawResampled(a.raster, src.raster, Whole(src), mode); });
            two.execute([&] { DrawResampled(b.raster, src.raster, Whole(src), mode); });
            EXPECT_EQ(FirstDifference(a.Pixels(), b.Pixels()), -1) << Name(mode) << " -> " << s.dstW;
        }
    Image a(150, 100), b(150, 100);
    one.execute([&] { AreaAverageResize(a.raster, src.raster); });
    two.execute([&] { AreaAverageResize(b.raster, src.raster); });
    EXPECT_EQ(a.Pixels(), b.Pixels());
}

TEST(StandardResample, VectorisedAndPlainKernelsAgree) {
    if (resample::BestIsa() == resample::Isa::Plain) GTEST_SKIP() << "no vector kernels on this processor";
    IsaGuard guard;
    // Odd widths leave vector tails; the narrow source keeps the last pixels on the plain path.
    const Image src = Random(203, 157, 31);
    const Image narrow = Random(5, 40, 32);
    const Size jobs[] = {{203, 157, 611, 470}, {203, 157, 51, 39}, {203, 157, 7, 3}, {5, 40, 17, 9}};
    for (const Size& s : jobs) {
        const Image& in = s.srcW == 5 ? narrow : src;
        for (InterpolationMode mode : kFilteredModes) {
            const SourceRect rect{-1.5, 2.25, s.srcW + 3.0, s.srcH - 1.0};
            resample::SetActiveIsa(resample::Isa::Plain);
            const Image plain = Draw(in, s.dstW, s.dstH, mode, rect);
            resample::SetActiveIsa(resample::Isa::Avx2);
            const Image vector = Draw(in, s.dstW, s.dstH, mode, rect);
            EXPECT_EQ(FirstDifference(plain.Pixels(), vector.Pixels()), -1) << Name(mode) << " -> " << s.dstW;
        }
    }
}

TEST(StandardResample, RowPaddingNeitherLeaksNorGetsOverwritten) {
    const Image packed = Random(31, 19, 41);
    const Image padded = Random(31, 19, 41, 5);
    IsaGuard guard;
    for (resample::Isa isa : {resample::Isa::Plain, resample::BestIsa()}) {
        resample::SetActiveIsa(isa);
        // An enlargement and a reduction, so both orders of the passes write the rows.
        for (const auto& [w, h] : {std::pair{45, 12}, std::pair{50, 40}, std::pair{14, 7}})
            for (InterpolationMode mode : kAllModes) {
                Image outPacked(w, h), outPadded(w, h, 7);
                DrawResampled(outPacked.raster, packed.raster, Whole(packed), mode);
                DrawResampled(outPadded.raster, padded.raster, Whole(padded), mode);
                EXPECT_EQ(FirstDifference(outPacked.Pixels(), outPadded.Pixels()), -1) << Name(mode) << " " << w;
                EXPECT_TRUE(outPadded.PaddingIntact()) << Name(mode) << " " << w;
            }
        Image areaPacked(13, 40), areaPadded(13, 40, 3);
        AreaAverageResize(areaPacked.raster, packed.raster);
        AreaAverageResize(areaPadded.raster, padded.raster);
        EXPECT_EQ(areaPacked.Pixels(), areaPadded.Pixels());
        EXPECT_TRUE(areaPadded.PaddingIntact());
    }
}

TEST(StandardResample, SingleRowAndColumnSourcesStretchWithoutMixingInAnything) {
    const Image row = Random(9, 1, 51);
    const Image column = Random(1, 9, 52);
    for (InterpolationMode mode : kAllModes) {
        const Image tall = Draw(row, 9, 6, mode);
        const Image wide = Draw(column, 5, 9, mode);
        for (int32_t y = 0; y < 6; ++y) EXPECT_EQ(0, std::memcmp(tall.At(0, y), row.At(0, 0), 27)) << Name(mode);
        for (int32_t y = 0; y < 9; ++y)
            for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(0, std::memcmp(wide.At(x, y), column.At(0, y), 3)) << Name(mode);
    }
}

TEST(StandardResample, RejectsUnusableArgumentsAndLeavesTheDestination) {
    const Image src = Random(8, 8, 61);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Empty, not finite, and reaching absurdly far (which would make the weight tables enormous).
    const SourceRect bad[] = {{0, 0, 0, 8}, {0, 0, 8, -1}, {nan, 0, 8, 8}, {0, 0, 8, INFINITY}, {1e12, 0, 8, 8},
                              {0, 0, 1e9, 8}, {0, -1e9, 8, 8}};
    for (InterpolationMode mode : kAllModes)
        for (const SourceRect& rect : bad) {
            Image dst = Filled(4, 4, 1, 2, 3);
            EXPECT_FALSE(DrawResampled(dst.raster, src.raster, rect, mode)) << Name(mode);
            EXPECT_EQ(dst.Pixels(), Filled(4, 4, 1, 2, 3).Pixels());
        }
    Image dst(4, 4);
    EXPECT_FALSE(DrawResampled(dst.raster, Raster{}, {0, 0, 1, 1}, InterpolationMode::Bilinear));
    EXPECT_FALSE(AreaAverageResize(Raster{}, src.raster));
}

// AreaAverageResize: hand-made cases with exact answers.

Image Grey(int32_t w, int32_t h, std::initializer_list<int> values) {
    Image image(w, h);
    auto v = values.begin();
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x, ++v) std::memset(image.At(x, y), *v, 3);
    return image;
}

std::vector<int> GreyOf(const Image& image) {
    std::vector<int> out;
    for (int32_t y = 0; y < image.raster.height; ++y)
        for (int32_t x = 0; x < image.raster.width; ++x) {
            EXPECT_TRUE(image.At(x, y)[0] == image.At(x, y)[1] && image.At(x, y)[1] == image.At(x, y)[2]);
            out.push_back(image.At(x, y)[0]);
        }
    return out;
}

std::vector<int> AreaResize(const Image& src, int32_t w, int32_t h) {
    Image dst(w, h);
    EXPECT_TRUE(AreaAverageResize(dst.raster, src.raster));
    return GreyOf(dst);
}

// A picture two pixels wide and 400,000 high shrunk to 2 x 2: too strong a reduction for the
// filter tables, which would grow with the source. Whole blocks are averaged first; the halves stay
// black and white (the widened filters reach a little across, the same amount both ways), and the
// memory of the work follows the output.
TEST(StandardResample, ExtremeReductionsAverageBlocksFirstAndKeepTheirMemorySmall) {
    Image src(2, 400000);
    for (int32_t y = 200000; y < 400000; ++y) std::memset(src.raster.Row(y), 255, 6);
    for (const InterpolationMode mode : kFilteredModes) {
        SCOPED_TRACE(Name(mode));
        const std::vector<uint8_t> out = Draw(src, 2, 2, mode).Pixels();
        const bool widened = mode == InterpolationMode::HighQualityBilinear || mode == InterpolationMode::HighQualityBicubic;
        EXPECT_LE(out[0], widened ? 40 : 0);
        for (size_t i = 0; i < 6; ++i) {
            EXPECT_EQ(out[i], out[0]);
            EXPECT_EQ(out[6 + i], 255 - out[0]);
        }
        // A hundred million rows to a hundred take kilobytes, not gigabytes.
        EXPECT_LT(DrawResampledWorkingBytes(100, 100, 1, 100000000, mode), uint64_t{4} << 20);
        EXPECT_LT(DrawResampledWorkingBytes(100, 100, 100000000, 1, mode), uint64_t{4} << 20);
    }
    Image area(2, 2);
    ASSERT_TRUE(AreaAverageResize(area.raster, src.raster));
    EXPECT_EQ(area.Pixels(), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255}));
}

// An alpha plane drawn beside its colour must land exactly where the colour does: a plane drawn on
// its own equals each channel of a grey picture drawn as colour, for every mode, shape, source
// rectangle, reduction strong enough to average blocks first, and both kernel sets.
TEST(StandardResample, PlaneDrawsExactlyAsEachChannelOfColour) {
    IsaGuard guard;
    struct Case {
        Size size;
        SourceRect rect;  // empty for the whole source
    };
    std::vector<Case> cases;
    for (const Size& s : kShapes) cases.push_back({s, {}});
    cases.push_back({{90, 70, 30, 20}, {10.5, -3.25, 60.0, 50.5}});
    cases.push_back({{2000, 3, 20, 3}, {}});  // more than 32:1: block averages first
    for (const resample::Isa isa : {resample::Isa::Plain, resample::Isa::Avx2}) {
        resample::SetActiveIsa(isa);
        for (const Case& c : cases) {
            for (const InterpolationMode mode : kAllModes) {
                const Size& s = c.size;
                std::mt19937 rng(s.srcW * 31 + s.srcH);
                std::vector<uint8_t> plane(static_cast<size_t>(s.srcW) * s.srcH);
                for (uint8_t& v : plane) v = static_cast<uint8_t>(rng());
                Image grey(s.srcW, s.srcH);
                for (int32_t y = 0; y < s.srcH; ++y)
                    for (int32_t x = 0; x < s.srcW; ++x)
                        std::memset(grey.At(x, y), plane[static_cast<size_t>(y) * s.srcW + x], 3);
                const SourceRect rect = c.rect.width > 0 ? c.rect : Whole(grey);
                const Image colour = Draw(grey, s.dstW, s.dstH, mode, rect);
                std::vector<uint8_t> out(static_cast<size_t>(s.dstW) * s.dstH, 0x5A);
                ASSERT_TRUE(DrawResampledPlane({out.data(), s.dstW, s.dstW, s.dstH}, {plane.data(), s.srcW, s.srcW, s.srcH},
                                               rect, mode));
                for (int32_t y = 0; y < s.dstH; ++y)
                    for (int32_t x = 0; x < s.dstW; ++x)
                        ASSERT_EQ(out[static_cast<size_t>(y) * s.dstW + x], colour.At(x, y)[1])
                            << Name(mode) << " " << s.srcW << "x" << s.srcH << "->" << s.dstW << "x" << s.dstH << " at " << x
                            << "," << y;
            }
        }
    }
}

TEST(AreaAverageResize, ReductionsAverageTheCoveredAreaExactly) {
    // 2x2 blocks: (0+1+0+0)/4 rounds to 0, (0+1+0+1)/4 = 0.5 rounds up, (10+20+30+41)/4 = 25.25.
    EXPECT_EQ(AreaResize(Grey(4, 2, {0, 1, 0, 1, 0, 0, 0, 1}), 2, 1), (std::vector<int>{0, 1}));
    EXPECT_EQ(AreaResize(Grey(2, 2, {10, 20, 30, 41}), 1, 1), (std::vector<int>{25}));
    // Nine pixels into one: 360 / 9 = 40, and 4 / 9 rounds down while 5 / 9 rounds up.
    EXPECT_EQ(AreaResize(Grey(3, 3, {0, 10, 20, 30, 40, 50, 60, 70, 80}), 1, 1), (std::vector<int>{40}));
    EXPECT_EQ(AreaResize(Grey(3, 3, {0, 0, 0, 0, 4, 0, 0, 0, 0}), 1, 1), (std::vector<int>{0}));
    EXPECT_EQ(AreaResize(Grey(3, 3, {1, 1, 1, 1, 1, 0, 0, 0, 0}), 1, 1), (std::vector<int>{1}));
    // A ratio of 1.5: each output covers a whole pixel and half of a neighbour. (30 + 30) / 1.5 = 40,
    // (30 + 60) / 1.5 = 60, (90 + 75) / 1.5 = 110, (75 + 0) / 1.5 = 50.
    EXPECT_EQ(AreaResize(Grey(6, 1, {30, 60, 60, 90, 150, 0}), 4, 1), (std::vector<int>{40, 60, 110, 50}));
}

TEST(AreaAverageResize, EnlargementsInterpolateLinearlyAndDirectionsAreIndependent) {
    // Centres of 4 outputs over 2 pixels fall at -0.25, 0.25, 0.75 and 1.25 source pixels.
    EXPECT_EQ(AreaResize(Grey(2, 1, {0, 200}), 4, 1), (std::vector<int>{0, 50, 150, 200}));
    // Halved across, enlarged down.
    EXPECT_EQ(AreaResize(Grey(4, 2, {0, 40, 100, 100, 200, 240, 100, 100}), 2, 4),
              (std::vector<int>{20, 100, 70, 100, 170, 100, 220, 100}));
    // Equal size is the identity.
    const Image src = Random(17, 5, 71);
    Image same(17, 5);
    AreaAverageResize(same.raster, src.raster);
    EXPECT_EQ(same.Pixels(), src.Pixels());
}

}  // namespace
}  // namespace kv
