#pragma once

#include <filesystem>
#include <optional>

#include "app/ImageFacts.h"

namespace kv {

// Opens an image file far enough to learn its size, pixel format and resolution (the pixels are
// not decoded). Nothing when the file does not open as an image.
std::optional<ImageFacts> ReadImageFacts(const std::filesystem::path& path);

}  // namespace kv
