#include "app/ResizeSettings.h"

#include <cmath>

#include "app/SizeArithmetic.h"

namespace kv {

PrintUnit ValidPrintUnit(int64_t value) {
    return value >= 0 && value < static_cast<int64_t>(kPrintUnits.size()) ? static_cast<PrintUnit>(value)
                                                                          : PrintUnit::Inches;
}

ResolutionUnit ValidResolutionUnit(int64_t value) {
    return value >= 0 && value < static_cast<int64_t>(kResolutionUnits.size()) ? static_cast<ResolutionUnit>(value)
                                                                               : ResolutionUnit::DotsPerInch;
}

SizeCorrection ValidSizeCorrection(int64_t value) {
    return value >= 0 && value < static_cast<int64_t>(kSizeCorrectionTexts.size())
               ? static_cast<SizeCorrection>(value)
               : SizeCorrection::KeepAspect;
}

void ResizeSettings::Validate() {
    // A record assigned field by field may hold any number in its enumerations.
    printUnit = ValidPrintUnit(static_cast<int64_t>(printUnit));
    resolutionUnit = ValidResolutionUnit(static_cast<int64_t>(resolutionUnit));
    correction = ValidSizeCorrection(static_cast<int64_t>(correction));
    algorithm = ValidResizeAlgorithm(algorithm);
    if (width < 1) width = kDefaultWidth;
    if (height < 1) height = kDefaultHeight;
    if (!IsUsableDpi(dpi)) dpi = kDefaultDpi;
    if (!(std::isfinite(percentWidth) && percentWidth > 0)) percentWidth = kDefaultPercent;
    if (!(std::isfinite(percentHeight) && percentHeight > 0)) percentHeight = kDefaultPercent;
    if (jpegQuality < 0 || jpegQuality > 100) jpegQuality = kDefaultJpegQuality;
}

}  // namespace kv
