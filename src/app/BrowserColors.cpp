#include "app/BrowserColors.h"

#include <array>
#include <charconv>
#include <string>

#include "platform/PrivateProfile.h"

namespace kv {

namespace {

// Values are read as text of at most 260 characters, terminator included.
constexpr size_t kMaxValueLength = 259;

struct ColorKey {
    std::string_view key;
    ColorRef BrowserColors::*field;
};

constexpr std::array<ColorKey, 9> kColorKeys{{
    {"SELECTED TEXT COLOR", &BrowserColors::selectedText},
    {"TEXT COLOR", &BrowserColors::text},
    {"BACKGROUND COLOR", &BrowserColors::background},
    {"BACKGROUND COLOR INFRAME", &BrowserColors::backgroundInFrame},
    {"BACKGROUND COLOR INFRAME CUT", &BrowserColors::backgroundInFrameCut},
    {"SELECTED BORDER COLOR", &BrowserColors::selectedBorder},
    {"BORDER COLOR", &BrowserColors::border},
    {"DETAILS SEPARATOR COLOR", &BrowserColors::detailsSeparator},
    {"DETAILS TAB COLOR", &BrowserColors::detailsTab},
}};

void SkipBlanks(std::string_view& text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n' || text.front() == '\r'))
        text.remove_prefix(1);
}

// A whole number as "%d" reads it: blanks, an optional sign, digits.
bool TakeNumber(std::string_view& text, int64_t& value) {
    SkipBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    uint32_t magnitude = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (result.ec != std::errc()) return false;
    text.remove_prefix(static_cast<size_t>(result.ptr - text.data()));
    value = negative ? -int64_t{magnitude} : int64_t{magnitude};
    return true;
}

}  // namespace

ColorRef ParseColor(std::string_view text, ColorRef fallback) {
    int64_t parts[3];
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            SkipBlanks(text);
            if (text.empty() || text.front() != ',') return fallback;
            text.remove_prefix(1);
        }
        if (!TakeNumber(text, parts[i])) return fallback;
    }
    // Two's complement low byte: the number modulo 256, never negative.
    const auto byte = [](int64_t v) { return static_cast<uint8_t>(static_cast<uint64_t>(v) & 0xFF); };
    return Rgb(byte(parts[0]), byte(parts[1]), byte(parts[2]));
}

BrowserColors ReadBrowserColors(const std::filesystem::path& resourceFile) {
    BrowserColors colors;
    for (const auto& [key, field] : kColorKeys) {
        const auto value = ReadPrivateProfileString(resourceFile, "BROWSER", key);
        if (!value) continue;
        colors.*field = ParseColor(std::string_view(*value).substr(0, kMaxValueLength), colors.*field);
    }
    return colors;
}

}  // namespace kv
