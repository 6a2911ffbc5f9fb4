#pragma once

#include <cstdint>
#include <functional>

#include "base/Geometry.h"
#include "engine/DibImage.h"

namespace kv {

// A thumbnail's size as a file's directory states it: unsigned, up to 32 bits.
using ThumbSize = BasicSize<uint32_t>;

// The size a source takes in a box: the side that the box limits keeps the box's length, the other
// follows the source's aspect (truncating), so a small source is enlarged until it touches the box.
// Never smaller than 1 x 1, so a sliver of a source still gives a picture. The source must not be
// empty.
ThumbSize FitIntoBox(ThumbSize source, ThumbSize box);

// Gives the source's rows in order, top row first; each row holds the source width pixels of
// `channels` bytes (1: grey, 3: R, G, B). Returns null when the row cannot be had.
using ThumbnailRowSource = std::function<const uint8_t*()>;

// The longest side a thumbnail may have.
inline constexpr uint32_t kMaxThumbnailSide = 32767;

// A packed 24-bit bottom-up DIB of the fitted size made by nearest-neighbour sampling of a source:
// DIB row r (0 = bottom) takes source row (size.height - r - 1) * source.height / size.height and
// its pixel c takes source pixel c * source.width / size.width; 2835 pixels per metre (72 dpi).
// Source rows after the last one needed are never asked for. Null when a row could not be had;
// throws std::bad_alloc when the memory is not there and std::length_error for an empty source or
// a size beyond kMaxThumbnailSide.
DibImagePtr BuildNearestThumbnail(ThumbSize source, int channels, ThumbSize size, const ThumbnailRowSource& nextRow);

}  // namespace kv
