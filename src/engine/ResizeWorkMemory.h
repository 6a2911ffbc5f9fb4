#pragma once

#include <cstdint>

#include "engine/ResizeAlgorithm.h"

namespace kv {

// The memory an algorithm allocates for itself while it resizes a whole source raster into a
// destination raster, besides the two rasters: filter tables, channel planes, intermediate planes
// and per-thread scratch. An upper bound, worked out from the sizes alone before anything is
// allocated, so that a resize that cannot fit is refused before it starts.
uint64_t ResizeWorkingBytes(ResizeAlgorithm algorithm, int32_t dstWidth, int32_t dstHeight, int32_t srcWidth,
                            int32_t srcHeight);

}  // namespace kv
