#include "engine/advanced/AdvancedParams.h"

#include <algorithm>
#include <cmath>

#include "engine/advanced/AdvancedCommon.h"

namespace kv::advanced {

AdvancedParams DeriveAdvancedParams(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight,
                                    bool flag) {
    AdvancedParams p;
    p.meanRatio = (double(dstWidth) / srcWidth + double(dstHeight) / srcHeight) / 2;
    const int64_t whole = static_cast<int64_t>(p.meanRatio);
    p.edgeRounds = static_cast<int32_t>(std::clamp<int64_t>(whole - 1, 0, 4));
    p.softPass = p.edgeRounds != 0;
    p.radius = static_cast<int32_t>(std::min<int64_t>(whole, std::min(dstWidth, dstHeight) / 2));
    p.extremeRounds = flag ? 1 : 0;
    const int32_t percent = (p.edgeRounds != 0 ? 50 : 30) / (flag ? 2 : 1);
    p.unsharpAmount = percent * 256 / 100;
    // Two decimals of D are kept: a division of doubles, not of integers.
    p.unsharpSigma = std::trunc(100 * p.meanRatio) / 100;
    p.gainScale = 20 * std::sqrt(p.meanRatio);
    p.planeWidth = PaddedSize(dstWidth);
    p.planeHeight = PaddedSize(dstHeight);
    return p;
}

}  // namespace kv::advanced
