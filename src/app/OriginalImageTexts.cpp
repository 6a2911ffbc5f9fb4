#include "app/OriginalImageTexts.h"

#include <cmath>

#include "app/SizeArithmetic.h"

namespace kv {

namespace {

std::string Pair(double a, double b, int precision, std::string_view unit) {
    return FormatFixed(a, precision) + "x" + FormatFixed(b, precision) + " " + std::string(unit);
}

}  // namespace

std::string RawSizeText(int64_t bytes) { return "Raw size: " + FormatByteSize(bytes > 0 ? bytes : 0); }

OriginalImageTexts DescribeOriginalImage(const std::optional<ImageFacts>& image, PrintUnit printUnit,
                                         ResolutionUnit resolutionUnit) {
    OriginalImageTexts texts;
    if (!image) return texts;
    const int32_t bits = image->BitsPerPixel();
    texts.pixels = std::to_string(image->width) + "x" + std::to_string(image->height) + " pixels";
    texts.bits = std::to_string(bits) + " bits per pixel";
    texts.rawSize = RawSizeText(int64_t{bits} * image->width * image->height / 8);

    const double r = image->dpiX;
    if (!(std::isfinite(r) && r > 0)) return texts;
    const PrintUnitInfo& print = Info(printUnit);
    texts.printSize = Pair(image->width * print.perInch / r, image->height * print.perInch / r,
                           print.imageSizeDecimals, print.imageSizeWord);
    const ResolutionUnitInfo& resolution = Info(resolutionUnit);
    texts.resolution =
        FormatFixed(r / resolution.dpiFactor, resolution.imageDecimals) + " " + std::string(resolution.label);
    return texts;
}

}  // namespace kv
