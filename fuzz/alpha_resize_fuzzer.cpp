// The road of images with transparent pixels: arbitrary bytes either as an image file, resized the
// way kvscale resizes it (into the result format its pixels ask for), or as raw straight B, G, R, A
// pixels of a small picture, which always takes the premultiplied road. The first four bytes choose
// the job (the algorithm, the output size up to 256 x 256, crop, the output format, which of the two
// readings); the rest is the file or the pixels. The result is encoded into the chosen format.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "imageio/AlphaResize.h"
#include "imageio/Bitmap.h"
#include "imageio/ResizeBitmap.h"
#include "imageio/ResizeJobMemory.h"

namespace {

constexpr uint64_t kBudget = uint64_t{256} << 20;
constexpr std::string_view kMimeTypes[] = {"image/jpeg", "image/png", "image/bmp", "image/tiff", "image/gif"};

// Raw pixels: a width byte, then rows of B, G, R, A as far as the bytes go.
std::unique_ptr<kv::Bitmap> RawPicture(const uint8_t* data, size_t size) {
    if (size < 5) return nullptr;
    const int32_t width = 1 + data[0] % 64;
    const int32_t height = static_cast<int32_t>(std::min<size_t>((size - 1) / (4 * static_cast<size_t>(width)), 64));
    if (height == 0) return nullptr;
    auto bitmap = std::make_unique<kv::Bitmap>(width, height, kv::PixelFormat32bppARGB);
    kv::BitmapData lock;
    if (bitmap->LockBits({0, 0, width, height}, kv::ImageLockMode::Write, kv::PixelFormat32bppARGB, &lock) != kv::Status::Ok)
        return nullptr;
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(lock.scan0 + static_cast<ptrdiff_t>(y) * lock.stride, data + 1 + 4 * static_cast<size_t>(y) * width,
                    4 * static_cast<size_t>(width));
    bitmap->UnlockBits(&lock);
    return bitmap;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        kv::InitialiseImaging();
        return true;
    }();
    (void)ready;
    if (size < 4) return 0;
    const kv::ResizeAlgorithm algorithm = data[0] % kv::kResizeAlgorithmCount;
    const int32_t width = 1 + (data[1] & 255);
    const int32_t height = 1 + (data[2] & 255);
    const bool crop = (data[3] & 1) != 0;
    const bool raw = (data[3] & 2) != 0;
    const std::string_view mime = kMimeTypes[(data[3] >> 2) % 5];
    std::unique_ptr<kv::Bitmap> source;
    if (raw) {
        source = RawPicture(data + 4, size - 4);
        if (!source) return 0;
    } else {
        source = kv::Bitmap::FromMemory(std::vector<uint8_t>(data + 4, data + size));
        if (source->GetLastStatus() != kv::Status::Ok) return 0;
        const kv::ResizeJob job = kv::ResizeJobOf(*source, size, width, height, algorithm, crop, mime);
        if (kv::EstimateResizeJob(job).peak() > kBudget) return 0;
    }
    kv::Bitmap result(width, height, kv::ResizeResultFormat(*source));
    if (!kv::ResizeBitmap(*source, result, algorithm, crop, nullptr)) return 0;
    std::vector<uint8_t> encoded;
    (void)result.Save(encoded, mime, 75);
    return 0;
}
