#pragma once

#include <filesystem>
#include <string_view>

namespace kv {

// The extensions the program opens, as one list.
inline constexpr std::string_view kSupportedImageExtensions = ".tif;.gif;.bmp;.jpg;.png";

// Whether a path names an image the program opens, judged by its extension alone (case-insensitive,
// so "PHOTO.JPG" passes). Only the five listed extensions count: "a.jpeg" and "a.tiff" do not.
bool IsSupportedImage(const std::filesystem::path& path);

}  // namespace kv
