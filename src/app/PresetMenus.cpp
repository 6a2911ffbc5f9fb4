#include "app/PresetMenus.h"

#include <charconv>
#include <cmath>

#include "app/SizeArithmetic.h"

namespace kv {

// clang-format off
const std::array<SizePreset, 24> kSizePresets{{
    {kOriginalSizeLabel, 0, 0},
    {{}, 0, 0},
    {"Multimedia (320x240)", 320, 240},
    {"VCD PAL (352x288)", 352, 288},
    {"VCD NTSC (352x240)", 352, 240},
    {"SVCD PAL (480x576)", 480, 576},
    {"SVCD NTSC (480x480)", 480, 480},
    {"DVD PAL Full-D1 (720x576)", 720, 576},
    {"DVD PAL (704x576)", 704, 576},
    {"DVD NTSC Full-D1 (720x480)", 720, 480},
    {"DVD NTSC (704x480)", 704, 480},
    {"HD (1920x1080)", 1920, 1080},
    {{}, 0, 0},
    {"Desktop (640x480)", 640, 480},
    {"Desktop (800x600)", 800, 600},
    {"Desktop (1024x768)", 1024, 768},
    {"Desktop (1152x864)", 1152, 864},
    {"Desktop (1280x1024)", 1280, 1024},
    {"Desktop (1600x1200)", 1600, 1200},
    {"Desktop (1920x1080)", 1920, 1080},
    {"Desktop (1920x1200)", 1920, 1200},
    {"Desktop (2560x1440)", 2560, 1440},
    {"Desktop (3840x2160)", 3840, 2160},
    {"Desktop (5120x2880)", 5120, 2880},
}};

const std::array<std::string_view, 59> kPaperPresets{
    "A0 (841x1189 mm)",
    "A1 (594x841 mm)",
    "A2 (420x594 mm)",
    "A3 (297x420 mm)",
    "A4 (210x297 mm)",
    "A5 (148x210 mm)",
    "A6 Card (105x148.5 mm)",
    "B4 (250x354 mm)",
    "B5 (182x257 mm)",
    "B4 Envelope (250x353 mm)",
    "B5 Envelope (176x250 mm)",
    "B6 Envelope (176x125 mm)",
    "Italy Envelope (110x230 mm)",
    "C3 Envelope (324x458 mm)",
    "C4 Envelope (229x324 mm)",
    "C5 Envelope (162x229 mm)",
    "DL Envelope (110x220 mm)",
    "",
    "US Letter (8 1/2x11 inch)",
    "Legal (8 1/2x14 inch)",
    "C (17x22 inch)",
    "D (22x34 inch)",
    "E (34x44 inch)",
    "US Letter Small (8 1/2x11 inch)",
    "Tabloid (11x17 inch)",
    "Ledger (17x11 inch)",
    "Statement (5 1/2x8 1/2 inch)",
    "Executive (7 1/4x10 1/2 inch)",
    "Note (8 1/2x11 inch)",
    "#9 Envelope (3 7/8x8 7/8 inch)",
    "#10 Envelope (4 1/8x10 3/8 inch)",
    "#11 Envelope (4 1/2x10 3/8 inch)",
    "#12 Envelope (4 3/4x11 inch)",
    "#14 Envelope (5x11 1/2 inch)",
    "Monarch Envelope (3 7/8x7 1/2 inch)",
    "6 3/4 Envelope (3 5/8x6 1/2 inch)",
    "US Std Fanfold (14 7/8x11 inch)",
    "German Std Fanfold (8 1/2x12 inch)",
    "German Legal Fanfold (8 1/2x13 inch)",
    "",
    "Photo (5x3 1/2 inch)",
    "Photo (5x4 inch)",
    "Photo (5x5 inch)",
    "Photo (6x4 inch)",
    "Photo (6x6 inch)",
    "Photo (8x6 inch)",
    "Photo (10x8 inch)",
    "Photo (10x10 inch)",
    "Photo (11x11 inch)",
    "Photo (12x8 inch)",
    "Photo (12x12 inch)",
    "Photo (14x11 inch)",
    "Photo (16x12 inch)",
    "",
    "Photo print (10x15 cm)",
    "Photo print (13x18 cm)",
    "Photo print (4x6 inch)",
    "Photo print (5x7 inch)",
    "Photo print (8x10 inch)",
};

const std::array<std::string_view, 14> kResolutionPresets{
    kDefaultPrinterLabel, kOriginalResolutionLabel, "",
    "72 DPI", "96 DPI", "120 DPI", "150 DPI", "240 DPI", "300 DPI", "360 DPI", "600 DPI", "1200 DPI", "2400 DPI",
    "4800 DPI",
};
// clang-format on

namespace {

std::optional<int32_t> Digits(std::string_view text) {
    int32_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc{} || result.ptr != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

// "8 1/2" is eight and a half; "11" and "148.5" are plain numbers.
std::optional<double> ParseInchPart(std::string_view part) {
    const size_t slash = part.find('/');
    if (slash == std::string_view::npos) return ParseDecimal(part);
    const size_t blank = part.rfind(' ', slash);
    double whole = 0;
    if (blank != std::string_view::npos) {
        const auto w = Digits(part.substr(0, blank));
        if (!w) return std::nullopt;
        whole = *w;
    }
    const size_t start = blank == std::string_view::npos ? 0 : blank + 1;
    const auto numerator = Digits(part.substr(start, slash - start));
    const auto denominator = Digits(part.substr(slash + 1));
    if (!numerator || !denominator || *denominator == 0) return std::nullopt;
    return whole + static_cast<double>(*numerator) / *denominator;
}

}  // namespace

std::optional<PaperSize> ParsePaperLabel(std::string_view label) {
    const size_t open = label.find('(');
    if (open == std::string_view::npos) return std::nullopt;
    const size_t close = label.find(')', open + 1);
    if (close == std::string_view::npos) return std::nullopt;
    const std::string_view inside = label.substr(open + 1, close - open - 1);

    PaperSize paper;
    std::string_view unitText = " inch";
    if (inside.ends_with(" cm")) {
        paper.unit = PrintUnit::Centimeters;
        unitText = " cm";
    } else if (!inside.empty() && inside.back() == 'm') {
        paper.unit = PrintUnit::Millimeters;
        unitText = " mm";
    }
    const size_t unit = inside.find(unitText);
    if (unit == std::string_view::npos) return std::nullopt;
    const std::string_view size = inside.substr(0, unit);
    const size_t x = size.find('x');
    if (x == std::string_view::npos) return std::nullopt;

    const auto parse = [&](std::string_view part) {
        return paper.unit == PrintUnit::Inches ? ParseInchPart(part) : ParseDecimal(part);
    };
    const auto width = parse(size.substr(0, x));
    const auto height = parse(size.substr(x + 1));
    if (!width || !height || !(*width > 0) || !(*height > 0)) return std::nullopt;
    paper.width = *width;
    paper.height = *height;
    return paper;
}

std::optional<double> ParseResolutionLabel(std::string_view label) {
    const auto value = ParseDecimal(label.substr(0, label.find(' ')));
    if (!value || !IsUsableDpi(*value)) return std::nullopt;
    return value;
}

}  // namespace kv
