#pragma once

#include <cstdint>
#include <memory>

#include "codecs/JpegError.h"
#include "codecs/JpegIStream.h"

namespace SlimJpeg {

// Hands a decoded image back one row at a time, top row first. A colour row holds width pixels of
// three bytes, R, G, B (or the three components in frame order when the file asks for no colour
// conversion); a grey row holds width bytes. The pointer stays valid until the next ReadRow or the
// destruction of the decoder. Reading more rows than the height throws Error.
class Decoder {
public:
    virtual ~Decoder() = default;
    virtual const uint8_t* ReadRow() = 0;
};

// Reads a sequential Huffman-coded 8-bit JPEG stream (one scan holding every component, grey or
// three components) from the stream's current position through the start of its scan and returns
// the decoder for its rows. Everything else throws Error.
//
// densityUnit: 0 when no JFIF header gave one, else 1 (aspect ratio only), 2 (dots per inch) or
// 3 (dots per cm). Any out argument may be null. The stream is not owned and must outlive the
// decoder; whatever follows the scan is never examined.
std::unique_ptr<Decoder> CreateDecoder(IStream& stream, unsigned* width, unsigned* height, uint8_t* isColour,
                                       int* densityUnit, uint16_t* xDensity, uint16_t* yDensity);

}  // namespace SlimJpeg
