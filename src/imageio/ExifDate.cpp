#include "imageio/ExifDate.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <memory>
#include <string>

#include "imageio/ImageFiles.h"

namespace kv {

namespace {

constexpr uint32_t kDateTags[] = {PropertyTag::ExifDTOrig, PropertyTag::ExifDTDigitized, PropertyTag::DateTime};

// One "%d" of a scanf pattern: white space, an optional sign and at least one digit. Values too
// large for the ranges below are held at a large number instead of overflowing.
bool ScanInt(std::string_view& text, int& value) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const size_t digits = i;
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        magnitude = std::min<int64_t>(magnitude * 10 + (text[i] - '0'), int64_t{1} << 40);
    if (i == digits) return false;
    value = static_cast<int>(std::min<int64_t>(magnitude, 1'000'000'000)) * (negative ? -1 : 1);
    text.remove_prefix(i);
    return true;
}

bool ScanLiteral(std::string_view& text, char c) {
    if (c == ' ') {
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
        return true;
    }
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

bool HasDateExtension(const std::filesystem::path& path) {
    if (HasFormatExtension(path, ImageFormat::Jpeg) || HasFormatExtension(path, ImageFormat::Tiff)) return true;
    std::string extension = path.extension().string();
    for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return extension == ".DNG";
}

}  // namespace

std::optional<int64_t> ParseExifDateTime(std::string_view text) {
    int field[6];
    static constexpr char kSeparators[] = {':', ':', ' ', ':', ':'};
    for (int i = 0; i < 6; ++i) {
        if (i > 0 && !ScanLiteral(text, kSeparators[i - 1])) return std::nullopt;
        if (!ScanInt(text, field[i])) return std::nullopt;
    }
    const auto [year, month, day, hour, minute, second] = field;
    // An hour of 24 or a minute or second of 60 names no moment of a calendar day; such a file
    // simply has no date.
    if (year < 1970 || year > 3000 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t time = std::mktime(&local);
    if (time == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<int64_t>(time);
}

bool GetExifDateTime(Bitmap& image, int64_t& time) {
    if (image.GetPixelFormat() == PixelFormatUndefined || image.GetFlags() == 0) return false;
    for (const uint32_t tag : kDateTags) {
        const std::optional<PropertyItem> item = image.GetPropertyItem(tag);
        if (!item || item->value.empty()) continue;
        const std::string_view value(reinterpret_cast<const char*>(item->value.data()), item->value.size());
        const std::optional<int64_t> parsed = ParseExifDateTime(value.substr(0, value.find('\0')));
        if (!parsed) return false;
        time = *parsed;
        return true;
    }
    return false;
}

bool GetExifDateTime(const std::filesystem::path& path, int64_t& time) {
    if (!HasDateExtension(path)) return false;
    const std::unique_ptr<Bitmap> image = Bitmap::FromFile(path);
    return GetExifDateTime(*image, time);
}

}  // namespace kv
