#pragma once

#include <algorithm>
#include <cstdint>

#include "engine/advanced/AdvancedCommon.h"

namespace kv::advanced {

// Stretches each luminance pixel y away from its local mean c by the gain g = max(1, mx - mn) / k
// (at least 1): trunc(g (y - c) + c), kept inside the local range mn .. mx. Rows run in parallel
// bands of 16; the stop flag is polled before every pixel.
void LocalContrastClamp(const PlaneRef& luma, const PlaneRef& minimum, const PlaneRef& maximum, const PlaneRef& mean,
                        double gainScale, const StopFlag& stop);

// The rule for one pixel.
inline uint8_t ContrastClampPixel(int32_t y, int32_t mn, int32_t mx, int32_t c, double gainScale) {
    const double gain = std::max(1.0, std::max(1, mx - mn) / gainScale);
    const int32_t v = static_cast<int32_t>(gain * (y - c) + c);
    return static_cast<uint8_t>(std::min(std::max(v, mn), mx));
}

}  // namespace kv::advanced
