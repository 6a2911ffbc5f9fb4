// The own JPEG codec: decoding the 12-megapixel benchmark photo and a thumbnail, and encoding a
// thumbnail the way a thumbnail cell does (220x165, quality 90, bottom-up B, G, R rows).
//
// Reads big12mp.jpg from $KV_BENCH_CORPUS (default ~/.cache/kvscale-bench/corpus, made by
// ../shared/bench/make-corpus.sh); without it the decode benchmark uses a synthetic photo of the
// same size encoded by the codec itself.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "codecs/JpegCoder.h"
#include "codecs/SlimJpegDecoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Photo(unsigned width, unsigned height) {
    Bytes rgb(static_cast<size_t>(width) * height * 3);
    uint32_t seed = 1;
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                seed = seed * 1664525u + 1013904223u;
                const double v = 128 + 60 * std::sin(x * 0.013 + c) * std::cos(y * 0.021) + ((x / 40 + y / 30) % 2 ? 30 : -30) +
                                 (static_cast<int>(seed >> 28) - 8);
                rgb[(static_cast<size_t>(y) * width + x) * 3 + c] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
            }
    return rgb;
}

Bytes Encode(const Bytes& rgb, unsigned width, unsigned height, int quality) {
    kv::OQZStream stream;
    auto coder = SlimJpeg::CreateCoder(stream, width, height, true, quality, false, false, 2, 300, 300);
    for (unsigned y = 0; y < height; ++y) coder->WriteRow(rgb.data() + static_cast<size_t>(y) * width * 3);
    return stream.TakeBytes();
}

std::filesystem::path CorpusFile(const char* name) {
    const char* dir = std::getenv("KV_BENCH_CORPUS");
    if (dir) return std::filesystem::path(dir) / name;
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home ? home : "/") / ".cache/kvscale-bench/corpus" / name;
}

const Bytes& BigPhoto() {
    static const Bytes bytes = [] {
        std::ifstream in(CorpusFile("big12mp.jpg"), std::ios::binary);
        Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        return file.empty() ? Encode(Photo(4032, 3024), 4032, 3024, 92) : file;
    }();
    return bytes;
}

void Decode(benchmark::State& state, const Bytes& jpeg) {
    uint64_t pixels = 0;
    for (auto _ : state) {
        kv::IQZStreamMem stream(jpeg.data(), jpeg.size());
        unsigned width = 0, height = 0;
        auto decoder = SlimJpeg::CreateDecoder(stream, &width, &height, nullptr, nullptr, nullptr, nullptr);
        for (unsigned y = 0; y < height; ++y) benchmark::DoNotOptimize(decoder->ReadRow());
        pixels += static_cast<uint64_t>(width) * height;
    }
    state.counters["Mpixel/s"] = benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsRate);
}

void BM_DecodeBig12mp(benchmark::State& state) { Decode(state, BigPhoto()); }
BENCHMARK(BM_DecodeBig12mp)->Unit(benchmark::kMillisecond);

void BM_DecodeThumbnail(benchmark::State& state) {
    static const Bytes jpeg = Encode(Photo(220, 165), 220, 165, 90);
    Decode(state, jpeg);
}
BENCHMARK(BM_DecodeThumbnail)->Unit(benchmark::kMicrosecond);

void BM_EncodeThumbnail(benchmark::State& state) {
    const Bytes rgb = Photo(220, 165);
    size_t bytes = 0;
    for (auto _ : state) {
        kv::OQZStream stream;
        auto coder = SlimJpeg::CreateCoder(stream, 220, 165, true, 90, false, false, 2, 300, 300);
        // Rows in a bottom-up bitmap's memory order, as the cell hands them over.
        for (int y = 164; y >= 0; --y) coder->WriteRow(rgb.data() + static_cast<size_t>(y) * 220 * 3);
        bytes = stream.bytes().size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_EncodeThumbnail)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
