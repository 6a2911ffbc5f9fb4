#pragma once

#include <cstdint>

#include "imageio/ImagingTypes.h"

namespace kv {

// What the output size model needs to know about an image: its size, pixel format and horizontal
// resolution as the imaging layer reports them.
struct ImageFacts {
    int32_t width = 0;
    int32_t height = 0;
    PixelFormat pixelFormat = PixelFormatUndefined;
    float dpiX = 0;  // dots per inch; 0 when the file does not say

    int32_t BitsPerPixel() const { return GetPixelFormatSize(pixelFormat); }
    // An image without pixels cannot be scaled to; it counts as no image.
    bool HasPixels() const { return width > 0 && height > 0; }
};

}  // namespace kv
