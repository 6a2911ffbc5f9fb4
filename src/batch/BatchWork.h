#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "app/BatchSettings.h"
#include "app/OutputSizeRules.h"
#include "base/MemoryBudget.h"
#include "batch/CItem.h"
#include "imageio/Bitmap.h"

// The steps both batch runners take for one item.
namespace kv {

// An item's input, opened for its resize.
struct BatchInput {
    // Null when the file cannot be read, is no image, or its pixels do not decode.
    std::unique_ptr<Bitmap> image;
    // The item's share of the run's memory, held while the item is worked on.
    MemoryPool::Hold memory;
    // False when the item's resize would need more memory than the run may use: its pixels were
    // not decoded, and no output image is made for it.
    bool withinBudget = true;
};

// Opens an item's input for a batch run: the whole file is read and its header checked, what the
// item's resize will take (decode, resize with the item's algorithm and size, encode into the
// output format) is held from the run's memory pool, waiting while other items hold too much, and
// only then are its pixels and property items decoded. So the file is free to be replaced by its
// own result afterwards, an image whose pixels do not decode counts as one that did not open, and
// an image too large for the budget is never decoded. stop ends a wait for memory.
BatchInput OpenBatchImage(const CItem& item, const BatchSettings& settings, bool crop, MemoryPool& memory,
                          const std::function<bool()>& stop);

// The image an item's result is drawn into (24-bit, or 32-bit with alpha for an image with
// transparent pixels); null when it cannot be made (a size of 0, one
// past the pixel limit, a resize that does not fit the memory budget, or too little memory).
std::unique_ptr<Bitmap> CreateOutputImage(const StampedSettings& values, const BatchInput& input);

}  // namespace kv
