#include "ui/bridge/ThumbnailPicture.h"

#include "browser/PaletteItem.h"
#include "engine/DibImage.h"

namespace kv::ui {

QImage ThumbnailPicture(CPaletteItemImg& cell) {
    const DibImagePtr picture = cell.GetThumbnail();
    if (!picture || picture->bitsPerPixel() != 24 || picture->width() <= 0 || picture->height() <= 0) return {};
    // The rows are stored bottom-up as blue, green, red.
    const int width = picture->width();
    const int height = picture->height();
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return {};
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = picture->bits() + static_cast<size_t>(height - 1 - y) * picture->stride();
        auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x, source += 3) target[x] = qRgb(source[2], source[1], source[0]);
    }
    return image;
}

}  // namespace kv::ui
