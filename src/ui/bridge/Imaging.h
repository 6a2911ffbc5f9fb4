#pragma once

#include <filesystem>

// What the window asks of the imaging layer besides pixels.
namespace kv::ui {

// Sets the imaging layer up for the window's threads; once, at start-up, before any image opens.
void StartImaging();

// Whether photos are turned upright by their orientation tag when they are decoded (for the
// document, the thumbnails and batch runs), or kept as their files store them.
void SetPicturesUpright(bool upright);

// Whether a file is one the program opens, by its extension (the drop target and the file dialogs
// take only those).
bool IsImageFile(const std::filesystem::path& path);
// Whether a result can be written under a file's extension, and whether that writes a JPEG.
bool IsWritableImageFile(const std::filesystem::path& path);
bool IsJpegFile(const std::filesystem::path& path);

}  // namespace kv::ui
