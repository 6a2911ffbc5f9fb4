#include "app/SizeArithmetic.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kv {

namespace {

constexpr int64_t kMaxInt32 = std::numeric_limits<int32_t>::max();

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// from_chars does not take a leading plus sign, which people type.
std::string_view SkipPlus(std::string_view text) {
    if (!text.empty() && text.front() == '+' && (text.size() == 1 || text[1] != '-')) text.remove_prefix(1);
    return text;
}

}  // namespace

ValueRange PixelRange() { return {kMinPixels, kMaxPixels}; }

ValueRange PercentRange(std::optional<int32_t> imageSide) {
    if (!imageSide || *imageSide <= 0) return {0.3, 3000.0};
    return {kMinPixels * 100.0 / *imageSide, kMaxPixels * 100.0 / *imageSide};
}

ValueRange PrintRange(float dpi, PrintUnit unit) {
    const double perInch = Info(unit).perInch;
    return {1.0 / dpi * perInch, 100000.0 / dpi * perInch};
}

ValueRange ResolutionRange(ResolutionUnit unit) {
    const double factor = Info(unit).dpiFactor;
    return {kMinDpi / factor, kMaxDpi / factor};
}

bool IsUsableDpi(double dpi) { return std::isfinite(dpi) && dpi >= kMinDpi && dpi <= kMaxDpi; }

PixelSize FitToImage(PixelSize box, int32_t imageWidth, int32_t imageHeight) {
    if (imageWidth <= 0 || imageHeight <= 0) return box;
    const int64_t w = box.width;
    const int64_t h = box.height;
    if (h * imageWidth > w * imageHeight) return {box.width, static_cast<int32_t>(w * imageHeight / imageWidth)};
    return {static_cast<int32_t>(h * imageWidth / imageHeight), box.height};
}

PrintSize FitToImage(PrintSize box, int32_t imageWidth, int32_t imageHeight) {
    if (imageWidth <= 0 || imageHeight <= 0) return box;
    const double iw = imageWidth;
    const double ih = imageHeight;
    if (box.height * iw > box.width * ih) return {box.width, box.width * ih / iw};
    return {box.height * iw / ih, box.height};
}

int32_t ClampPixels(int64_t pixels) {
    if (pixels < kMinPixels) return kMinPixels;
    if (pixels > kMaxInt32) return static_cast<int32_t>(kMaxInt32);
    return static_cast<int32_t>(pixels);
}

int32_t TruncPixels(double pixels) {
    if (!(pixels >= kMinPixels)) return kMinPixels;
    if (pixels >= static_cast<double>(kMaxInt32)) return static_cast<int32_t>(kMaxInt32);
    return static_cast<int32_t>(pixels);
}

int32_t LinkedSide(int32_t side, int32_t imageSide, int32_t otherImageSide) {
    if (imageSide <= 0) return ClampPixels(side);
    return ClampPixels(static_cast<int64_t>(otherImageSide) * side / imageSide);
}

double RoundToDecimals(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::trunc(value * scale + 0.5) / scale;
}

std::string FormatG(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return {buffer, result.ptr};
}

std::string FormatFixed(double value, int precision) {
    // Wide enough for any double in fixed notation (309 digits) with a few decimals.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    if (result.ec != std::errc{}) return FormatG(value);
    return {buffer, result.ptr};
}

std::string FormatByteSize(uint64_t bytes, int decimals) {
    const double k = static_cast<double>(bytes) / 1024.0;
    if (k < 1000.0) return FormatFixed(k, decimals) + "KB";
    const double m = k / 1024.0;
    if (m < 1000.0) return FormatFixed(m, decimals) + "MB";
    return FormatFixed(m / 1024.0, decimals) + "GB";
}

std::optional<uint32_t> ParseUnsigned(std::string_view text) {
    text = SkipPlus(TrimBlanks(text));
    if (text.empty() || text.front() == '-') return std::nullopt;
    uint32_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<double> ParseDecimal(std::string_view text) {
    text = SkipPlus(TrimBlanks(text));
    if (text.empty()) return std::nullopt;
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double LeadingNumber(std::string_view text) {
    text = TrimBlanks(text);
    text = SkipPlus(text);
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (result.ec != std::errc{} || !std::isfinite(value)) return 0;
    return value;
}

}  // namespace kv
