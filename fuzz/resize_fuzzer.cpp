// Arbitrary bytes as an image file, then the whole job kvscale runs on it: the header read, the
// job's memory estimated and held against a budget, and only a job within the budget decoded,
// resized with one of the ten algorithms, and encoded. The first four bytes choose the job (the
// algorithm, the output size up to 512 x 512, crop, the output format); the rest is the file. The
// decode pixel limit stays at its default, so the budget alone decides what runs: fuzzed with
// -rss_limit_mb well above the budget, an input that takes far more memory than its estimate, or
// far more time than its size explains, is the next bomb.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "imageio/Bitmap.h"
#include "imageio/ResizeBitmap.h"
#include "imageio/ResizeJobMemory.h"

namespace {

constexpr uint64_t kBudget = uint64_t{256} << 20;
constexpr std::string_view kMimeTypes[] = {"image/jpeg", "image/png", "image/bmp", "image/tiff", "image/gif"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        kv::InitialiseImaging();
        return true;
    }();
    (void)ready;
    if (size < 4) return 0;
    const kv::ResizeAlgorithm algorithm = data[0] % kv::kResizeAlgorithmCount;
    const int32_t width = 1 + ((data[1] | (data[3] & 1) << 8) & 511);
    const int32_t height = 1 + ((data[2] | (data[3] & 2) << 7) & 511);
    const bool crop = (data[3] & 4) != 0;
    const std::string_view mime = kMimeTypes[(data[3] >> 3) % 5];

    auto source = kv::Bitmap::FromMemory(std::vector<uint8_t>(data + 4, data + size));
    if (source->GetLastStatus() != kv::Status::Ok) return 0;
    const kv::ResizeJob job = kv::ResizeJobOf(*source, size, width, height, algorithm, crop, mime);
    if (kv::EstimateResizeJob(job).peak() > kBudget) return 0;

    std::vector<uint8_t> encoded;
    if (job.copy) {
        auto copy = source->Clone(source->GetPixelFormat());
        if (copy) (void)copy->Save(encoded, mime, 75);
        return 0;
    }
    kv::Bitmap result(width, height, kv::PixelFormat24bppRGB);
    if (!kv::ResizeBitmap(*source, result, algorithm, crop, nullptr)) return 0;
    (void)result.Save(encoded, mime, 75);
    return 0;
}
