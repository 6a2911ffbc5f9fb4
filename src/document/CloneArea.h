#pragma once

#include <cstdint>
#include <memory>

#include "imageio/Bitmap.h"

namespace kv {

// A new bitmap holding a rectangle of a bitmap in a pixel format, or nothing when the rectangle
// does not lie inside it or the memory is not there.
std::unique_ptr<Bitmap> CloneArea(Bitmap& bitmap, int32_t x, int32_t y, int32_t width, int32_t height,
                                  PixelFormat format);

// The format previews of an image are copied in: its own, except where the imaging layer cannot
// hand the copy on to a view (no format, 16-bit grey), which get 24-bit colour.
PixelFormat PreviewCopyFormat(PixelFormat imageFormat);

}  // namespace kv
