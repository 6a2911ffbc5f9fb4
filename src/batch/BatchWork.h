#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/BatchSettings.h"
#include "app/OutputSizeRules.h"
#include "batch/CItem.h"
#include "engine/Progress.h"
#include "imageio/Bitmap.h"

// The work both batch runners do on the images of one item.
namespace kv {

// Opens an input image for a batch run: the whole file is read and its pixels and property items
// decoded at once. So the file is free to be replaced by its own result afterwards, and an image
// whose pixels do not decode counts as one that did not open instead of failing its resize. Null
// when the file cannot be read or decoded.
std::unique_ptr<Bitmap> OpenBatchImage(const std::filesystem::path& path);

// The 24-bit image an item's result is drawn into; null when it cannot be made (a size of 0, one
// past the pixel limit, or too little memory).
std::unique_ptr<Bitmap> CreateOutputImage(const StampedSettings& values);

// One item's images, step by step: the input opened, an output image of the item's size, the
// resize into it, and the result saved to a path or encoded into the bytes of a file. Each step
// says whether it succeeded; running out of memory part way counts as the step failing. A step
// needs the ones before it to have succeeded.
class BatchItemWork {
public:
    // The item and settings must outlive the work.
    BatchItemWork(const CItem& item, const BatchSettings& settings, bool crop)
        : item_(item), settings_(settings), crop_(crop) {}

    bool Open();
    bool CreateOutput();
    // With the item's algorithm; false when the routine was stopped or failed.
    bool Resize(CRSProgress* progress);
    // Written with the batch quality and the item's resolution; the file at the path is replaced
    // only once the whole new one is written.
    bool Save(const std::filesystem::path& path);
    // The bytes Save would write to a file with this extension.
    bool Encode(const std::string& extension, std::vector<uint8_t>& bytes);

private:
    const CItem& item_;
    const BatchSettings& settings_;
    const bool crop_;
    std::unique_ptr<Bitmap> source_;
    std::unique_ptr<Bitmap> result_;
};

}  // namespace kv
