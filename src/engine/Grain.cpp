#include "engine/Grain.h"

#include <algorithm>
#include <cstdlib>

namespace kv {

namespace {

// One draw of 0..32767, the range the grain's scaling is made for. The C library here draws 31
// bits; its top 15 keep the generator's sequence and give the intended range.
int32_t Draw() {
    if constexpr (RAND_MAX == 32767) return std::rand();
    return static_cast<int32_t>(static_cast<uint32_t>(std::rand()) >> 16);
}

}  // namespace

int32_t GrainValue(int32_t amplitude) {
    int64_t sum = 0;
    for (int i = 0; i < 6; ++i) sum += Draw() - 16383;
    // 64 bits: a large amplitude times six draws would overflow 32.
    return static_cast<int32_t>(amplitude * sum / 16383 / 10);
}

void AddGrain(uint8_t* plane, size_t count, int32_t amplitude) {
    if (amplitude == 0) return;
    for (size_t i = 0; i < count; ++i)
        plane[i] = static_cast<uint8_t>(std::clamp<int64_t>(int64_t{plane[i]} + GrainValue(amplitude), 0, 255));
}

}  // namespace kv
