#pragma once

// The lookup tables of the advanced enlarger. The three process-wide ones are built once, before
// their first use, and never written again: two resizes may run at the same time (a preview and a
// batch item), and rebuilding a table under a running resize would change what it reads.

#include <array>
#include <cstdint>

namespace kv::advanced {

// Entry i is trunc(sqrt(i)) for i = 0 .. 9999: the edge magnitude of a squared gradient.
const std::array<uint8_t, 10000>& SqrtTable();

// Direction of an edge from its horizontal and vertical gradient, each -255 .. 256. 0: the edge
// runs vertically (neighbours above and below); 1: through the upper-right and lower-left
// neighbours; 2: horizontally (neighbours left and right); 3: through the upper-left and lower-right
// neighbours. No gradient at all counts as 0.
class DirectionTable {
public:
    static constexpr int32_t kMin = -255;
    static constexpr int32_t kSize = 512;
    uint8_t operator()(int32_t gx, int32_t gy) const { return cells_[(gx - kMin) * kSize + (gy - kMin)]; }

private:
    friend const DirectionTable& Directions();
    std::array<uint8_t, kSize * kSize> cells_{};
};
const DirectionTable& Directions();

// The edge direction that marks a pixel the smoothing leaves alone.
inline constexpr uint8_t kNoEdge = 4;

// Clamp(v) for v = -256 .. 511 gives v clamped to 0 .. 255.
class ClampTable {
public:
    static constexpr int32_t kMin = -256;
    static constexpr int32_t kMax = 511;
    uint8_t operator()(int32_t v) const { return cells_[v - kMin]; }

private:
    friend const ClampTable& Clamp();
    std::array<uint8_t, kMax - kMin + 1> cells_{};
};
const ClampTable& Clamp();

// The tables of the conversion from luminance and colour differences back to blue, green, red.
// Each call builds its own.
struct ColourTables {
    std::array<std::array<uint8_t, 256>, 256> red;    // [y][cr] = clamp(y + rOff[cr])
    std::array<std::array<uint8_t, 256>, 256> blue;   // [y][cb] = clamp(y + bOff[cb])
    std::array<std::array<int16_t, 256>, 256> green;  // [cb][cr], subtracted from y

    void Build();
    // rOff and bOff: the offsets of red and blue from the luminance for a colour difference c.
    static int32_t RedOffset(int32_t c);
    static int32_t BlueOffset(int32_t c);
};

}  // namespace kv::advanced
