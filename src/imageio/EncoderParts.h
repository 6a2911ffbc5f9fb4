#pragma once

// The file writers behind Encode, one per format, and what they share. Each receives pixels that
// Encode has already checked (a known format, a positive size, rows that hold the width) and
// writes a whole file into out, or returns false with a message in error.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imageio/PixelBuffer.h"

namespace kv {

bool EncodeJpeg(const PixelBuffer& pixels, int32_t quality, float dpiX, float dpiY, std::vector<uint8_t>& out,
                std::string& error);
bool EncodePng(const PixelBuffer& pixels, float dpiX, float dpiY, std::vector<uint8_t>& out, std::string& error);
bool EncodeTiff(const PixelBuffer& pixels, float dpiX, float dpiY, std::vector<uint8_t>& out, std::string& error);
bool EncodeGif(const PixelBuffer& pixels, std::vector<uint8_t>& out, std::string& error);
bool EncodeBmp(const PixelBuffer& pixels, float dpiX, float dpiY, std::vector<uint8_t>& out, std::string& error);

// The pixels with premultiplied 16-bit samples made straight, keeping all their bits (in scratch);
// any other format is returned as it is. Throws std::bad_alloc when the copy cannot be made.
const PixelBuffer& StraightAlpha16(const PixelBuffer& pixels, PixelBuffer& scratch);

// Pixels per metre for a resolution in dots per inch, 0 for none.
uint32_t PixelsPerMetre(float dpi);

// The number of palette entries the rows of an indexed image need: the palette's own size, or
// more when a pixel indexes past its end, at most 1 << bits.
int32_t PaletteEntriesUsed(const PixelBuffer& pixels);

// The grey level of each palette entry when every entry is a grey (red, green and blue equal),
// else nothing.
std::vector<int32_t> GreyLevels(std::span<const uint32_t> palette);

// The index of pixel x in a row of an indexed image with bits per pixel 1, 4 or 8.
inline uint8_t IndexAt(const uint8_t* row, int32_t x, int32_t bits) {
    switch (bits) {
        case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
        case 4: return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
        default: return row[x];
    }
}

}  // namespace kv
