// Turning a decoded 12-megapixel photo upright: the mirrors and the half turn in place, the quarter
// turns through a second picture, in tiles on every core. And the whole decode of a sideways JPEG
// against the same photo stored upright, which shows what turning adds to opening a photo.
// $KV_BENCH_UPRIGHT_PHOTO names the photo, else the 12-megapixel street photo of the shared bench
// folder.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "imageio/Bitmap.h"
#include "imageio/Orientation.h"
#include "imageio/PixelConvert.h"

namespace {

constexpr int32_t kWidth = 4032, kHeight = 3024;

void BM_TurnPixels(benchmark::State& state) {
    const int orientation = static_cast<int>(state.range(0));
    kv::PixelBuffer pixels;
    if (!kv::AllocatePixels(pixels, kWidth, kHeight, kv::PixelFormat24bppRGB)) {
        state.SkipWithError("no memory for the picture");
        return;
    }
    for (int32_t y = 0; y < kHeight; ++y) std::memset(pixels.Row(y), y & 0xFF, static_cast<size_t>(pixels.stride));
    for (auto _ : state) {
        if (!kv::TurnPixelsUpright(pixels, orientation)) {
            state.SkipWithError("no memory for the turned picture");
            return;
        }
        benchmark::DoNotOptimize(pixels.data.get());
    }
    state.SetLabel(std::to_string(kWidth * kHeight / 1000000) + " MP, 24-bit");
}
BENCHMARK(BM_TurnPixels)->Arg(2)->Arg(3)->Arg(5)->Arg(6)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

// The quarter turn alone, into a picture whose memory is already in use: what the tiles cost
// without the fresh pages of a new allocation (which the kernel hands out one fault a page).
void BM_TurnRowsIntoUsedMemory(benchmark::State& state) {
    const int orientation = static_cast<int>(state.range(0));
    kv::PixelBuffer pixels, turned;
    if (!kv::AllocatePixels(pixels, kWidth, kHeight, kv::PixelFormat24bppRGB) ||
        !kv::AllocatePixels(turned, kHeight, kWidth, kv::PixelFormat24bppRGB)) {
        state.SkipWithError("no memory for the pictures");
        return;
    }
    for (int32_t y = 0; y < kHeight; ++y) std::memset(pixels.Row(y), y & 0xFF, static_cast<size_t>(pixels.stride));
    for (int32_t y = 0; y < kWidth; ++y) std::memset(turned.Row(y), 0, static_cast<size_t>(turned.stride));
    for (auto _ : state) {
        kv::TurnRows(pixels.data.get(), pixels.stride, kWidth, kHeight, 3, orientation, turned.data.get(), turned.stride);
        benchmark::DoNotOptimize(turned.data.get());
    }
}
BENCHMARK(BM_TurnRowsIntoUsedMemory)->Arg(6)->Arg(7)->Unit(benchmark::kMillisecond)->UseRealTime();

std::filesystem::path Photo() {
    if (const char* env = std::getenv("KV_BENCH_UPRIGHT_PHOTO")) return env;
    return std::filesystem::path(__FILE__).parent_path() / "../../shared/bench/photos/street_4032x3024.jpg";
}

// The photo decoded whole, turned upright by the orientation its file gives (arg 1) or kept as
// stored (arg 0).
void BM_DecodePhoto(benchmark::State& state) {
    const kv::TurnPicturesUprightScope choice(state.range(0) != 0);
    const std::filesystem::path photo = Photo();
    for (auto _ : state) {
        const auto image = kv::Bitmap::FromFile(photo);
        kv::BitmapData data;
        if (image->LockBits({0, 0, image->GetWidth(), image->GetHeight()}, kv::ImageLockMode::Read,
                            kv::PixelFormat24bppRGB, &data) != kv::Status::Ok) {
            state.SkipWithError(("the photo did not decode: " + photo.string()).c_str());
            return;
        }
        image->UnlockBits(&data);
        state.SetLabel("orientation " + std::to_string(image->GetAppliedOrientation()));
    }
}
BENCHMARK(BM_DecodePhoto)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
