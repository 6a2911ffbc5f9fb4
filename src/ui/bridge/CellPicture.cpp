#include "ui/bridge/CellPicture.h"

#include "browser/PaletteItem.h"
#include "engine/DibImage.h"

namespace kv::ui {

namespace {

// Keeps the picture alive for as long as a view remembers it, so that its address cannot be taken
// by a later picture and mistaken for it.
std::shared_ptr<const void> IdOf(const DibImagePtr& picture) {
    if (!picture) return {};
    auto held = std::make_shared<DibImagePtr>(picture);
    return std::shared_ptr<const void>(held, held->get());
}

}  // namespace

CellPicture PictureOf(CPaletteItemImg& cell) { return PictureOf(cell.GetThumbnail()); }

CellPicture PictureOf(const DibImagePtr& picture) {
    if (!picture || picture->bitsPerPixel() != 24 || picture->width() <= 0 || picture->height() <= 0) return {};
    // The rows are stored bottom-up as blue, green, red; the window draws 32-bit pixels fastest.
    const int width = picture->width();
    const int height = picture->height();
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return {};
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = picture->bits() + static_cast<size_t>(height - 1 - y) * picture->stride();
        auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x, source += 3) target[x] = qRgb(source[2], source[1], source[0]);
    }
    return {std::move(image), IdOf(picture)};
}

bool IsSamePicture(const CPaletteItemImg& cell, const std::shared_ptr<const void>& id) {
    const DibImagePtr picture = cell.Thumbnail();
    return id && picture && picture.get() == id.get();
}

}  // namespace kv::ui
