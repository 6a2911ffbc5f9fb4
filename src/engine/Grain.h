#pragma once

#include <cstddef>
#include <cstdint>

namespace kv {

// Film-grain noise: amplitude times the sum of six draws of the C runtime's rand(), each centred
// on 16383, scaled down by 16383 and then by 10 (both divisions truncating). Each call draws six
// values, so the sequence of results follows the runtime's generator.
int32_t GrainValue(int32_t amplitude);

// Adds a fresh GrainValue(amplitude) to every byte, in memory order, clamping to 0..255. An
// amplitude of 0 adds nothing and draws nothing.
void AddGrain(uint8_t* plane, size_t count, int32_t amplitude);

}  // namespace kv
