#include "engine/AdvancedResize.h"

namespace kv {

// Not written yet: the dispatcher reports failure for this algorithm until it is.
bool AdvancedResize(bool, uint8_t*, int32_t, int32_t, int32_t, const uint8_t*, int32_t, int32_t, int32_t, bool,
                    CRSProgress*) {
    return false;
}

}  // namespace kv
