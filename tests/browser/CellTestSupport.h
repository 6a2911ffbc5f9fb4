#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>

#include "browser/PaletteItem.h"
#include "engine/DibImage.h"

namespace kv::test {

struct Bgr {
    uint8_t b, g, r;
};

// A 24-bit bitmap whose pixel (x, y), y counted from the top row, is colour(x, y).
inline DibImagePtr MakeDib(int32_t width, int32_t height, const std::function<Bgr(int32_t, int32_t)>& colour) {
    DibImagePtr dib(new DibImage(width, height, 24, nullptr));
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = dib->bits() + static_cast<size_t>(height - 1 - y) * dib->stride();
        for (int32_t x = 0; x < width; ++x) {
            const Bgr c = colour(x, y);
            row[3 * x] = c.b;
            row[3 * x + 1] = c.g;
            row[3 * x + 2] = c.r;
        }
    }
    return dib;
}

// Pixel (x, y) of a 24-bit bitmap, y counted from the top row.
inline Bgr PixelAt(const DibImage& dib, int32_t x, int32_t y) {
    const uint8_t* p = dib.bits() + static_cast<size_t>(dib.height() - 1 - y) * dib.stride() + 3 * x;
    return {p[0], p[1], p[2]};
}

inline Bgr PixelAt(const DibImagePtr& dib, int32_t x, int32_t y) { return PixelAt(*dib.get(), x, y); }

inline bool Near(Bgr a, Bgr b, int tolerance) {
    return std::abs(a.b - b.b) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.r - b.r) <= tolerance;
}

// Four flat quadrants, none the mirror of another in either direction or in channel order:
// top-left red, top-right green, bottom-left blue, bottom-right yellow.
inline Bgr Quadrant(int32_t x, int32_t y, int32_t width, int32_t height) {
    const bool right = x >= width / 2;
    const bool bottom = y >= height / 2;
    if (!bottom) return right ? Bgr{0, 200, 0} : Bgr{0, 0, 220};
    return right ? Bgr{0, 210, 230} : Bgr{210, 0, 0};
}

inline DibImagePtr QuadrantDib(int32_t width, int32_t height) {
    return MakeDib(width, height, [=](int32_t x, int32_t y) { return Quadrant(x, y, width, height); });
}

// An image cell as a build leaves it: display size, image facts and, optionally, a picture.
inline std::shared_ptr<CPaletteItemImg> MakeCell(int32_t displayWidth = kThumbBoxWidth,
                                                 int32_t displayHeight = kThumbBoxHeight, bool withPicture = false) {
    auto cell = std::make_shared<CPaletteItemImg>();
    cell->displayWidth = displayWidth;
    cell->displayHeight = displayHeight;
    cell->imageWidth = displayWidth * 10;
    cell->imageHeight = displayHeight * 10;
    cell->bitsPerPixel = 24;
    cell->fullQuality = 1;
    cell->fileTime = 1'600'000'000;
    if (withPicture) cell->SetThumbnail(QuadrantDib(displayWidth, displayHeight));
    return cell;
}

}  // namespace kv::test
