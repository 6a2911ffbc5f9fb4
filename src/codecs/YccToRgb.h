#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "codecs/SamplingMap.h"

namespace SlimJpeg {

// The decoder's colour tables, indexed by a chroma sample 0..255: TR and TB are round(1.402 (i-128))
// and round(1.772 (i-128)); TGr and TGb are four times the green terms, the +2 rounding the later
// division by 4.
struct YccTables {
    std::array<int32_t, 256> r{}, b{}, gr{}, gb{};
};
const YccTables& DecoderColourTables();

// Turns the samples of one decoded MCU row into pixel rows: grey, three components stored as they
// are, or YCbCr converted to R, G, B. Built once per image from the component layout.
class RowConverter {
public:
    enum class Kind { Grey, Plain, Ycc };

    // maps: one per component (one for grey); width: the image width in pixels.
    RowConverter(Kind kind, const std::vector<SamplingMap>& maps, int width, int mcuWidth, int coefficientsPerMcu);

    // Writes rows [0, count) of the MCU row held in samples (one sample per 16-bit value) to rows.
    void Convert(const int16_t* samples, int count, uint8_t* const* rows) const;

private:
    Kind kind_;
    int width_;
    std::vector<std::vector<int>> rowParts_;     // per component: offset of each pixel row of the MCU
    std::vector<std::vector<int32_t>> columns_;  // per component: offset of each pixel column of the image
};

}  // namespace SlimJpeg
