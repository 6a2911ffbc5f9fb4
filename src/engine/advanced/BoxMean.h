#pragma once

#include <cstdint>

#include "engine/advanced/AdvancedCommon.h"

namespace kv::advanced {

// The rounded mean of every (2q + 1)^2 window of `source`, written into `target` (another plane of
// the same size). q = min(w', height - 1) / 2 with w' the window, or width - 1 when the window is
// not narrower than the plane; q = 0 copies the plane. Samples beyond an edge mirror the plane
// with the edge sample repeated. Sums are exact integers; rows run in parallel bands, each checking
// the stop flag before every row. False when a scratch buffer was not available.
bool BoxMean(const PlaneRef& target, const PlaneRef& source, int32_t window, const StopFlag& stop);

// The radius q that BoxMean uses for a window on a plane of this size.
int32_t BoxMeanRadius(int32_t width, int32_t height, int32_t window);

}  // namespace kv::advanced
