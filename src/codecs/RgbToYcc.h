#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "codecs/SamplingMap.h"

namespace SlimJpeg {

// The encoder's colour tables, indexed by a difference d + 255 for d in -255..255: 4 * 0.299 and
// 4 * 0.114 in 8-bit fixed point for luminance, -2 * 0.1687 and -2 * 0.0813 in 9-bit fixed point
// for the chroma components.
struct RgbTables {
    std::array<int32_t, 511> yr{}, yb{}, cb{}, cr{};
};
const RgbTables& EncoderColourTables();

// Turns one MCU row of pixel rows into samples (one per 16-bit value) laid out as the MCU row of
// coefficients: grey rows are copied block by block; colour rows (R, G, B) are converted to YCbCr and
// each component's samples are the mean of the pixels its map gives them.
class RowSampler {
public:
    struct Component {
        SamplingMap map;
        int h;
        int v;
    };
    RowSampler(bool colour, std::vector<Component> components, int hmax, int vmax, int mcusPerRow,
               int coefficientsPerMcu);

    // rows: MCU-height rows of the padded width; samples: the cleared MCU row of coefficients.
    void Sample(const uint8_t* const* rows, int16_t* samples) const;

private:
    bool colour_;
    std::vector<Component> components_;
    // Per component, the sample index of every pixel of the MCU in raster order: the maps laid out
    // flat, so that the pixel loop only looks them up.
    std::vector<std::vector<int32_t>> indices_;
    int hmax_;
    int vmax_;
    int mcusPerRow_;
    int coefficientsPerMcu_;
};

}  // namespace SlimJpeg
