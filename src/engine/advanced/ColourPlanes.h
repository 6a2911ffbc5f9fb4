#pragma once

// The luminance and colour-difference planes of the advanced enlarger, padded to whole tiles, and
// the conversions between them and the destination raster.

#include <cstdint>
#include <memory>

#include "engine/advanced/AdvancedCommon.h"
#include "engine/advanced/AdvancedTables.h"
#include "engine/advanced/Lanczos4Prescale.h"

namespace kv::advanced {

// Y, Cb and Cr in one block of 3 x W' x H' bytes; a one-channel image has the luminance only.
class ColourPlanes {
public:
    // False when the memory is not available.
    bool Allocate(int32_t width, int32_t height, int32_t channels);
    void Free() { block_.reset(); }

    const PlaneRef& luma() const { return planes_[0]; }
    const PlaneRef& blueDiff() const { return planes_[1]; }
    const PlaneRef& redDiff() const { return planes_[2]; }
    int32_t channels() const { return channels_; }

private:
    std::unique_ptr<uint8_t[]> block_;
    PlaneRef planes_[3];
    int32_t channels_ = 0;
};

// Fills the planes from the raster, in parallel bands of 16 rows. Plane sample (x, y) takes the
// pixel at column min(x, width - 1) and row min(y, height - 1): the padding repeats the last
// column and the last row.
void FillColourPlanes(const ColourPlanes& planes, const PixelRows& raster);

// Writes the planes back into the raster's width x height pixels, in parallel bands of rows. The
// tables may be absent for a one-channel image.
void ComposeRaster(const MutablePixelRows& raster, const ColourPlanes& planes, const ColourTables* tables);

// The conversion of one pixel to luminance and colour differences, each 0 .. 255.
struct Ycc {
    uint8_t y, cb, cr;
};
inline Ycc ToYcc(uint8_t blue, uint8_t green, uint8_t red) {
    const int32_t b = blue;
    const int32_t g = green;
    const int32_t r = red;
    return {static_cast<uint8_t>((1224 * r + 2403 * g + 469 * b + 2048) >> 12),
            static_cast<uint8_t>((2048 * b - 1357 * g - 691 * r + 522240) >> 12),
            static_cast<uint8_t>((2048 * r - 1713 * g - 335 * b + 522240) >> 12)};
}

}  // namespace kv::advanced
