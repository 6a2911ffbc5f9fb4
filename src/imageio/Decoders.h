#pragma once

#include <cstdint>
#include <string>

#include "imageio/ByteReader.h"
#include "imageio/ImagingTypes.h"
#include "imageio/PixelBuffer.h"

namespace kv {

// What opening a file learns from its header, before any pixel is decoded.
struct ImageHeader {
    ImageFormat format = ImageFormat::Unknown;
    int32_t width = 0;
    int32_t height = 0;
    PixelFormat pixelFormat = PixelFormatUndefined;
    uint32_t flags = 0;
    float dpiX = 96.0f;
    float dpiY = 96.0f;
    // How the file says its stored pixels are to be turned to stand upright (1 to 8, see
    // Orientation.h). The size and pixels above are the stored ones; the bitmap turns them.
    int orientation = 1;
    // What decoding the pixels allocates at its peak, in bytes: the picture in its own format and
    // whatever the decoder keeps beside it for the whole picture.
    uint64_t decodeBytes = 0;
};

// The outcome of a probe or decode: Ok, or a failure status with a sentence for the user.
struct DecodeResult {
    Status status = Status::Ok;
    std::string message;

    bool ok() const { return status == Status::Ok; }
    static DecodeResult Success() { return {}; }
    static DecodeResult Failure(Status status, std::string message) { return {status, std::move(message)}; }
};

// The resolution a file without one is shown at.
inline constexpr float kDefaultDpi = 96.0f;

// Tells the file format from the first bytes; Unknown when none matches.
ImageFormat SniffImageFormat(const ByteReader& file);

// Each decoder reads a header (cheap: no pixel data) and decodes the whole image into pixels of
// the pixel format its header reported. Every read is bounded by the file; the pixel count is
// checked against the decode limit before pixel memory is allocated.
DecodeResult ProbeJpeg(const ByteReader& file, ImageHeader& header);
// scaleEighths 1..8 decodes at that many eighths of the size (DCT scaling); 8 is full size.
DecodeResult DecodeJpeg(const ByteReader& file, int32_t scaleEighths, PixelBuffer& pixels);

DecodeResult ProbePng(const ByteReader& file, ImageHeader& header);
DecodeResult DecodePng(const ByteReader& file, PixelBuffer& pixels);

DecodeResult ProbeTiff(const ByteReader& file, ImageHeader& header);
DecodeResult DecodeTiff(const ByteReader& file, PixelBuffer& pixels);

DecodeResult ProbeGif(const ByteReader& file, ImageHeader& header);
DecodeResult DecodeGif(const ByteReader& file, PixelBuffer& pixels);

DecodeResult ProbeBmp(const ByteReader& file, ImageHeader& header);
DecodeResult DecodeBmp(const ByteReader& file, PixelBuffer& pixels);

// Sniffs and probes; the header's format says which decoder applies.
DecodeResult ProbeImage(const ByteReader& file, ImageHeader& header);
// Decodes a probed file at full size.
DecodeResult DecodeImage(const ByteReader& file, ImageFormat format, PixelBuffer& pixels);

// A failure when width x height exceeds the decode pixel limit (or is not positive), else Ok.
DecodeResult CheckPixelLimit(int64_t width, int64_t height);

// The limit applied to what a decode allocates: the picture's padded rows in its own format, plus
// bookkeeping per row and buffers of the whole picture that the decoder keeps beside it, counted in
// pixels of that format. A picture one pixel wide still takes a padded row per pixel, so a
// gigapixel of rows is refused like a gigapixel. On success bytes (when given) receives the total.
DecodeResult CheckDecodeMemory(int64_t width, int64_t height, PixelFormat format, uint64_t extraBytesPerRow = 0,
                               uint64_t extraBytes = 0, uint64_t* bytes = nullptr);

// Image flags shared by all decoders: the colour space of a pixel format plus HasAlpha.
uint32_t FlagsForPixelFormat(PixelFormat format);

}  // namespace kv
