#pragma once

#include <cstdint>

#include "engine/advanced/AdvancedCommon.h"

namespace kv::advanced {

// The minimum and maximum of the luminance over the (2 radius + 1)^2 window around each pixel, the
// window cut off at the plane's edges. Computed separably: rows into the two output planes (in
// parallel bands of rows), then columns in place (in parallel strips of 16 columns). The stop flag
// is checked before every row and every strip. False when a scratch buffer was not available.
bool LocalMinMax(const PlaneRef& minimum, const PlaneRef& maximum, const PlaneRef& luma, int32_t radius,
                 const StopFlag& stop);

}  // namespace kv::advanced
