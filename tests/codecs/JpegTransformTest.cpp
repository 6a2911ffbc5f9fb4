// The codec's arithmetic kernels: the fast transforms against the textbook DCT, and the vector
// routines against the plain ones, which must give identical bytes.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "base/CpuFeatures.h"
#include "codecs/JpegFdct.h"
#include "codecs/JpegIdct.h"
#include "codecs/JpegTables.h"
#include "codecs/YccToRgb.h"

namespace {

using namespace SlimJpeg;

double Basis(int u, int x) { return (u == 0 ? std::sqrt(0.5) : 1.0) * std::cos((2 * x + 1) * u * M_PI / 16.0); }

bool HaveAvx2() { return kv::CpuHas(kv::InstructionSet::Avx2); }

IdctMultipliers Multipliers(const std::array<uint16_t, 64>& quant) {
    IdctMultipliers m;
    for (int k = 0; k < 64; ++k) m.Set(k, quant[k] * InverseDctScales()[k]);
    return m;
}

TEST(JpegTransforms, ScaleTablesHoldTheirCornerValues) {
    EXPECT_EQ(InverseDctScales()[0], 8192);
    EXPECT_EQ(InverseDctScales()[63], 624);
    EXPECT_EQ(ForwardDctScales()[0], 32768);
    EXPECT_EQ(ForwardDctScales()[63], 2494);
}

TEST(JpegTransforms, InverseTransformStaysWithinTwoLevelsOfTheExactOne) {
    std::mt19937 random(7);
    std::array<uint16_t, 64> quant;
    quant.fill(1);
    for (int trial = 0; trial < 300; ++trial) {
        int16_t block[64];
        for (int k = 0; k < 64; ++k) {
            // Large low frequencies, small high ones, as in photographs.
            const int range = 600 / (1 + k % 8 + k / 8);
            block[k] = static_cast<int16_t>(std::uniform_int_distribution<int>(-range, range)(random));
        }
        double exact[64];
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                double sum = 0;
                for (int v = 0; v < 8; ++v)
                    for (int u = 0; u < 8; ++u) sum += block[8 * v + u] * Basis(u, x) * Basis(v, y);
                exact[8 * y + x] = std::clamp(std::round(sum / 4 + 128), 0.0, 255.0);
            }
        InverseDctScalar(block, Multipliers(quant));
        for (int i = 0; i < 64; ++i) ASSERT_LE(std::abs(block[i] - exact[i]), 2) << "trial " << trial << " sample " << i;
    }
}

// The 8-bit constants cost up to two steps at the finest quantisation; a wrong constant or butterfly
// costs tens.
TEST(JpegTransforms, ForwardTransformQuantisesWithinTwoOfTheExactOne) {
    std::mt19937 random(11);
    FdctDivisors divisors;
    for (int quant : {1, 3, 16}) {
        for (int k = 0; k < 64; ++k) divisors.Set(k, quant * ForwardDctScales()[k]);
        for (int trial = 0; trial < 200; ++trial) {
            int16_t block[64];
            for (int16_t& s : block) s = static_cast<int16_t>(std::uniform_int_distribution<int>(0, 256)(random));
            double exact[64];
            for (int v = 0; v < 8; ++v)
                for (int u = 0; u < 8; ++u) {
                    double sum = 0;
                    for (int y = 0; y < 8; ++y)
                        for (int x = 0; x < 8; ++x) sum += (block[8 * y + x] - 128) * Basis(u, x) * Basis(v, y);
                    exact[8 * v + u] = sum / 4 / quant;
                }
            ForwardDctScalar(block, divisors);
            for (int k = 0; k < 64; ++k)
                ASSERT_LE(std::abs(block[k] - std::round(exact[k])), 2.0) << "quant " << quant << " trial " << trial << " k " << k;
        }
    }
}

TEST(JpegTransforms, QuantisingReciprocalsDivideExactly) {
    std::mt19937 random(13);
    std::vector<uint32_t> divisors = {2, 3, 7, 2494, 4096, 32768, 65535, 255 * 63042, 0x7FFFFFFF};
    for (int i = 0; i < 200; ++i) divisors.push_back(std::uniform_int_distribution<uint32_t>(2, 0x7FFFFFFF)(random));
    for (uint32_t d : divisors) {
        FdctDivisors divisor;
        divisor.Set(0, static_cast<int32_t>(d));
        std::vector<uint32_t> numerators = {0, 1, d - 1, d, d + 1, 2 * d - 1, 0x7FFFFFFF, 0xBFFFFFFF, 0xFFFFFFFF};
        for (int i = 0; i < 2000; ++i) numerators.push_back(random());
        for (uint32_t n : numerators) {
            const uint32_t q = DivideByReciprocal(n, divisor.reciprocal[0]);
            ASSERT_EQ(q, n / d) << n << " / " << d;
        }
    }
}

