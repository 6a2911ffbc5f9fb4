#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "base/UserPrompt.h"
#include "imageio/Bitmap.h"

namespace kv {

// The encoder's MIME type for an output path, chosen by its extension in any case (".jpg", ".jpeg",
// ".jpe", ".tif", ".tiff", ".bmp", ".gif", ".png"). Any other extension has no format and gives an
// empty text.
std::string_view OutputMimeType(const std::filesystem::path& path);

// The seven resolution tags that are never carried from a source into a result: the result gets
// the resolution of the output settings instead.
bool IsResolutionTag(uint32_t id);

// The text written as the Software tag of every result whose source had property items.
inline constexpr std::string_view kSoftwareTagText = "KARVO Imaging  Resizer";

// Writes a resized image: the format follows the path's extension, JPEG at the given quality. The
// source's property items are copied onto the result except the resolution tags; a result of a
// source with items gets the Software tag; a source's embedded thumbnail is rebuilt at a
// twentieth of the result's size when the result is larger than 200 x 200 (a smaller result keeps
// the old one); the result gets dpi as its resolution. The file is replaced only once the whole new
// file is written. Returns 1 on success and 0 on failure; a path without a format fails silently,
// a failed write says "Can't save file %s." unless quiet.
int SaveImage(Bitmap& result, std::filesystem::path path, int quiet, Bitmap& source, int32_t quality, float dpi,
              IUserPrompt* prompt);

// The bytes SaveImage would write to a path, without writing them (the path only chooses the
// format). Returns 1 on success and 0 on failure.
int EncodeSaveImage(Bitmap& result, const std::filesystem::path& path, Bitmap& source, int32_t quality, float dpi,
                    std::vector<uint8_t>& bytes);

}  // namespace kv
