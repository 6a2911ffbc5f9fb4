#include "engine/ResizeAlgorithm.h"

#include <cmath>

namespace kv {

int32_t RatioClass(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight) {
    const double qx = static_cast<double>(dstWidth) / srcWidth;
    const double qy = static_cast<double>(dstHeight) / srcHeight;
    return (qx == std::trunc(qx) && qy == std::trunc(qy)) ? 1 : 2;
}

}  // namespace kv