TEST(JpegTransforms, VectorInverseTransformMatchesThePlainOneBitForBit) {
    if (!HaveAvx2()) GTEST_SKIP() << "no AVX2";
    std::mt19937 random(3);
    for (int trial = 0; trial < 20000; ++trial) {
        std::array<uint16_t, 64> quant;
        // Damaged files bring any 16-bit values: the wrapping arithmetic must agree there too.
        const bool wild = trial % 2 == 1;
        for (uint16_t& q : quant) q = static_cast<uint16_t>(std::uniform_int_distribution<int>(1, wild ? 65535 : 99)(random));
        const IdctMultipliers m = Multipliers(quant);
        int16_t a[64], b[64];
        const int density = trial % 4;  // from DC only to every coefficient set
        for (int k = 0; k < 64; ++k) {
            const bool set = k == 0 || std::uniform_int_distribution<int>(0, 3)(random) < density;
            a[k] = set ? static_cast<int16_t>(std::uniform_int_distribution<int>(wild ? -32768 : -300, wild ? 32767 : 300)(random)) : 0;
            b[k] = a[k];
        }
        InverseDctScalar(a, m);
        InverseDctAvx2(b, m);
        ASSERT_TRUE(std::equal(a, a + 64, b)) << "trial " << trial;
    }
}

TEST(JpegTransforms, VectorForwardTransformMatchesThePlainOneBitForBit) {
    if (!HaveAvx2()) GTEST_SKIP() << "no AVX2";
    std::mt19937 random(9);
    for (int quality : {1, 10, 50, 75, 90, 100}) {
        const int scale = quality >= 51 ? 200 - 2 * quality : 5000 / quality;
        FdctDivisors divisors;
        for (int k = 0; k < 64; ++k) {
            const int q = std::clamp((kLuminanceQuant[k] * scale + 50) / 100, 1, 255);
            divisors.Set(k, q * ForwardDctScales()[k]);
        }
        for (int trial = 0; trial < 3000; ++trial) {
            int16_t a[64], b[64];
            // Flat, smooth and noisy blocks over the whole sample range the colour conversion gives.
            const int spread = trial % 3 == 0 ? 0 : trial % 3 == 1 ? 20 : 256;
            const int centre = std::uniform_int_distribution<int>(0, 256)(random);
            for (int i = 0; i < 64; ++i) {
                const int noise = spread ? std::uniform_int_distribution<int>(-spread, spread)(random) : 0;
                a[i] = b[i] = static_cast<int16_t>(std::clamp(centre + noise, 0, 256));
            }
            ForwardDctScalar(a, divisors);
            ForwardDctAvx2(b, divisors);
            ASSERT_TRUE(std::equal(a, a + 64, b)) << "quality " << quality << " trial " << trial;
        }
    }
}

TEST(JpegTransforms, VectorColourConversionMatchesThePlainOneBitForBit) {
    if (!HaveAvx2()) GTEST_SKIP() << "no AVX2";
    struct Layout {
        std::vector<RowConverter::Component> components;
        int hmax, vmax;
    };
    const Layout layouts[] = {
        {{{2, 2, 0}, {1, 1, 4}, {1, 1, 5}}, 2, 2},  // 4:2:0
        {{{2, 1, 0}, {1, 1, 2}, {1, 1, 3}}, 2, 1},  // 4:2:2
        {{{1, 1, 0}, {1, 1, 1}, {1, 1, 2}}, 1, 1},  // 4:4:4
        {{{1, 2, 0}, {1, 1, 2}, {1, 1, 3}}, 1, 2},  // 4:4:0
        {{{2, 2, 0}, {2, 1, 4}, {2, 1, 6}}, 2, 2},  // chroma at full width, half height
    };
    std::mt19937 random(5);
    for (const Layout& layout : layouts) {
        int blocks = 0;
        for (const auto& c : layout.components) blocks += c.h * c.v;
        for (int width : {1, 13, 16, 17, 75}) {
            const int mcuWidth = 8 * layout.hmax, mcuHeight = 8 * layout.vmax;
            const int mcus = (width + mcuWidth - 1) / mcuWidth;
            std::vector<int16_t> samples(static_cast<size_t>(mcus) * 64 * blocks);
            for (int16_t& s : samples) s = static_cast<int16_t>(std::uniform_int_distribution<int>(0, 255)(random));
            const RowConverter plain(RowConverter::Kind::Ycc, layout.components, layout.hmax, layout.vmax, width, 64 * blocks, false);
            const RowConverter vector(RowConverter::Kind::Ycc, layout.components, layout.hmax, layout.vmax, width, 64 * blocks, true);
            const size_t rowBytes = static_cast<size_t>(mcus) * mcuWidth * 3;
            std::vector<uint8_t> a(rowBytes * mcuHeight), b(rowBytes * mcuHeight);
            std::vector<uint8_t*> rowsA, rowsB;
            for (int y = 0; y < mcuHeight; ++y) {
                rowsA.push_back(a.data() + rowBytes * y);
                rowsB.push_back(b.data() + rowBytes * y);
            }
            plain.Convert(samples.data(), mcuHeight, rowsA.data());
            vector.Convert(samples.data(), mcuHeight, rowsB.data());
            for (int y = 0; y < mcuHeight; ++y)
                ASSERT_TRUE(std::equal(rowsA[y], rowsA[y] + 3 * width, rowsB[y]))
                    << "layout " << (&layout - layouts) << " width " << width << " row " << y;
        }
    }
}

}  // namespace
