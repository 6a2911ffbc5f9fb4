#include "engine/LanczosRangeResize.h"

#include <algorithm>

#include "engine/BandedPass.h"
#include "engine/ChannelPlanes.h"
#include "engine/DericheBlur.h"
#include "engine/KernelResample.h"
#include "engine/KernelWeight.h"
#include "engine/RangeClamp.h"
#include "engine/RangeStaging.h"
#include "engine/SharpenPlane.h"
#include "engine/StageCount.h"

namespace kv {

bool LanczosCore(uint8_t* dst, const uint8_t* src, int32_t dstWidth, int32_t dstHeight, int32_t srcWidth,
                 int32_t srcHeight, double strength, double window, int32_t mode, CRSProgress* progress) {
    const bool lanczos = mode == 3;
    const bool resampled = lanczos ? KernelResample(dst, src, srcWidth, srcHeight, dstWidth, dstHeight, window + 1, 1,
                                                    KernelType::WindowedSinc, progress)
                                   : KernelResample(dst, src, srcWidth, srcHeight, dstWidth, dstHeight, 0, 0.5, mode,
                                                    progress);
    if (!resampled) return false;
    const ResizeRatios r = RatiosOf(dstWidth, dstHeight, srcWidth, srcHeight);
    if (!lanczos || r.max <= 1.5) return true;

    auto guide = TryAllocate<uint8_t>(static_cast<size_t>(dstWidth) * static_cast<size_t>(dstHeight));
    if (!guide) {
        OutOfMemoryFlag.store(1);
        return false;
    }
    // A stop during the guide is honoured at once: going on would stretch against a guide whose
    // remaining rows were never computed.
    if (!KernelResample(guide.get(), src, srcWidth, srcHeight, dstWidth, dstHeight, 0, 0.5,
                        KernelType::MitchellNetravali, progress))
        return false;
    if (!DericheBlur(dst, dstWidth, dstHeight, std::max(10, static_cast<int32_t>(r.wr)),
                     std::max(10, static_cast<int32_t>(r.hr)), progress))
        return false;
    const int32_t windowWidth = std::min(std::max(2, static_cast<int32_t>(2 * r.wr)), dstWidth / 2);
    const int32_t windowHeight = std::min(std::max(2, static_cast<int32_t>(2 * r.hr)), dstHeight / 2);
    if (!RangeClamp(dst, guide.get(), dstWidth, dstHeight, windowWidth, windowHeight, r.wr, r.hr, strength, progress))
        return false;
    guide.reset();
    return DericheBlur(dst, dstWidth, dstHeight, 10, 10, progress);
}

bool ResizePlaneLanczos(uint8_t* dst, const uint8_t* src, int32_t dstWidth, int32_t dstHeight, int32_t srcWidth,
                        int32_t srcHeight, double strength, double window, int32_t grain, int32_t mode,
                        CRSProgress* progress) {
    const PlaneCore core = [&](uint8_t* to, const uint8_t* from, int32_t tw, int32_t th, int32_t fw, int32_t fh) {
        return LanczosCore(to, from, tw, th, fw, fh, strength, window, mode, progress);
    };
    return StagedPlaneResize(dst, src, dstWidth, dstHeight, srcWidth, srcHeight, strength, grain, core, progress);
}

bool LanczosRangeResize(uint8_t* dst, int32_t dstStride, const uint8_t* src, int32_t srcStride, bool colour,
                        int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, double sharpness,
                        double window, int32_t grain, int32_t mode, CRSProgress* progress) {
    const bool preSharpen = mode == 4;
    if (preSharpen) mode = 3;
    const double strength = RangeStrength(sharpness);
    const int32_t channels = colour ? 3 : 1;
    const ResizeRatios r = (dstWidth > 0 && dstHeight > 0 && srcWidth > 0 && srcHeight > 0)
                               ? RatiosOf(dstWidth, dstHeight, srcWidth, srcHeight)
                               : ResizeRatios{};
    const PlaneResizer resize = [&](uint8_t* dstPlane, uint8_t* srcPlane) {
        if (preSharpen && !SharpenPlane(srcPlane, srcWidth, srcHeight, 25, nullptr)) return false;
        return ResizePlaneLanczos(dstPlane, srcPlane, dstWidth, dstHeight, srcWidth, srcHeight, strength, window,
                                  grain, mode, progress);
    };
    return ResizeChannels({dst, dstStride, dstWidth, dstHeight}, {src, srcStride, srcWidth, srcHeight}, channels, lanczos::StageCount(r.min, r.max), resize, progress);
}

}  // namespace kv
