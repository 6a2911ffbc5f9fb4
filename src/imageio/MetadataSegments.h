#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "imageio/ByteReader.h"
#include "imageio/ImagingTypes.h"

namespace kv {

// Small structural readers of JPEG and PNG files that find the metadata without decoding pixels.
// Nothing in the file is trusted: every length is checked against the bytes that are there.

// A JPEG file cut down to what its metadata needs: the start marker, its Exif (APP1) and colour
// profile (APP2) segments from before the image data, and an end marker. False when the file does
// not start like a JPEG file or holds no such segment.
bool JpegMetadataPrefix(const ByteReader& file, std::vector<uint8_t>& out);

// A PNG file cut down to its signature, header, colour profile, Exif chunk, Exif text profiles and
// end chunk. False when the file does not start like a PNG file.
bool PngMetadataChunks(const ByteReader& file, std::vector<uint8_t>& out);

struct FrameSize {
    uint16_t width = 0;
    uint16_t height = 0;
};
// The size in the first frame header of a JPEG stream.
std::optional<FrameSize> JpegFrameSize(std::span<const uint8_t> jpeg);
// The number of components in the first frame header of a JPEG stream.
std::optional<int> JpegComponentCount(std::span<const uint8_t> jpeg);

// A file's own pixel density as Exif rationals: unit 2 (inch) or 3 (centimetre).
struct FileDensity {
    uint32_t xNumerator = 0;
    uint32_t yNumerator = 0;
    uint32_t denominator = 1;
    uint16_t unit = 2;
};
// From a JPEG's JFIF header or a PNG's pHYs chunk; nothing when the file gives no absolute density.
std::optional<FileDensity> ReadFileDensity(std::span<const uint8_t> file, ImageFormat format);

// Puts an Exif block (a TIFF header and its IFDs) into an eXIf chunk and a colour profile into an
// iCCP chunk right after the header of a PNG file, replacing any Exif, colour profile or sRGB chunks
// it had. An empty span leaves that kind of chunk alone. False, the file unchanged, when the file is
// not a well-formed PNG or the profile cannot be compressed.
bool InsertPngMetadata(std::vector<uint8_t>& png, std::span<const uint8_t> exif, std::span<const uint8_t> icc);

// A text chunk of a PNG file: tEXt (Latin-1), iTXt (UTF-8, as XMP and comments that are not plain
// ASCII need) or zTXt (deflated, as the raw profiles of image tools are kept).
struct PngText {
    enum class Kind { Latin1, Utf8, Deflated };
    Kind kind = Kind::Latin1;
    std::string keyword;
    std::string text;
};
// Adds text chunks before the image data of a PNG file. False, the file unchanged, when it has no
// image data or a keyword is not 1 to 79 bytes.
bool AppendPngTexts(std::vector<uint8_t>& png, const std::vector<PngText>& texts);

// Bytes as a "Raw profile type" text of image tools: the type, the length and the bytes in hex.
std::string RawProfileText(std::string_view type, std::span<const uint8_t> bytes);

}  // namespace kv
