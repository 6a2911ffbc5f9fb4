#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "imageio/ByteReader.h"
#include "imageio/Decoders.h"

namespace kv {

class Bitmap;

// The quantisation tables a JPEG file's header defines, by table number, in natural (row by row)
// order; a table the file does not define is missing.
using JpegQuantTable = std::array<uint16_t, 64>;
using JpegQuantTables = std::array<std::optional<JpegQuantTable>, 4>;

// Reads the tables from a JPEG file's header (beside the decoder, which owns the reading).
DecodeResult ReadJpegQuantTables(const ByteReader& file, JpegQuantTables& tables);

// The quality 1 to 100 that a JPEG writer of the common kind (the tables of the JPEG standard's
// annex, scaled by quality as the Independent JPEG Group's library scales them) would have been
// given for these tables: the quality whose scaled tables lie nearest to them. Files written that
// way give their quality exactly; tables of other writers (cameras) give the nearest match.
// Nothing without a luminance table.
std::optional<int32_t> EstimateJpegQuality(const JpegQuantTables& tables);

// The estimate for the JPEG file a bitmap was opened from; nothing for other files and for
// bitmaps made in memory.
std::optional<int32_t> EstimateJpegQuality(Bitmap& bitmap);

}  // namespace kv
