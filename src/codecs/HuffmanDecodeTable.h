#pragma once

#include <array>
#include <cstdint>

#include "codecs/JpegTables.h"

namespace SlimJpeg {

// The decoding form of a Huffman table, built when a scan starts. Codes are canonical: lengths in
// symbol order, consecutive codes within a length, one left shift per length step.
struct HuffmanDecodeTable {
    // Throws Error when the counts over-fill the code space of their lengths.
    explicit HuffmanDecodeTable(const HuffmanTable& table);

    // For every 8-bit prefix: (length << 8) | symbol of the code of length 8 or less that the
    // prefix begins with; 0 when no such code exists.
    std::array<uint16_t, 256> lookahead{};
    // For lengths 1 to 16: the code of the first symbol of that length minus that symbol's index.
    std::array<int32_t, 18> valueOffset{};
    // For lengths 1 to 16: the largest code of that length, -1 when it has none; 2^31 - 1 at 17.
    std::array<int32_t, 18> maxCode{};
    std::array<uint8_t, 256> symbols{};
    int symbolCount = 0;
};

}  // namespace SlimJpeg
