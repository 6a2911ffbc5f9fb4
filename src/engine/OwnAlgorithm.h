#pragma once

#include "engine/Progress.h"
#include "engine/Raster.h"
#include "engine/ResizeAlgorithm.h"

namespace kv {

// Runs one of the own algorithms (5 to 9) from src into dst with colour on and the constants of
// the algorithm table; index 5 takes the ratio class of the two sizes as its window. False when
// the routine was stopped or ran out of memory, and for any other index.
bool RunOwnAlgorithm(ResizeAlgorithm algorithm, const Raster& dst, const Raster& src, CRSProgress* progress);

}  // namespace kv
