#include "batch/BatchWork.h"

#include <new>
#include <vector>

#include "base/AtomicFile.h"

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

}  // namespace kv
