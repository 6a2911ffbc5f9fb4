#pragma once

#include <array>
#include <cstdint>

namespace SlimJpeg {

// One quantisation table: 64 values in natural (row-major) order and their precision, 8 or 16 bits.
struct QuantTable {
    std::array<uint16_t, 64> values{};
    int precision = 8;
};

// One Huffman table as a DHT segment holds it: the code counts for lengths 1 to 16, the symbols in
// code order, and the table's size in segment bytes.
struct HuffmanTable {
    std::array<int, 16> counts{};
    std::array<uint8_t, 256> symbols{};
    int size = 17;

    int symbolCount() const { return size - 17; }
    bool operator==(const HuffmanTable&) const = default;
};

// The natural position of each zig-zag position. The 16 extra entries repeat the last position, so
// that an index a little past 63 still lands inside a block.
extern const std::array<uint8_t, 64 + 16> kZigzag;

// The base quantisation tables of the baseline standard (luminance, chrominance), natural order.
extern const std::array<uint16_t, 64> kLuminanceQuant;
extern const std::array<uint16_t, 64> kChrominanceQuant;

// The standard Huffman tables: DC luminance, DC chrominance, AC luminance, AC chrominance.
const HuffmanTable& StandardDcLuminance();
const HuffmanTable& StandardDcChrominance();
const HuffmanTable& StandardAcLuminance();
const HuffmanTable& StandardAcChrominance();

// round(scale * a(u) * a(v)) for k = 8v + u, with a(0) = 1 and a(n) = sqrt(2) cos(n pi / 16): the
// scaling that the separable fast transforms leave in their outputs. 8192 for the inverse transform,
// 32768 for the forward one.
const std::array<int32_t, 64>& InverseDctScales();
const std::array<int32_t, 64>& ForwardDctScales();

}  // namespace SlimJpeg
