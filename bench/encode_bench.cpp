// The file encoders on a photo-sized 24-bit image, and writing a camera's property items into the
// result. Run by hand: build/bench/encode_bench [--benchmark_filter=Jpeg]
#include <benchmark/benchmark.h>

#include <random>

#include "imageio/Encoders.h"
#include "imageio/PixelConvert.h"
#include "imageio/PropertyItems.h"

namespace {

// A smooth picture with sensor-like noise, so that compressors meet realistic entropy.
const kv::PixelBuffer& Photo(int32_t width, int32_t height) {
    static kv::PixelBuffer pixels;
    if (pixels.width != width || pixels.height != height) {
        kv::AllocatePixels(pixels, width, height, kv::PixelFormat24bppRGB);
        std::minstd_rand noise(7);
        for (int32_t y = 0; y < height; ++y) {
            uint8_t* row = pixels.Row(y);
            for (int32_t x = 0; x < width; ++x) {
                const int n = static_cast<int>(noise() % 9) - 4;
                row[3 * x] = static_cast<uint8_t>(std::clamp(x * 255 / width + n, 0, 255));
                row[3 * x + 1] = static_cast<uint8_t>(std::clamp(y * 255 / height + n, 0, 255));
                row[3 * x + 2] = static_cast<uint8_t>(std::clamp(128 + ((x ^ y) & 63) + n, 0, 255));
            }
        }
    }
    return pixels;
}

void Encode(benchmark::State& state, kv::ImageFormat format) {
    const kv::PixelBuffer& pixels = Photo(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
    std::vector<uint8_t> out;
    std::string error;
    for (auto _ : state) {
        if (kv::Encode(pixels, format, 90, 300, 300, out, error) != kv::Status::Ok) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = static_cast<double>(out.size());
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(1));
}

void EmbedItems(benchmark::State& state) {
    std::vector<uint8_t> jpeg;
    std::string error;
    kv::Encode(Photo(1008, 756), kv::ImageFormat::Jpeg, 90, 300, 300, jpeg, error);
    // Items of a typical camera file: tags, a maker note, a thumbnail and a colour profile.
    std::vector<kv::PropertyItem> items = {
        {0x010F, 2, {'C', 'a', 'n', 'o', 'n', 0}},
        {0x9003, 2, std::vector<uint8_t>(20, '1')},
        {0x927C, 7, std::vector<uint8_t>(20000, 'm')},
        {0x8773, 7, std::vector<uint8_t>(3144, 0)},
    };
    items.back().value[2] = 0x0C;
    items.back().value[3] = 0x48;  // the profile's own length, 3144
    for (auto _ : state) {
        std::vector<uint8_t> file = jpeg;
        if (!kv::EmbedPropertyItems(file, kv::ImageFormat::Jpeg, items, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(file.data());
    }
}

}  // namespace

BENCHMARK_CAPTURE(Encode, Jpeg, kv::ImageFormat::Jpeg)->Args({3200, 2400})->Args({1008, 756})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, Png, kv::ImageFormat::Png)->Args({3200, 2400})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, Tiff, kv::ImageFormat::Tiff)->Args({3200, 2400})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, Bmp, kv::ImageFormat::Bmp)->Args({3200, 2400})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, Gif, kv::ImageFormat::Gif)->Args({1008, 756})->Unit(benchmark::kMillisecond);
BENCHMARK(EmbedItems)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
