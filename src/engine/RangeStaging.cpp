#include "engine/RangeStaging.h"

#include <cmath>
#include <limits>

#include "engine/AreaShrink.h"
#include "engine/BandedPass.h"
#include "engine/Grain.h"
#include "engine/SharpenPlane.h"

namespace kv {

double RangeStrength(double sharpness) { return 103 / (sharpness * sharpness / 100 + 3); }

ResizeRatios RatiosOf(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight) {
    const double wr = static_cast<double>(dstWidth) / srcWidth;
    const double hr = static_cast<double>(dstHeight) / srcHeight;
    return {wr, hr, wr < hr ? wr : hr, wr < hr ? hr : wr};
}

int32_t PostSharpenAmount(double min, double strength) {
    if (min <= 0.5) return static_cast<int32_t>(50 / strength);
    if (min < 1.5) return static_cast<int32_t>((min + 1.5) * 20 / std::sqrt(strength));
    return 0;
}

bool StagedPlaneResize(uint8_t* dst, const uint8_t* src, int32_t dstWidth, int32_t dstHeight, int32_t srcWidth,
                       int32_t srcHeight, double strength, int32_t grain, const PlaneCore& core,
                       CRSProgress* progress) {
    OutOfMemoryFlag.store(0);
    const ResizeRatios r = RatiosOf(dstWidth, dstHeight, srcWidth, srcHeight);

    if (r.max <= 0.5) {
        auto narrow = TryAllocate<uint8_t>(static_cast<size_t>(dstWidth) * static_cast<size_t>(srcHeight));
        if (!narrow) {
            OutOfMemoryFlag.store(1);
            return false;
        }
        if (!AreaShrinkRows(narrow.get(), src, srcWidth, srcHeight, dstWidth, progress) ||
            !AreaShrinkColumns(dst, narrow.get(), dstWidth, srcHeight, dstHeight, progress))
            return false;
        narrow.reset();
        if (!SharpenPlane(dst, dstWidth, dstHeight, 25, progress)) return false;
    } else if (r.max <= 1.5 || r.min > 1.5) {
        if (!core(dst, src, dstWidth, dstHeight, srcWidth, srcHeight)) return false;
    } else {
        // Enlarge the direction of the smaller ratio by exactly 1.5, then average it down.
        const bool rowsDown = r.hr == r.min;
        const double grown = std::trunc(1.5 * (rowsDown ? srcHeight : srcWidth));
        if (grown > std::numeric_limits<int32_t>::max()) {
            OutOfMemoryFlag.store(1);
            return false;
        }
        const int32_t midWidth = rowsDown ? dstWidth : static_cast<int32_t>(grown);
        const int32_t midHeight = rowsDown ? static_cast<int32_t>(grown) : dstHeight;
        auto middle = TryAllocate<uint8_t>(static_cast<size_t>(midWidth) * static_cast<size_t>(midHeight));
        if (!middle) {
            OutOfMemoryFlag.store(1);
            return false;
        }
        if (!core(middle.get(), src, midWidth, midHeight, srcWidth, srcHeight)) return false;
        const bool shrunk = rowsDown ? AreaShrinkColumns(dst, middle.get(), dstWidth, midHeight, dstHeight, progress)
                                     : AreaShrinkRows(dst, middle.get(), midWidth, dstHeight, dstWidth, progress);
        if (!shrunk) return false;
    }

    if (r.min < 1.5) return SharpenPlane(dst, dstWidth, dstHeight, PostSharpenAmount(r.min, strength), progress);
    AddGrain(dst, static_cast<size_t>(dstWidth) * static_cast<size_t>(dstHeight), grain);
    return true;
}

}  // namespace kv
