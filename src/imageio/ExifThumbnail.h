#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/DibImage.h"
#include "imageio/ByteReader.h"
#include "imageio/ThumbnailDib.h"

namespace kv {

// What a thumbnail reader found. A file without an embedded thumbnail gives neither an image nor an
// error; a file that announces one which cannot be read (a directory or the thumbnail outside the
// file, a damaged JPEG preview, a directory read twice) gives the reason in error. Callers that
// make thumbnails treat both the same way and decode the full image instead.
struct ExifThumbnail {
    DibImagePtr image;  // 24-bit, fitted into the box, bottom row first
    std::string error;
};

// The box of a thumbnail cell, for callers that have no box of their own.
inline constexpr ThumbSize kDefaultThumbnailBox{220, 165};

// The largest embedded thumbnail that is read, in bytes; a larger one counts as damaged.
inline constexpr uint32_t kMaxEmbeddedThumbnailBytes = 64u << 20;

// The thumbnail in the first APP1 (Exif) segment of a JPEG file whose name ends in ".jpg", ".jpeg"
// or ".jpe" (any case), turned upright by the orientation the first directory states unless
// pictures are kept as stored. box holds the wanted size on entry and the size of the returned
// thumbnail on exit, which fills the box in one direction (a small preview is enlarged). width and
// height receive the image's own size from the first directory (0x0100, 0xA002; 0x0101, 0xA003)
// and, when the file has a thumbnail directory, from the Exif directory after it, swapped for a
// picture turned a quarter; they are written as soon as the tags are read, even when no thumbnail
// comes back. Only JPEG (6) and uncompressed RGB (1, whose length must be width x height x 3)
// thumbnails are read.
ExifThumbnail ReadJpegExifThumbnail(const std::filesystem::path& path, ThumbSize& box, uint32_t& width,
                                    uint32_t& height);

// The same for a TIFF file whose name ends in ".tif" or ".tiff" (any case) and whose
// first directory points at an Exif directory: the thumbnail is described by the second directory,
// the size comes from the first directory's 0x0100 and 0x0101 alone.
ExifThumbnail ReadTiffExifThumbnail(const std::filesystem::path& path, ThumbSize& box, uint32_t& width,
                                    uint32_t& height);

// The two readers on bytes already at hand, whatever the file's name.
ExifThumbnail ReadJpegExifThumbnail(const ByteReader& file, ThumbSize& box, uint32_t& width, uint32_t& height);
ExifThumbnail ReadTiffExifThumbnail(const ByteReader& file, ThumbSize& box, uint32_t& width, uint32_t& height);

}  // namespace kv
