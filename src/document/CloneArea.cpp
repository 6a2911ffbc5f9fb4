#include "document/CloneArea.h"

namespace kv {

std::unique_ptr<Bitmap> CloneArea(Bitmap& bitmap, int32_t x, int32_t y, int32_t width, int32_t height,
                                  PixelFormat format) {
    return bitmap.Clone(Rect{x, y, width, height}, format);
}

PixelFormat PreviewCopyFormat(PixelFormat imageFormat) {
    if (imageFormat == PixelFormatUndefined || imageFormat == PixelFormat16bppGrayScale) return PixelFormat24bppRGB;
    return imageFormat;
}

}  // namespace kv
