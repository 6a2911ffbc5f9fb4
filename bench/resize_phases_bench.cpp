// The phases of `kvscale resize` one by one, on the photos of the speed target, so a whole-process
// time from compare.sh can be split into decoding, resizing, property items and encoding.
//   resize_phases_bench                           (photos from ~/.cache/kvscale-bench/corpus)
//   KV_BENCH_CORPUS=DIR resize_phases_bench --benchmark_filter=Decode
// The first argument picks the job (0: small.jpg to 3200x2400, 1: big12mp.jpg to 1008x756), the
// second the algorithm.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imageio/Bitmap.h"
#include "imageio/ResizeBitmap.h"

namespace {

struct Job {
    const char* photo;
    int32_t width, height;
};
constexpr Job kJobs[] = {{"small.jpg", 3200, 2400}, {"big12mp.jpg", 1008, 756}};

std::filesystem::path Corpus() {
    if (const char* dir = std::getenv("KV_BENCH_CORPUS")) return dir;
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    const std::filesystem::path base = cache ? std::filesystem::path(cache) : std::filesystem::path(home ? home : "/tmp") / ".cache";
    return base / "kvscale-bench" / "corpus";
}

const Job* JobOf(benchmark::State& state) {
    const Job& job = kJobs[state.range(0)];
    if (!std::filesystem::exists(Corpus() / job.photo)) {
        state.SkipWithError("no corpus: run bench/compare.sh once or set KV_BENCH_CORPUS");
        return nullptr;
    }
    state.SetLabel(std::string(job.photo) + " -> " + std::to_string(job.width) + "x" + std::to_string(job.height));
    return &job;
}

// Opens and decodes the photo, as the first lock of kvscale does.
std::unique_ptr<kv::Bitmap> Decoded(const Job& job) {
    auto bitmap = kv::Bitmap::FromFile(Corpus() / job.photo);
    kv::BitmapData data;
    if (bitmap->LockBits({0, 0, bitmap->GetWidth(), bitmap->GetHeight()}, kv::ImageLockMode::Read,
                         kv::PixelFormat24bppRGB, &data) == kv::Status::Ok)
        bitmap->UnlockBits(&data);
    return bitmap;
}

std::unique_ptr<kv::Bitmap> Resized(kv::Bitmap& source, const Job& job, int32_t algorithm) {
    auto result = std::make_unique<kv::Bitmap>(job.width, job.height, kv::PixelFormat24bppRGB);
    kv::ResizeBitmap(source, *result, algorithm, false, nullptr);
    return result;
}

void Decode(benchmark::State& state) {
    const Job* job = JobOf(state);
    if (!job) return;
    for (auto _ : state) benchmark::DoNotOptimize(Decoded(*job));
}

void Resize(benchmark::State& state) {
    const Job* job = JobOf(state);
    if (!job) return;
    auto source = Decoded(*job);
    for (auto _ : state) benchmark::DoNotOptimize(Resized(*source, *job, static_cast<int32_t>(state.range(1))));
}

void PropertyItems(benchmark::State& state) {
    const Job* job = JobOf(state);
    if (!job) return;
    kv::Bitmap result(job->width, job->height, kv::PixelFormat24bppRGB);
    for (auto _ : state) {
        auto source = kv::Bitmap::FromFile(Corpus() / job->photo);
        for (const kv::PropertyItem& item : source->GetAllPropertyItems()) result.SetPropertyItem(item);
    }
}

void EncodeToMemory(benchmark::State& state) {
    const Job* job = JobOf(state);
    if (!job) return;
    auto source = Decoded(*job);
    auto result = Resized(*source, *job, 4);
    std::vector<uint8_t> bytes;
    for (auto _ : state) {
        bytes.clear();
        result->Save(bytes, "image/jpeg", 90);
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
}

// Saving to a file adds the safe write: a temporary file, fsync and rename.
void SaveToFile(benchmark::State& state) {
    const Job* job = JobOf(state);
    if (!job) return;
    auto source = Decoded(*job);
    auto result = Resized(*source, *job, 4);
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "kv-phases-bench.jpg";
    for (auto _ : state) result->Save(out, "image/jpeg", 90);
    std::filesystem::remove(out);
}

BENCHMARK(Decode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Resize)->Args({0, 4})->Args({1, 4})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PropertyItems)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(EncodeToMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SaveToFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    kv::InitialiseImaging();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
