#include "engine/advanced/AdvancedTables.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kv::advanced {

const std::array<uint8_t, 10000>& SqrtTable() {
    static const std::array<uint8_t, 10000> table = [] {
        std::array<uint8_t, 10000> t{};
        for (int32_t i = 0; i < 10000; ++i) t[static_cast<size_t>(i)] = static_cast<uint8_t>(std::sqrt(double(i)));
        return t;
    }();
    return table;
}

const DirectionTable& Directions() {
    static const DirectionTable table = [] {
        DirectionTable t;
        const double tan22 = 0.41421356237309503;
        for (int32_t gx = DirectionTable::kMin; gx < DirectionTable::kMin + DirectionTable::kSize; ++gx) {
            for (int32_t gy = DirectionTable::kMin; gy < DirectionTable::kMin + DirectionTable::kSize; ++gy) {
                const double ax = std::abs(gx);
                const double ay = std::abs(gy);
                uint8_t d;
                if (ax < tan22 * ay)
                    d = 2;
                else if (ay < tan22 * ax)
                    d = 0;
                else if (gx == 0 && gy == 0)
                    d = 0;
                else
                    d = static_cast<int64_t>(gx) * gy <= 0 ? 3 : 1;
                t.cells_[static_cast<size_t>((gx - DirectionTable::kMin) * DirectionTable::kSize +
                                             (gy - DirectionTable::kMin))] = d;
            }
        }
        return t;
    }();
    return table;
}

const ClampTable& Clamp() {
    static const ClampTable table = [] {
        ClampTable t;
        for (int32_t v = ClampTable::kMin; v <= ClampTable::kMax; ++v)
            t.cells_[static_cast<size_t>(v - ClampTable::kMin)] = static_cast<uint8_t>(std::clamp(v, 0, 255));
        return t;
    }();
    return table;
}

int32_t ColourTables::RedOffset(int32_t c) { return static_cast<int32_t>(0.5 + 1.4022 * (c - 127)); }
int32_t ColourTables::BlueOffset(int32_t c) { return static_cast<int32_t>(0.5 + 1.7708 * (c - 127)); }

void ColourTables::Build() {
    for (int32_t y = 0; y < 256; ++y) {
        for (int32_t c = 0; c < 256; ++c) {
            red[static_cast<size_t>(y)][static_cast<size_t>(c)] = static_cast<uint8_t>(std::clamp(y + RedOffset(c), 0, 255));
            blue[static_cast<size_t>(y)][static_cast<size_t>(c)] = static_cast<uint8_t>(std::clamp(y + BlueOffset(c), 0, 255));
        }
    }
    for (int32_t cb = 0; cb < 256; ++cb) {
        for (int32_t cr = 0; cr < 256; ++cr) {
            const int32_t g = static_cast<int32_t>(0.5 + 0.3456 * (cb - 127) + 0.7145 * (cr - 127));
            green[static_cast<size_t>(cb)][static_cast<size_t>(cr)] = static_cast<int16_t>(std::clamp(g, -256, 256));
        }
    }
}

}  // namespace kv::advanced
