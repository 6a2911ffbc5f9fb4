#pragma once

#include <cstdint>
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

}  // namespace kv::advanced::test
