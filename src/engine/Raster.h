#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace kv {

// A view of a 24-bit image: 3 bytes a pixel (blue, green, red), rows top to bottom. The bytes
// between 3 * width and the stride are not pixels. A Raster never owns its pixels.
struct Raster {
    uint8_t* pixels = nullptr;
    int32_t stride = 0;
    int32_t width = 0;
    int32_t height = 0;

    uint8_t* Row(int32_t y) const { return pixels + static_cast<ptrdiff_t>(y) * stride; }
    bool IsValid() const { return pixels && width > 0 && height > 0 && stride >= 3 * width; }
    // The part of this raster from (x, y) on, width w and height h; the caller keeps it inside.
    Raster Sub(int32_t x, int32_t y, int32_t w, int32_t h) const {
        return {Row(y) + 3 * static_cast<ptrdiff_t>(x), stride, w, h};
    }
};

// A view of one 8-bit channel (an alpha plane): 1 byte a pixel, rows top to bottom, never owned.
struct PlaneView {
    uint8_t* pixels = nullptr;
    int32_t stride = 0;
    int32_t width = 0;
    int32_t height = 0;

    uint8_t* Row(int32_t y) const { return pixels + static_cast<ptrdiff_t>(y) * stride; }
    bool IsValid() const { return pixels && width > 0 && height > 0 && stride >= width; }
};

// A 24-bit image that owns its pixels, rows packed at 3 * width bytes rounded up to 4.
class OwnedRaster {
public:
    OwnedRaster() = default;
    // An empty result (IsValid false) when the memory is not available.
    static OwnedRaster Allocate(int32_t width, int32_t height);

    const Raster& view() const { return view_; }
    explicit operator bool() const { return view_.pixels != nullptr; }

private:
    std::unique_ptr<uint8_t[]> data_;
    Raster view_;
};

// One 8-bit channel copied out of a raster: width * height bytes, stride equal to the width. Owned
// by the routine that allocates it.
class Plane {
public:
    Plane() = default;
    // False when the memory is not available; the plane is then empty.
    bool Allocate(int32_t width, int32_t height);
    void Free() { data_.reset(); width_ = height_ = 0; }

    uint8_t* data() const { return data_.get(); }
    uint8_t* Row(int32_t y) const { return data_.get() + static_cast<ptrdiff_t>(y) * width_; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    std::unique_ptr<uint8_t[]> data_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

// Row stride of a packed 24-bit row: 3 * width rounded up to a multiple of 4.
inline int32_t PackedStride24(int32_t width) { return (3 * width + 3) & ~3; }

}  // namespace kv
