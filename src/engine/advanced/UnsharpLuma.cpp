#include "engine/advanced/UnsharpLuma.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine/advanced/RecursiveSmooth.h"

namespace kv::advanced {

bool UnsharpLuma(const PlaneRef& luma, int32_t amount, double sigma, int32_t threshold, const StopFlag& stop) {
    OwnedPlane smooth;
    if (!smooth.Allocate(luma.width, luma.height)) return false;
    std::memcpy(smooth.ref().data, luma.data, luma.Size());
    if (!RecursiveSmooth(smooth.ref(), sigma, stop)) return false;
    if (Stopped(stop)) return true;
    ForEachBand(luma.height, kTile, [&](int32_t first, int32_t end) {
        for (int32_t y = first; y < end; ++y) {
            uint8_t* row = luma.Row(y);
            const uint8_t* blurred = smooth.ref().Row(y);
            for (int32_t x = 0; x < luma.width; ++x) {
                const int32_t e = row[x];
                const int32_t d = blurred[x];
                const int32_t v = e * (256 + amount) - amount * d;
                const int32_t sharpened = std::min(v < 0 ? 0 : v >> 8, 255);
                row[x] = static_cast<uint8_t>(std::abs(d - e) > threshold ? sharpened : e);
            }
        }
        return true;
    });
    return true;
}

}  // namespace kv::advanced
