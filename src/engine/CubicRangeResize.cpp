#include "engine/CubicRangeResize.h"

namespace kv {

// Not written yet: the dispatcher reports failure for this algorithm until it is.
bool CubicRangeResize(uint8_t*, int32_t, const uint8_t*, int32_t, bool, int32_t, int32_t, int32_t, int32_t, double,
                      int32_t, int32_t, CRSProgress*) {
    return false;
}

}  // namespace kv
