#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/DibImage.h"

namespace kv {

// The quality at which thumbnails are kept compressed in memory and in the disk cache.
inline constexpr int kThumbnailJpegQuality = 90;

// Compresses a 24-bit thumbnail with the program's own JPEG encoder. The rows go in as they lie in
// the bitmap's memory (bottom row first) and each pixel as its bytes stand (blue, green, red), so
// the stream is not a correctly oriented picture for other readers; DecodeThumbnailJpeg undoes
// exactly this order. Empty when the thumbnail is not 24-bit or the encoder refuses it.
std::vector<uint8_t> EncodeThumbnailJpeg(const DibImage& thumbnail);

// Decodes a stream made by EncodeThumbnailJpeg into a new 24-bit bitmap of the given size at
// 72 dots per inch: as many rows as both have, each as many pixels as both are wide, the rest
// black. A grey stream fills all three bytes of a pixel. Null when the stream cannot be decoded or
// the size is not positive; the decoder only ever reads the rows that are copied.
DibImagePtr DecodeThumbnailJpeg(std::span<const uint8_t> stream, int32_t width, int32_t height);

}  // namespace kv
