#pragma once

#include <cstdint>

#include "imageio/ImagingTypes.h"

namespace kv {

// A rectangle as the views hand it over: left and top inside, right and bottom just outside. A
// source rectangle is in image pixels, a destination rectangle in output pixels.
struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool IsEmpty() const { return Width() <= 0 || Height() <= 0; }
    // Whether other lies inside this rectangle (edges included).
    bool Contains(const PixelRect& other) const {
        return other.left >= left && other.top >= top && other.right <= right && other.bottom <= bottom;
    }
    Rect AsRect() const { return {left, top, Width(), Height()}; }
    bool operator==(const PixelRect&) const = default;
};

}  // namespace kv
