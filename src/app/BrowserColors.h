#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace kv {

// A colour as 0x00BBGGRR: red in the low byte, then green, then blue.
using ColorRef = uint32_t;

constexpr ColorRef Rgb(uint8_t red, uint8_t green, uint8_t blue) {
    return ColorRef{red} | (ColorRef{green} << 8) | (ColorRef{blue} << 16);
}

// The colours the thumbnail browser and its cells draw with, read from the section BROWSER of
// "Res/resourses.ini" beside the program so that they can be changed without a rebuild.
struct BrowserColors {
    ColorRef selectedText = Rgb(255, 0, 0);
    ColorRef text = Rgb(0, 0, 0);
    ColorRef background = Rgb(203, 219, 244);
    ColorRef backgroundInFrame = Rgb(233, 233, 233);
    ColorRef backgroundInFrameCut = Rgb(128, 128, 128);
    ColorRef selectedBorder = Rgb(254, 190, 47);
    ColorRef border = Rgb(122, 157, 227);
    ColorRef detailsSeparator = Rgb(123, 138, 172);
    ColorRef detailsTab = Rgb(119, 158, 227);

    bool operator==(const BrowserColors&) const = default;
};

// Each colour from its key ("SELECTED TEXT COLOR", "TEXT COLOR", "BACKGROUND COLOR", "BACKGROUND
// COLOR INFRAME", "BACKGROUND COLOR INFRAME CUT", "SELECTED BORDER COLOR", "BORDER COLOR",
// "DETAILS SEPARATOR COLOR", "DETAILS TAB COLOR"); a missing file or key keeps the default.
BrowserColors ReadBrowserColors(const std::filesystem::path& resourceFile);

// "red, green, blue", each number taken modulo 256 (so 300 is 44 and -1 is 255). Text that does
// not hold three numbers gives the fallback.
ColorRef ParseColor(std::string_view text, ColorRef fallback);

}  // namespace kv
