#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "engine/advanced/AdvancedCommon.h"

namespace kv::advanced::test {

// A plane the advanced steps can work on, owning its bytes; copies point at their own bytes.
struct TestPlane {
    std::vector<uint8_t> bytes;
    PlaneRef ref;
    TestPlane(int32_t w, int32_t h, uint8_t fill = 0) : bytes(static_cast<size_t>(w * h), fill) {
        ref = {bytes.data(), w, h};
    }
    TestPlane(const TestPlane& o) : bytes(o.bytes) { ref = {bytes.data(), o.ref.width, o.ref.height}; }
    uint8_t& at(int32_t x, int32_t y) { return bytes[static_cast<size_t>(y * ref.width + x)]; }
    uint8_t at(int32_t x, int32_t y) const { return bytes[static_cast<size_t>(y * ref.width + x)]; }
};

// A plane of random bytes, the same for the same seed.
inline TestPlane Noise(int32_t w, int32_t h, uint32_t seed) {
    TestPlane p(w, h);
    std::mt19937 random(seed);
    for (uint8_t& v : p.bytes) v = static_cast<uint8_t>(random() & 0xFF);
    return p;
}

}  // namespace kv::advanced::test
