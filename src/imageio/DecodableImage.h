#pragma once

#include <filesystem>

#include "imageio/ImagingTypes.h"

namespace kv {

// The pixel formats the program takes from a decoder: 1, 4 and 8 bits indexed; 16-bit RGB555,
// RGB565, ARGB1555 and grey; 24-bit RGB; 32-bit RGB, ARGB and premultiplied ARGB; 48-bit RGB;
// 64-bit ARGB and premultiplied ARGB. CMYK and anything else are refused.
bool IsAcceptedPixelFormat(PixelFormat format);

// Whether a file opens in the imaging layer with image flags and an accepted pixel format. Only the
// header is read, so this is cheap enough to ask before a full decode.
bool IsDecodableImage(const std::filesystem::path& path);

}  // namespace kv
