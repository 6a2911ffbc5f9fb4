#pragma once

#include <cstdint>
#include <memory>

#include "codecs/JpegError.h"
#include "codecs/JpegOStream.h"
#include "codecs/JpegTables.h"

namespace SlimJpeg {

// Takes an image one row at a time, top row first, and writes it as a baseline JPEG. A colour row is
// width pixels of three bytes R, G, B; a grey row is width bytes. The row is copied. The call that
// delivers the last row also finishes the stream (EOI, final flush, Close); a further call throws.
// A coder deleted before the last row leaves the stream unfinished.
class Coder {
public:
    virtual ~Coder() = default;
    virtual void WriteRow(const uint8_t* row) = 0;
};

// Writes every header segment up to and including SOS and returns the coder for the rows.
// colour: three YCbCr components with 2x2 luminance sampling (2x1 with chroma422), else one grey
// component. quality: normally 1 to 100. singleDqt: both quantisation tables in one DQT segment.
// densityUnit: 2 dots per inch, 3 dots per cm, anything else JFIF units 0. Throws Error when width
// or height is 0 or does not fit the 16 bits of the frame header.
std::unique_ptr<Coder> CreateCoder(OStream& stream, unsigned width, unsigned height, bool colour, int quality,
                                   bool chroma422, bool singleDqt, int densityUnit, uint16_t xDensity,
                                   uint16_t yDensity);

// A base table (natural order) scaled for a quality as the coder scales it, at 8-bit precision.
QuantTable ScaleQuantTable(const std::array<uint16_t, 64>& base, int quality);

}  // namespace SlimJpeg
