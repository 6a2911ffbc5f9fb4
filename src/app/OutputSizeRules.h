#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "app/ImageFacts.h"
#include "app/ResizeSettings.h"

// The output size rules used outside the settings bar: the settings an opened image starts with,
// and the size stamped onto an item of the batch list.
namespace kv {

// The settings a batch item carries: its output size, resolution, algorithm and correction.
struct StampedSettings {
    int32_t width = 0;
    int32_t height = 0;
    float dpi = 0;
    ResizeAlgorithm algorithm = kDefaultResizeAlgorithm;
    SizeCorrection correction = SizeCorrection::KeepAspect;
    bool operator==(const StampedSettings&) const = default;
};

// Applied by the document after it decoded a newly opened image, before the bar is refreshed.
// Without the lock (in batch mode: without "apply to new") the output takes the image's own size
// and resolution; with it, Keep aspect becomes Crop so the kept box is honoured, and in percent
// mode the size follows the image. While an item of the batch list is being opened the record is
// left as the item set it.
void ApplyOpenRule(ResizeSettings& settings, const ImageFacts& image);

enum class StampSource {
    CurrentSettings,  // the record's size, fitted to or scaled with the image
    ImageOwnSize,     // the image's own size and resolution
};

// Stamps the settings onto an item for its image; image is nothing when the file did not open.
// The item's algorithm and correction always become the record's.
void StampSize(const ResizeSettings& settings, const std::optional<ImageFacts>& image, StampSource source,
               StampedSettings& item);
// The same for an image file, opened as far as its header.
void StampSize(const ResizeSettings& settings, const std::filesystem::path& image, StampSource source,
               StampedSettings& item);

}  // namespace kv
