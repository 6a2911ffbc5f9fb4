#include "batch/BatchWork.h"

#include <exception>
#include <new>

#include "base/AtomicFile.h"
#include "batch/UniqueNameClaim.h"
#include "document/SaveImage.h"
#include "imageio/AlphaResize.h"
#include "imageio/ResizeBitmap.h"
#include "imageio/ResizeJobMemory.h"

namespace kv {

BatchInput OpenBatchImage(const CItem& item, const BatchSettings& settings, bool crop, MemoryPool& memory,
                          const std::function<bool()>& stop) {
    BatchInput input;
    try {
        auto bytes = std::make_shared<std::vector<uint8_t>>();
        if (!ReadWholeFile(item.path, *bytes).ok()) return input;
        const uint64_t fileBytes = bytes->size();
        std::unique_ptr<Bitmap> image = Bitmap::FromMemory(std::shared_ptr<const std::vector<uint8_t>>(std::move(bytes)));
        if (image->GetLastStatus() != Status::Ok || image->GetPixelFormat() == PixelFormatUndefined) return input;
        const StampedSettings& values = item.batch;
        if (values.width > 0 && values.height > 0) {
            const OutputName name = PlannedOutputName(settings, item.path, values.width, values.height);
            const ResizeJob job = ResizeJobOf(*image, fileBytes, values.width, values.height, values.algorithm, crop,
                                              OutputMimeType("x" + name.extension));
            input.memory = memory.Acquire(EstimateResizeJob(job).peak(), stop);
            if (!input.memory) {
                input.withinBudget = false;
                input.image = std::move(image);
                return input;
            }
        }
        // A copy of one pixel decodes the whole image and reads its property items.
        if (!image->Clone(Rect{0, 0, 1, 1}, PixelFormatUndefined)) {
            input.memory.Release();
            return input;
        }
        input.image = std::move(image);
        return input;
    } catch (const std::bad_alloc&) {
        input.image.reset();
        input.memory.Release();
        return input;
    }
}

std::unique_ptr<Bitmap> CreateOutputImage(const StampedSettings& values, const BatchInput& input) {
    if (!input.withinBudget) return nullptr;
    try {
        // 24-bit, or 32-bit with alpha for an image with transparent or translucent pixels.
        auto image = std::make_unique<Bitmap>(values.width, values.height, ResizeResultFormat(*input.image));
        if (image->GetLastStatus() != Status::Ok) return nullptr;
        return image;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool BatchItemWork::Open() {
    try {
        input_ = OpenBatchImage(item_, settings_, crop_, memory_, stop_);
    } catch (const std::exception&) {
        input_ = BatchInput{};
    }
    return input_.image != nullptr;
}

bool BatchItemWork::CreateOutput() {
    result_ = CreateOutputImage(item_.batch, input_);
    return result_ != nullptr;
}

bool BatchItemWork::Resize(CRSProgress* progress) {
    try {
        return ResizeBitmap(*input_.image, *result_, item_.batch.algorithm, crop_, progress);
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<std::filesystem::path> BatchItemWork::Save(const OutputDecision& output) {
    // The old output, if any, stays until the whole new file replaces it; an output that is the
    // input itself is safe too, as the input was read whole when it was opened.
    std::vector<uint8_t> bytes;
    if (!Encode(output.path, bytes)) return std::nullopt;
    try {
        return WriteBatchOutput(bytes, output).path;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool BatchItemWork::Encode(const std::filesystem::path& name, std::vector<uint8_t>& bytes) {
    try {
        if (EncodeSaveImage(*result_, name, *input_.image, settings_.jpegQuality, item_.batch.dpi, bytes) == 1)
            return true;
    } catch (const std::exception&) {
    }
    bytes.clear();
    return false;
}

}  // namespace kv
