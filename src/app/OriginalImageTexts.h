#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/ImageFacts.h"
#include "app/ResizeSettings.h"

namespace kv {

// What the settings bar shows under "Original image": "640x480 pixels", "24 bits per pixel",
// "Raw size: 900.0KB", the print size in the print unit ("8.89x6.67 inches") and the resolution
// in the resolution unit ("72 dots per inch"). All empty without an image; the print size and
// resolution also when the image names no resolution.
struct OriginalImageTexts {
    std::string pixels;
    std::string bits;
    std::string rawSize;
    std::string printSize;
    std::string resolution;
};
OriginalImageTexts DescribeOriginalImage(const std::optional<ImageFacts>& image, PrintUnit printUnit,
                                         ResolutionUnit resolutionUnit);

// "Raw size: 2.9MB" for a byte count (a negative one counts as none).
std::string RawSizeText(int64_t bytes);

}  // namespace kv
