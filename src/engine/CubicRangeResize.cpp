#include "engine/CubicRangeResize.h"

#include <algorithm>

#include "engine/BandedPass.h"
#include "engine/ChannelPlanes.h"
#include "engine/DericheBlur.h"
#include "engine/KernelResample.h"
#include "engine/RangeClamp.h"
#include "engine/RangeStaging.h"
#include "engine/StageCount.h"

namespace kv {

bool CubicCore(uint8_t* dst, const uint8_t* src, int32_t dstWidth, int32_t dstHeight, int32_t srcWidth,
               int32_t srcHeight, double strength, int32_t mode, int32_t grain, CRSProgress* progress) {
    if (!KernelResample(dst, src, srcWidth, srcHeight, dstWidth, dstHeight, 0, 0.5, std::min(mode, 2), progress))
        return false;
    const ResizeRatios r = RatiosOf(dstWidth, dstHeight, srcWidth, srcHeight);
    if (mode != 3 || r.max <= 1.5) return true;

    // The windows grow with the enlargement without bound; a plane too small for one in a
    // direction (a source one pixel wide or high) takes the whole row or column as its window.
    const int32_t windowWidth = std::max(2, static_cast<int32_t>(2 * (r.wr - 0.5)));
    const int32_t windowHeight = std::max(2, static_cast<int32_t>(2 * (r.hr - 0.5)));
    if (!RangeClamp(dst, dst, dstWidth, dstHeight, windowWidth, windowHeight, r.wr, r.hr, strength, progress, grain))
        return false;
    if (r.max >= 3) return DericheBlur(dst, dstWidth, dstHeight, 8, 8, progress);
    return true;
}

bool ResizePlaneCubic(uint8_t* dst, const uint8_t* src, int32_t dstWidth, int32_t dstHeight, int32_t srcWidth,
                      int32_t srcHeight, double strength, int32_t grain, int32_t mode, CRSProgress* progress) {
    OutOfMemoryFlag.store(0);
    if (mode < 3) return CubicCore(dst, src, dstWidth, dstHeight, srcWidth, srcHeight, strength, mode, grain, progress);
    const PlaneCore core = [&](uint8_t* to, const uint8_t* from, int32_t tw, int32_t th, int32_t fw, int32_t fh) {
        return CubicCore(to, from, tw, th, fw, fh, strength, mode, grain, progress);
    };
    return StagedPlaneResize(dst, src, dstWidth, dstHeight, srcWidth, srcHeight, strength, grain, core, progress);
}

bool CubicRangeResize(uint8_t* dst, int32_t dstStride, const uint8_t* src, int32_t srcStride, bool colour,
                      int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, double sharpness,
                      int32_t grain, int32_t mode, CRSProgress* progress) {
    const double strength = RangeStrength(sharpness);
    const int32_t amplitude = grain / 3;
    const ResizeRatios r = (dstWidth > 0 && dstHeight > 0 && srcWidth > 0 && srcHeight > 0)
                               ? RatiosOf(dstWidth, dstHeight, srcWidth, srcHeight)
                               : ResizeRatios{};
    const PlaneResizer resize = [&](uint8_t* dstPlane, uint8_t* srcPlane) {
        return ResizePlaneCubic(dstPlane, srcPlane, dstWidth, dstHeight, srcWidth, srcHeight, strength, amplitude,
                                mode, progress);
    };
    return ResizeChannels({dst, dstStride, dstWidth, dstHeight}, {src, srcStride, srcWidth, srcHeight}, colour ? 3 : 1,
                          cubic::StageCount(r.min, r.max), resize, progress);
}

}  // namespace kv
