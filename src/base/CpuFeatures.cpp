#include "base/CpuFeatures.h"

namespace kv {

namespace {

InstructionSet Probe() {
#if KV_X86
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq"))
        return InstructionSet::Avx512;
    if (__builtin_cpu_supports("avx2")) return InstructionSet::Avx2;
#endif
    return InstructionSet::Plain;
}

}  // namespace

InstructionSet BestInstructionSet() {
    static const InstructionSet best = Probe();
    return best;
}

}  // namespace kv
