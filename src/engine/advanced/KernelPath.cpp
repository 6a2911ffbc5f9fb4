#include "engine/advanced/AdvancedCommon.h"

namespace kv::advanced {

bool KernelPathAvailable(KernelPath path) {
    if (path == KernelPath::Plain) return true;
#if defined(__x86_64__)
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

KernelPath DefaultKernelPath() {
    static const KernelPath path = KernelPathAvailable(KernelPath::Vector) ? KernelPath::Vector : KernelPath::Plain;
    return path;
}

}  // namespace kv::advanced
