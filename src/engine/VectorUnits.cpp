#include "engine/VectorUnits.h"

#include <atomic>

namespace kv {

namespace {

VectorUnits Detect() {
#if KV_HAVE_VECTOR_UNITS
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq"))
        return VectorUnits::Avx512;
    if (__builtin_cpu_supports("avx2")) return VectorUnits::Avx2;
#endif
    return VectorUnits::Plain;
}

std::atomic<VectorUnits>& Active() {
    static std::atomic<VectorUnits> active{BestVectorUnits()};
    return active;
}

}  // namespace

VectorUnits BestVectorUnits() {
    static const VectorUnits best = Detect();
    return best;
}

VectorUnits ActiveVectorUnits() { return Active().load(std::memory_order_relaxed); }

void UseVectorUnits(VectorUnits units) {
    if (static_cast<uint8_t>(units) > static_cast<uint8_t>(BestVectorUnits())) units = BestVectorUnits();
    Active().store(units, std::memory_order_relaxed);
}

}  // namespace kv
