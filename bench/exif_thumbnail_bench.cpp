// A browser thumbnail of a camera photo made three ways: from the preview embedded in its Exif
// block, from a reduced-scale decode, and from the full-resolution decode shrunk by area averaging.
// The photo is $KV_BENCH_EXIF_PHOTO, else the 12-megapixel street photo of the shared bench folder
// (which carries a 160x120 preview).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/DibImage.h"
#include "imageio/Bitmap.h"
#include "imageio/ExifThumbnail.h"

namespace {

std::filesystem::path Photo() {
    if (const char* env = std::getenv("KV_BENCH_EXIF_PHOTO")) return env;
    return std::filesystem::path(__FILE__).parent_path() / "../../shared/bench/photos/street_4032x3024.jpg";
}

constexpr kv::ThumbSize kBox = kv::kDefaultThumbnailBox;

void BM_EmbeddedPreview(benchmark::State& state) {
    const std::filesystem::path photo = Photo();
    for (auto _ : state) {
        kv::ThumbSize box = kBox;
        uint32_t width = 0, height = 0;
        const kv::ExifThumbnail thumb = kv::ReadJpegExifThumbnail(photo, box, width, height);
        if (!thumb.image) {
            state.SkipWithError(("no embedded thumbnail in " + photo.string()).c_str());
            return;
        }
        benchmark::DoNotOptimize(thumb.image.get());
    }
}
BENCHMARK(BM_EmbeddedPreview)->Unit(benchmark::kMillisecond);

void BM_ReducedScaleDecode(benchmark::State& state) {
    const std::filesystem::path photo = Photo();
    for (auto _ : state) {
        const auto image = kv::Bitmap::FromFile(photo);
        const auto thumb = image->GetThumbnailImage(static_cast<int32_t>(kBox.width), static_cast<int32_t>(kBox.height));
        if (!thumb) {
            state.SkipWithError("the photo did not decode");
            return;
        }
        benchmark::DoNotOptimize(thumb.get());
    }
}
BENCHMARK(BM_ReducedScaleDecode)->Unit(benchmark::kMillisecond);

void BM_FullDecodeAndShrink(benchmark::State& state) {
    const std::filesystem::path photo = Photo();
    for (auto _ : state) {
        const auto image = kv::Bitmap::FromFile(photo);
        kv::BitmapData data;
        if (image->LockBits({0, 0, image->GetWidth(), image->GetHeight()}, kv::ImageLockMode::Read,
                            kv::PixelFormat24bppRGB, &data) != kv::Status::Ok) {
            state.SkipWithError("the photo did not decode");
            return;
        }
        kv::DibImagePtr dib(new kv::DibImage(data.AsRaster(), 72, 72));
        image->UnlockBits(&data);
        dib->Resize(static_cast<int32_t>(kBox.width), static_cast<int32_t>(kBox.height));
        benchmark::DoNotOptimize(dib.get());
    }
}
BENCHMARK(BM_FullDecodeAndShrink)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
