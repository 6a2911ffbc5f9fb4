#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <limits>

#include "app/SizeArithmetic.h"

namespace kv {
namespace {

std::string Printf(const char* format, double value) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

TEST(SizeArithmetic, FormatsLikePrintfInTheCLocale) {
    // The bar's texts must read the same whatever locale the desktop sets for C's printf.
    std::setlocale(LC_NUMERIC, "C");
    const double values[] = {0,          1,       0.5,         -2.5,     3,         100000,   123456,
                             1234567,    1e-5,    0.0001,      0.00001234, 11.692913385826772, 7.795275590551181,
                             3937.00787, 41.6667, 0.0393700787, 2.675,    1e300,     0.3,      29.296875};
    for (double v : values) {
        EXPECT_EQ(FormatG(v), Printf("%g", v)) << v;
        EXPECT_EQ(FormatFixed(v < 1e20 ? v : 1.5, 2), Printf("%.2f", v < 1e20 ? v : 1.5)) << v;
        EXPECT_EQ(FormatFixed(v < 1e20 ? v : 1.5, 0), Printf("%.0f", v < 1e20 ? v : 1.5)) << v;
    }
}

TEST(SizeArithmetic, ByteSizeSwitchesUnitAtOneThousand) {
    const struct {
        uint64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0.0KB"},
        {30000, "29.3KB"},                  // 100 x 100 x 3
        {1023999, "1000.0KB"},              // 999.999 KB still below 1000 before rounding
        {1024000, "1.0MB"},                 // exactly 1000 KB
        {3000000, "2.9MB"},                 // 2929.7 KB are not below 1000: 2.86 MB
        {1048576000ull, "1.0GB"},           // 1000 MB
        {30000000000ull, "27.9GB"},         // 100000 x 100000 x 3
    };
    for (const auto& c : cases) EXPECT_EQ(FormatByteSize(c.bytes), c.text) << c.bytes;
}

TEST(SizeArithmetic, RoundsHalfUpAtTheGivenDecimals) {
    EXPECT_DOUBLE_EQ(RoundToDecimals(1.33333333, 4), 1.3333);
    EXPECT_DOUBLE_EQ(RoundToDecimals(0.66666666, 4), 0.6667);
    EXPECT_DOUBLE_EQ(RoundToDecimals(49.996, 2), 50.0);
    EXPECT_DOUBLE_EQ(RoundToDecimals(33.3333, 2), 33.33);
    // Far beyond a 32-bit integer once scaled: 100000 pixels at 1 dpi in points.
    EXPECT_DOUBLE_EQ(RoundToDecimals(7200000.0, 4), 7200000.0);
}

TEST(SizeArithmetic, FitKeepsTheBindingSideAndTruncates) {
    const struct {
        PixelSize box;
        int32_t iw, ih;
        PixelSize fitted;
    } cases[] = {
        {{640, 480}, 1000, 500, {640, 320}},    // box taller than the image: width binds
        {{640, 480}, 500, 1000, {240, 480}},    // box wider: height binds
        {{640, 480}, 4000, 3000, {640, 480}},   // the tie keeps both sides
        {{100, 100}, 3, 7, {42, 100}},          // 100 x 3 / 7 = 42.86 truncates
        {{100000, 100000}, 1000000000, 1, {100000, 0}},  // products beyond 32 bits
    };
    for (const auto& c : cases) {
        const PixelSize fitted = FitToImage(c.box, c.iw, c.ih);
        EXPECT_EQ(fitted, c.fitted) << c.box.width << "x" << c.box.height << " on " << c.iw << "x" << c.ih;
    }
    const PrintSize paper = FitToImage(PrintSize{297, 210}, 3000, 2000);
    EXPECT_DOUBLE_EQ(paper.width, 297);
    EXPECT_DOUBLE_EQ(paper.height, 198);
}

TEST(SizeArithmetic, PixelCountsStayWithinThreeAndTheLargest32BitSize) {
    EXPECT_EQ(ClampPixels(-5), 3);
    EXPECT_EQ(ClampPixels(1), 3);
    EXPECT_EQ(ClampPixels(4), 4);
    EXPECT_EQ(ClampPixels(int64_t{1} << 40), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(TruncPixels(720.9), 720);
    EXPECT_EQ(TruncPixels(0.2), 3);
    EXPECT_EQ(TruncPixels(std::numeric_limits<double>::quiet_NaN()), 3);
    EXPECT_EQ(TruncPixels(1e30), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(LinkedSide(400, 1000, 500), 200);
    // A side linked to a very tall image must not wrap around.
    EXPECT_EQ(LinkedSide(100000, 1, 1000000000), std::numeric_limits<int32_t>::max());
}

TEST(SizeArithmetic, LimitsOfEachField) {
    EXPECT_TRUE(PixelRange().Contains(3));
    EXPECT_FALSE(PixelRange().Contains(2));
    EXPECT_TRUE(PixelRange().Contains(100000));
    EXPECT_FALSE(PixelRange().Contains(100001));
    // Percent keeps the result within 3 to 100000 pixels of the image, or 0.3 to 3000 without one.
    EXPECT_DOUBLE_EQ(PercentRange(1000).min, 0.3);
    EXPECT_DOUBLE_EQ(PercentRange(1000).max, 10000);
    EXPECT_DOUBLE_EQ(PercentRange(std::nullopt).min, 0.3);
    EXPECT_DOUBLE_EQ(PercentRange(std::nullopt).max, 3000);
    // Print size keeps the result within 1 to 100000 pixels at the resolution.
    EXPECT_DOUBLE_EQ(PrintRange(300, PrintUnit::Millimeters).min, 25.4 / 300);
    EXPECT_DOUBLE_EQ(PrintRange(300, PrintUnit::Points).max, 100000.0 / 300 * 72);
    EXPECT_DOUBLE_EQ(ResolutionRange(ResolutionUnit::DotsPerCm).min, 1 / 2.54);
    EXPECT_DOUBLE_EQ(ResolutionRange(ResolutionUnit::DotsPerMm).max, 100000 / 25.4);
}

TEST(SizeArithmetic, ParsesWhatTheUserTypes) {
    const struct {
        const char* text;
        std::optional<uint32_t> whole;
        std::optional<double> decimal;
    } cases[] = {
        {"640", 640, 640},
        {" 640 ", 640, 640},
        {"+12", 12, 12},
        {"12.5", std::nullopt, 12.5},
        {"-5", std::nullopt, -5},
        {"2.5e3", std::nullopt, 2500},
        {"", std::nullopt, std::nullopt},
        {"12a", std::nullopt, std::nullopt},
        {"1,5", std::nullopt, std::nullopt},
        {"nan", std::nullopt, std::nullopt},
        {"inf", std::nullopt, std::nullopt},
        {"1e999", std::nullopt, std::nullopt},
        {"99999999999", std::nullopt, 99999999999.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseUnsigned(c.text), c.whole) << '"' << c.text << '"';
        EXPECT_EQ(ParseDecimal(c.text), c.decimal) << '"' << c.text << '"';
    }
    // A spin step starts from the number the text begins with, or from 0.
    EXPECT_DOUBLE_EQ(LeadingNumber("12a"), 12);
    EXPECT_DOUBLE_EQ(LeadingNumber(" 2.5 mm"), 2.5);
    EXPECT_DOUBLE_EQ(LeadingNumber(""), 0);
    EXPECT_DOUBLE_EQ(LeadingNumber("abc"), 0);
}

}  // namespace
}  // namespace kv
