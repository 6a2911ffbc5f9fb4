#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "imageio/ImagingTypes.h"
#include "imageio/PixelBuffer.h"

namespace kv {

// Conversions between the bitmap pixel formats and the two working layouts every caller locks:
// 24-bit B,G,R and 32-bit B,G,R,A (straight, not premultiplied).
//
// Choices made here, where the formats leave room:
// - 16-bit samples map to 8 bits by rounding (v / 257) and back by replication (v * 257).
// - Alpha is dropped when converting to B,G,R: the stored colour is kept, nothing is composited.
//   Premultiplied formats are un-premultiplied first.
// - PixelFormat32bppCMYK holds C, M, Y, K bytes in that order, 0 meaning no ink.
// - 16bppGrayScale holds a 16-bit luminance word; from colour it takes Rec. 601 luma.
// - An index beyond the palette reads as opaque black.
// - Storing colour into an indexed format picks the nearest palette entry (squared distance in
//   R,G,B; the first of equals).

// True for the pixel formats a bitmap can hold (every named format except Undefined).
bool IsKnownPixelFormat(PixelFormat format);

// Bytes of one row of width pixels in a format, rounded up to a multiple of 4; 0 when the row
// would not fit in an int32_t or the format is unknown.
int32_t PixelRowStride(PixelFormat format, int32_t width);

// Allocates pixels of a size and format (stride as PixelRowStride), zero-filled unless the caller
// writes every byte itself. Indexed formats get the grey palette. False, with the buffer left
// empty, for a bad size or format or when the memory is not available.
bool AllocatePixels(PixelBuffer& buffer, int32_t width, int32_t height, PixelFormat format, bool zeroFill = true);

// The palette an indexed format gets when made empty: 2, 16 or 256 evenly spaced opaque greys.
std::vector<uint32_t> GreyPalette(PixelFormat format);
// The palette an indexed format gets when colour pixels are converted into it: black and white
// for 1 bit, the 16 standard colours for 4 bits, a 6x6x6 colour cube with 40 greys for 8 bits.
std::vector<uint32_t> ColourPalette(PixelFormat format);

// Finds the nearest palette entry of a colour, remembering recent answers so that photos with
// many repeated colours stay fast.
class PaletteMatcher {
public:
    explicit PaletteMatcher(std::span<const uint32_t> palette);
    // Index of the entry nearest to a 0x00RRGGBB colour; 0 for an empty palette.
    uint8_t Nearest(uint32_t rgb);

private:
    std::vector<uint32_t> palette_;
    std::array<uint32_t, 4096> keys_{};  // rgb | 0x01000000 when the slot is filled
    std::array<uint8_t, 4096> values_{};
};

// Converts count pixels of a row in format, starting at pixel x, into B,G,R (3 bytes a pixel).
void RowToBgr24(PixelFormat format, const uint8_t* row, int32_t x, int32_t count,
                std::span<const uint32_t> palette, uint8_t* out);
// The same into B,G,R,A (4 bytes a pixel).
void RowToBgra32(PixelFormat format, const uint8_t* row, int32_t x, int32_t count,
                 std::span<const uint32_t> palette, uint8_t* out);
// The same composited on white: what a format without alpha shows of a transparent picture.
void RowToBgr24OnWhite(PixelFormat format, const uint8_t* row, int32_t x, int32_t count,
                       std::span<const uint32_t> palette, uint8_t* out);
// One colour sample of a straight pixel composited on white.
inline uint8_t OnWhite(uint32_t colour, uint32_t alpha) {
    return static_cast<uint8_t>((colour * alpha + 255u * (255u - alpha) + 127u) / 255u);
}
// Whether any pixel of the buffer is not fully opaque.
bool HasTranslucentPixels(const PixelBuffer& pixels);

// Stores count B,G,R pixels into a row in format from pixel x on. Other pixels of the row keep
// their bits. matcher is needed for indexed formats only.
void RowFromBgr24(const uint8_t* in, int32_t count, PixelFormat format, uint8_t* row, int32_t x,
                  PaletteMatcher* matcher);
// The same from B,G,R,A pixels; formats without alpha drop it.
void RowFromBgra32(const uint8_t* in, int32_t count, PixelFormat format, uint8_t* row, int32_t x,
                   PaletteMatcher* matcher);

// Copies a rectangle of src (inside it) into a new buffer of another pixel format. Same-format
// copies and conversions between the 16-bit-sample formats keep every bit; an indexed result keeps
// the source palette when the source is indexed with a palette that fits, else it gets
// ColourPalette. False when the rectangle or format is bad or memory is short.
bool ConvertPixels(const PixelBuffer& src, const Rect& rect, PixelFormat format, PixelBuffer& out);

}  // namespace kv
