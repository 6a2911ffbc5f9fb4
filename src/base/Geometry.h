#pragma once

#include <cstdint>

// Sizes and rectangles in whole pixels, shared by every layer that measures images, outputs,
// views and thumbnail cells.
namespace kv {

// A position in pixels, or an offset between two.
struct PixelPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const PixelPoint&) const = default;
};

// A width and a height, in the integer type a caller counts pixels in.
template <class Count>
struct BasicSize {
    Count width = 0;
    Count height = 0;

    bool IsEmpty() const { return width <= 0 || height <= 0; }
    bool operator==(const BasicSize&) const = default;
};

// A width and a height in pixels.
using PixelSize = BasicSize<int32_t>;

struct Rect;

// A rectangle as the views hand it over: left and top inside, right and bottom just outside. A
// source rectangle is in image pixels, a destination rectangle in output pixels.
struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    PixelSize Size() const { return {Width(), Height()}; }
    bool IsEmpty() const { return Size().IsEmpty(); }
    // Whether other lies inside this rectangle (edges included).
    bool Contains(const PixelRect& other) const {
        return other.left >= left && other.top >= top && other.right <= right && other.bottom <= bottom;
    }
    PixelRect Offset(int32_t dx, int32_t dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    // The part that lies in both; empty (all zero) when they do not overlap.
    PixelRect Intersect(const PixelRect& other) const {
        const PixelRect both{left > other.left ? left : other.left, top > other.top ? top : other.top,
                             right < other.right ? right : other.right, bottom < other.bottom ? bottom : other.bottom};
        return both.IsEmpty() ? PixelRect{} : both;
    }
    Rect AsRect() const;
    bool operator==(const PixelRect&) const = default;
};

// A rectangle given by its origin and its size, as the imaging layer takes it for locks and copies.
struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const Rect&) const = default;
};

inline Rect PixelRect::AsRect() const { return {left, top, Width(), Height()}; }

}  // namespace kv
