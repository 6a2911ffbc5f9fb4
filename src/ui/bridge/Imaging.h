#pragma once

#include <filesystem>

// What the window asks of the imaging layer besides pixels.
namespace kv::ui {

// Sets the imaging layer up for the window's threads; once, at start-up, before any image opens.
void StartImaging();

// Whether a file is one the program opens, by its extension (the drop target and the file dialogs
// take only those).
bool IsImageFile(const std::filesystem::path& path);

}  // namespace kv::ui
