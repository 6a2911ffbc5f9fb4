#pragma once

#include <filesystem>
#include <vector>

namespace kv {

// Whether Next and Previous step onto a file: a JPEG, TIFF, BMP or PNG extension in any case (GIF is
// left out).
bool IsNavigableImage(const std::filesystem::path& path);

// The image after (forward) or before the current one in its folder, in name order and wrapping
// around, skipping the failed candidates. Empty when the current file is not among the folder's
// navigable images or is the only one.
std::filesystem::path FindNeighbourFile(const std::filesystem::path& current, bool forward,
                                        const std::vector<std::filesystem::path>& failed);

}  // namespace kv
