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
// are, or YCbCr converted to R, G, B. Each pixel takes the sample its component's sampling map
// gives it. Built once per image from the component layout.
class RowConverter {
public:
    enum class Kind { Grey, Plain, Ycc };
    struct Component {
        int h;
        int v;
        int firstBlock;
    };

    // width: the image width in pixels. The rows handed to Convert must hold the width padded to
    // whole MCUs. useVector: take the vector routines where the processor has them (they give the
    // same bytes; tests compare the two).
    RowConverter(Kind kind, const std::vector<Component>& components, int hmax, int vmax, int width,
                 int coefficientsPerMcu, bool useVector = true);

    // Writes rows [0, count) of the MCU row held in samples (one sample per 16-bit value) to rows.
    void Convert(const int16_t* samples, int count, uint8_t* const* rows) const;

private:
    template <int Ratio>
    void ConvertReplicated(const int16_t* samples, int count, uint8_t* const* rows) const;
    void ConvertMapped(const int16_t* samples, int count, uint8_t* const* rows) const;

    Kind kind_;
    int width_;
    int mcuWidth_;
    int mcusPerRow_;
    int coefficientsPerMcu_;
    std::vector<SamplingMap> maps_;
    std::vector<std::vector<int32_t>> columns_;  // per component: offset of each pixel column of the image
    // Set when luminance is not subsampled and both chroma components share their factors with a
    // whole horizontal ratio 1, 2 or 4: the common layouts, converted without per-pixel maps.
    int replicationRatio_ = 0;
    int chromaH_ = 1;
    int crDelta_ = 0;  // from a Cb sample to its Cr sample, in coefficients
    bool useVector_;
};

}  // namespace SlimJpeg
