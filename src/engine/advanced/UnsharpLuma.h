#pragma once

#include <cstdint>

#include "engine/advanced/AdvancedCommon.h"

namespace kv::advanced {

// Unsharp mask of the luminance: each pixel e with smoothed value d (a RecursiveSmooth of a copy
// with sigma) becomes (e (256 + amount) - amount d) / 256, negative values 0, capped at 255, where
// |d - e| exceeds the threshold. False when the copy could not be allocated; a stop during the
// smoothing leaves the plane unchanged.
bool UnsharpLuma(const PlaneRef& luma, int32_t amount, double sigma, int32_t threshold, const StopFlag& stop);

}  // namespace kv::advanced
