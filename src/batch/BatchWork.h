#pragma once

#include <filesystem>
#include <memory>

#include "app/OutputSizeRules.h"
#include "imageio/Bitmap.h"

// The steps both batch runners take for one item.
namespace kv {

// Opens an input image for a batch run: the whole file is read and its pixels and property items
// decoded at once. So the file is free to be replaced by its own result afterwards, and an image
// whose pixels do not decode counts as one that did not open instead of failing its resize. Null
// when the file cannot be read or decoded.
std::unique_ptr<Bitmap> OpenBatchImage(const std::filesystem::path& path);

// The 24-bit image an item's result is drawn into; null when it cannot be made (a size of 0, one
// past the pixel limit, or too little memory).
std::unique_ptr<Bitmap> CreateOutputImage(const StampedSettings& values);

}  // namespace kv
