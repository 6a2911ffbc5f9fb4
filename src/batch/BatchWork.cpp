#include "batch/BatchWork.h"

#include <exception>
#include <new>

#include "base/AtomicFile.h"
#include "document/SaveImage.h"
#include "imageio/ResizeBitmap.h"

namespace kv {

std::unique_ptr<Bitmap> OpenBatchImage(const std::filesystem::path& path) {
    try {
        auto bytes = std::make_shared<std::vector<uint8_t>>();
        if (!ReadWholeFile(path, *bytes).ok()) return nullptr;
        std::unique_ptr<Bitmap> image = Bitmap::FromMemory(std::shared_ptr<const std::vector<uint8_t>>(std::move(bytes)));
        if (image->GetLastStatus() != Status::Ok || image->GetPixelFormat() == PixelFormatUndefined) return nullptr;
        // A copy of one pixel decodes the whole image and reads its property items.
        if (!image->Clone(Rect{0, 0, 1, 1}, PixelFormatUndefined)) return nullptr;
        return image;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<Bitmap> CreateOutputImage(const StampedSettings& values) {
    try {
        auto image = std::make_unique<Bitmap>(values.width, values.height, PixelFormat24bppRGB);
        if (image->GetLastStatus() != Status::Ok) return nullptr;
        return image;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool BatchItemWork::Open() {
    try {
        source_ = OpenBatchImage(item_.path);
    } catch (const std::exception&) {
        source_.reset();
    }
    return source_ != nullptr;
}

bool BatchItemWork::CreateOutput() {
    result_ = CreateOutputImage(item_.batch);
    return result_ != nullptr;
}

bool BatchItemWork::Resize(CRSProgress* progress) {
    try {
        return ResizeBitmap(*source_, *result_, item_.batch.algorithm, crop_, progress);
    } catch (const std::exception&) {
        return false;
    }
}

bool BatchItemWork::Save(const std::filesystem::path& path) {
    // The old output, if any, stays until the whole new file replaces it; an output that is the
    // input itself is safe too, as the input was read whole when it was opened.
    try {
        return SaveImage(*result_, path, 1, *source_, settings_.jpegQuality, item_.batch.dpi, nullptr) == 1;
    } catch (const std::exception&) {
        return false;
    }
}

bool BatchItemWork::Encode(const std::string& extension, std::vector<uint8_t>& bytes) {
    try {
        if (EncodeSaveImage(*result_, "x" + extension, *source_, settings_.jpegQuality, item_.batch.dpi, bytes) == 1)
            return true;
    } catch (const std::exception&) {
    }
    bytes.clear();
    return false;
}

}  // namespace kv
