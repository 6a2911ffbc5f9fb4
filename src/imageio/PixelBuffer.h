#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "imageio/ImagingTypes.h"

namespace kv {

// Decoded pixels in a bitmap's own pixel format, rows top to bottom. Byte order within a pixel
// follows the platform formats: 24-bit is B,G,R; 32-bit is B,G,R,A; 48- and 64-bit hold 16-bit
// samples B,G,R(,A) in machine order; 16-bit RGB formats are little-endian words; indexed rows
// pack the high bits first and index the palette (0xAARRGGBB entries).
// Pixel memory comes from calloc: large blocks arrive as fresh zero pages, so a picture that is
// allocated and then found damaged costs no time for clearing memory it never used.
struct FreePixels {
    void operator()(uint8_t* p) const { std::free(p); }
};
using PixelMemory = std::unique_ptr<uint8_t[], FreePixels>;

struct PixelBuffer {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    PixelFormat format = PixelFormatUndefined;
    PixelMemory data;
    std::vector<uint32_t> palette;

    uint8_t* Row(int32_t y) const { return data.get() + static_cast<ptrdiff_t>(y) * stride; }
};

}  // namespace kv
