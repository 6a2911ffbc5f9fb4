#include "engine/OwnAlgorithm.h"

#include "engine/AdvancedResize.h"
#include "engine/CubicRangeResize.h"
#include "engine/LanczosRangeResize.h"

namespace kv {

bool RunOwnAlgorithm(ResizeAlgorithm algorithm, const Raster& dst, const Raster& src, CRSProgress* progress) {
    if (!IsOwnResizeAlgorithm(algorithm)) return false;
    const ResizeAlgorithmInfo& info = kResizeAlgorithms[static_cast<size_t>(algorithm)];
    switch (info.routine) {
        case ResizeRoutine::LanczosRange: {
            const double window = info.window == kWindowFromRatioClass
                                      ? RatioClass(dst.width, dst.height, src.width, src.height)
                                      : info.window;
            return LanczosRangeResize(dst.pixels, dst.stride, src.pixels, src.stride, true, dst.width, dst.height,
                                      src.width, src.height, info.sharpness, window, info.grain, info.kernelMode,
                                      progress);
        }
        case ResizeRoutine::CubicRange:
            return CubicRangeResize(dst.pixels, dst.stride, src.pixels, src.stride, true, dst.width, dst.height,
                                    src.width, src.height, info.sharpness, info.grain, info.kernelMode, progress);
        case ResizeRoutine::Advanced:
            return AdvancedResize(true, dst.pixels, dst.stride, dst.width, dst.height, src.pixels, src.stride,
                                  src.width, src.height, info.flag, progress);
        case ResizeRoutine::Standard:
            break;
    }
    return false;
}

}  // namespace kv
