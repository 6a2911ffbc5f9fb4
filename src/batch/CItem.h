#pragma once

#include <cstdint>
#include <filesystem>

#include "app/OutputSizeRules.h"
#include "app/ResizeSettings.h"

namespace kv {

// One file of a thumbnail browser, and in the batch list one image to resize. The browser's own
// fields (size, times, details) are filled by the browser when it needs them; the batch list uses
// the path, the selection and the batch values stamped on the item.
struct CItem {
    // A new item: no path, not selected, no output size yet, and the current resolution,
    // algorithm and correction.
    explicit CItem(const ResizeSettings& settings, std::filesystem::path itemPath = {})
        : path(std::move(itemPath)) {
        batch.dpi = settings.dpi;
        batch.algorithm = settings.algorithm;
        batch.correction = settings.correction;
    }

    std::filesystem::path path;
    int32_t selected = 0;  // 1 when selected

    // The browser's details, valid once detailsLoaded is 1. Times are seconds since 1970.
    double size = 0;  // bytes
    int64_t created = 0;
    int64_t modified = 0;
    int32_t reserved[2] = {0, 0};  // cleared on creation, used by nobody
    int64_t accessed = 0;
    int32_t detailsLoaded = 0;

    // The output this image gets in a batch run: width and height in pixels (0 until stamped),
    // resolution, algorithm, and the correction in force when it was stamped.
    StampedSettings batch;
};

}  // namespace kv
