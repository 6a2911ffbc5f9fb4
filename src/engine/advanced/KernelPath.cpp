#include "engine/advanced/AdvancedCommon.h"

namespace kv::advanced {

bool KernelPathAvailable(KernelPath path) {
    if (path == KernelPath::Plain) return true;
    return CpuHas(InstructionSet::Avx2);
}

KernelPath DefaultKernelPath() {
    static const KernelPath path = KernelPathAvailable(KernelPath::Vector) ? KernelPath::Vector : KernelPath::Plain;
    return path;
}

}  // namespace kv::advanced
