#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/BatchSettings.h"
#include "app/OutputSizeRules.h"
#include "base/MemoryBudget.h"
#include "batch/CItem.h"
#include "batch/OutputPath.h"
#include "engine/Progress.h"
#include "imageio/Bitmap.h"

// The work both batch runners do on the images of one item.
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

// One item's images, step by step: the input opened within the run's memory budget, an output
// image of the item's size, the resize into it, and the result saved where its output was decided
// or encoded into the bytes of a file. Each step says whether it succeeded; running out of memory
// part way counts as the step failing. A step needs the ones before it to have succeeded.
class BatchItemWork {
public:
    // The item, settings and pool must outlive the work; stop ends a wait for memory.
    BatchItemWork(const CItem& item, const BatchSettings& settings, bool crop, MemoryPool& memory,
                  std::function<bool()> stop)
        : item_(item), settings_(settings), crop_(crop), memory_(memory), stop_(std::move(stop)) {}

    bool Open();
    bool CreateOutput();
    // With the item's algorithm; false when the routine was stopped or failed.
    bool Resize(CRSProgress* progress);
    // Written with the batch quality and the item's resolution, whole or not at all, as
    // WriteBatchOutput does: the path the file went to, or nothing when it was not written.
    std::optional<std::filesystem::path> Save(const OutputDecision& output);
    // The bytes Save would write to a file of this name (only its extension counts).
    bool Encode(const std::filesystem::path& name, std::vector<uint8_t>& bytes);

private:
    const CItem& item_;
    const BatchSettings& settings_;
    const bool crop_;
    MemoryPool& memory_;
    const std::function<bool()> stop_;
    BatchInput input_;
    std::unique_ptr<Bitmap> result_;
};

}  // namespace kv
