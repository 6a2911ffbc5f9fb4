#include "engine/advanced/LocalContrastClamp.h"

#include <algorithm>

namespace kv::advanced {

void LocalContrastClamp(const PlaneRef& luma, const PlaneRef& minimum, const PlaneRef& maximum, const PlaneRef& mean,
                        double gainScale, const StopFlag& stop) {
    ForEachBand(luma.height, kTile, [&](int32_t first, int32_t end) {
        for (int32_t y = first; y < end; ++y) {
            uint8_t* row = luma.Row(y);
            const uint8_t* mn = minimum.Row(y);
            const uint8_t* mx = maximum.Row(y);
            const uint8_t* c = mean.Row(y);
            for (int32_t x = 0; x < luma.width; ++x) {
                if (Stopped(stop)) return true;
                row[x] = ContrastClampPixel(row[x], mn[x], mx[x], c[x], gainScale);
            }
        }
        return true;
    });
}

}  // namespace kv::advanced
