#pragma once

#include <cstdint>
#include <filesystem>

#include "imageio/ByteReader.h"

namespace kv {

// Where a JPEG file's Exif block begins: the file position of the length field of the first APP1
// segment when that segment is an Exif one ("Exif" in any case, then a zero byte), else 0. The
// bytes are scanned for FF markers up to the start of the scan; only the first APP1 is examined,
// so a file whose XMP segment comes before its Exif segment has none. A file that cannot be read
// has none.
uint64_t FindExifSegment(const ByteReader& file);
uint64_t FindExifSegment(const std::filesystem::path& path);

// The Exif directory offset (the 0x8769 entry of the first directory) of a TIFF file longer than
// 128 bytes, else 0; 0 as well when the file cannot be read.
uint32_t FindExifIfdOffset(const ByteReader& file);
uint32_t FindExifIfdOffset(const std::filesystem::path& path);

}  // namespace kv
