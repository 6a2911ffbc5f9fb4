#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/ResizeSettings.h"
#include "base/Geometry.h"

// The arithmetic shared by the settings bar, the open rule and batch stamping: the limits of the
// fields, the fit of a box to an image, the rounding of the texts the bar shows, and the parsing
// of what the user types. Texts are formatted and parsed without regard to the C locale, so the
// bar shows "2.5" whatever language the desktop runs in.
namespace kv {

inline constexpr int32_t kMinPixels = 3;
inline constexpr int32_t kMaxPixels = 100000;
inline constexpr double kMinDpi = 1.0;
inline constexpr double kMaxDpi = 100000.0;

struct PrintSize {
    double width = 0;
    double height = 0;
};

// A closed range of accepted values.
struct ValueRange {
    double min = 0;
    double max = 0;
    bool Contains(double value) const { return value >= min && value <= max; }
    double Clamp(double value) const { return value < min ? min : (value > max ? max : value); }
};

// Pixels typed into the width or height field.
ValueRange PixelRange();
// Percent typed into the width (height) field; imageSide is the open image's width (height), or
// nothing without an image.
ValueRange PercentRange(std::optional<int32_t> imageSide);
// A print width or height in a print unit, so that it gives 1 to 100000 pixels at the resolution.
ValueRange PrintRange(float dpi, PrintUnit unit);
// A resolution typed in a resolution unit: 1 to 100000 dots per inch.
ValueRange ResolutionRange(ResolutionUnit unit);

// Whether a resolution from outside (an image, a printer, a file) can stand in the record.
bool IsUsableDpi(double dpi);

// Fits the box to the image's aspect ratio, keeping the side that binds: if boxHeight x imageWidth
// is greater than boxWidth x imageHeight the width stays and the height shrinks, otherwise the
// height stays and the width shrinks (so a box of the image's own shape comes back unchanged). The
// products are 64-bit and the division truncates; the result never exceeds the box.
PixelSize FitToImage(PixelSize box, int32_t imageWidth, int32_t imageHeight);
PrintSize FitToImage(PrintSize box, int32_t imageWidth, int32_t imageHeight);

// A pixel count that the arithmetic produced, held to at least kMinPixels and at most the largest
// 32-bit size (a linked side of a very narrow image can exceed it). A NaN gives kMinPixels.
int32_t ClampPixels(int64_t pixels);
int32_t TruncPixels(double pixels);

// The other side of the image's aspect ratio: otherImageSide x side / imageSide, truncated.
int32_t LinkedSide(int32_t side, int32_t imageSide, int32_t otherImageSide);

// trunc(value x 10^decimals + 0.5) / 10^decimals, the rounding of the bar's number texts.
double RoundToDecimals(double value, int decimals);

// C's printf "%g" and "%.Nf" in the "C" locale.
std::string FormatG(double value);
std::string FormatFixed(double value, int precision);

// A byte count as "12.3KB", "4.5MB" or "1.2GB": divided by 1024 until it is below 1000.
std::string FormatByteSize(uint64_t bytes);

// A whole unsigned number, blanks allowed around it; nothing when the text is anything else.
std::optional<uint32_t> ParseUnsigned(std::string_view text);
// A finite decimal number ("12", "-0.5", "2.5e3"), blanks allowed around it; nothing otherwise.
std::optional<double> ParseDecimal(std::string_view text);
// The number a text begins with, 0 when it begins with none: the value a spin step starts from.
double LeadingNumber(std::string_view text);

}  // namespace kv
