#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "imageio/ImagingTypes.h"
#include "imageio/PixelBuffer.h"

namespace kv {

// The encoders are listed as "image/bmp", "image/jpeg", "image/gif", "image/tiff", "image/png";
// FindEncoder (Bitmap.h) returns an index into this list.
inline constexpr int32_t kEncoderCount = 5;

// The format an encoder writes; Unknown for an index outside the list.
ImageFormat EncoderFormat(int32_t index);
// The MIME type of an encoder; empty for an index outside the list.
std::string_view EncoderMimeType(int32_t index);

// Encodes pixels as a whole file of a format into out (replacing its content). Each format keeps
// what it can store natively and converts the rest:
//   JPEG  24-bit colour (8-bit grey for a grey-palette image), 4:2:0, quality 0..100 (negative: 75),
//         JFIF density in dots per inch; alpha is dropped.
//   PNG   indexed with its palette, RGB, RGBA, 16-bit RGB(A) for 48/64-bit; pHYs from the dpi.
//   TIFF  palette, RGB, RGBA, 16-bit RGB(A); LZW; resolution in inches.
//   GIF   indexed with its palette; other formats reduced to 256 colours.
//   BMP   1/4/8-bit with palette, 16-bit 555/565, 24-bit, 32-bit; bottom-up; pels per metre.
// On failure out is empty and error says why.
Status Encode(const PixelBuffer& pixels, ImageFormat format, int32_t quality, float dpiX, float dpiY,
              std::vector<uint8_t>& out, std::string& error);

}  // namespace kv
