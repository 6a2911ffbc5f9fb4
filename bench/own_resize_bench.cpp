// The Lanczos and cubic range resizes (algorithms 5, 6 and 7) and their kernels on the two jobs of
// the speed target: an 800x600 photo enlarged to 3200x2400 and a 4032x3024 photo reduced to
// 1008x756.
//   own_resize_bench --benchmark_filter=Algorithm
//   own_resize_bench --benchmark_filter=Deriche
// Pin to one core (taskset -c 0) for the single-thread cost.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/AreaShrink.h"
#include "engine/CubicRangeResize.h"
#include "engine/DericheBlur.h"
#include "engine/KernelResample.h"
#include "engine/KernelWeight.h"
#include "engine/LanczosRangeResize.h"
#include "engine/RangeClamp.h"
#include "engine/Raster.h"
#include "engine/SharpenPlane.h"
#include "engine/VectorUnits.h"

namespace {

struct Job {
    int32_t srcW, srcH, dstW, dstH;
};
constexpr Job kEnlarge{800, 600, 3200, 2400};
constexpr Job kReduce{4032, 3024, 1008, 756};

// A photo-like picture: smooth gradients, a few hard edges and some noise, so that the range
// stretch meets both flat parts and edges.
kv::OwnedRaster MakePhoto(int32_t w, int32_t h) {
    kv::OwnedRaster image = kv::OwnedRaster::Allocate(w, h);
    std::mt19937 rng(7);
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = image.view().Row(y);
        for (int32_t x = 0; x < w; ++x) {
            const bool block = ((x / 37) + (y / 29)) % 5 == 0;
            const int base = block ? 220 : (x * 200 / w + y * 50 / h);
            for (int k = 0; k < 3; ++k)
                row[3 * x + k] = static_cast<uint8_t>(std::clamp<int>(base + k * 10 + static_cast<int>(rng() % 9) - 4, 0, 255));
        }
    }
    return image;
}

std::vector<uint8_t> MakePlane(int32_t w, int32_t h) {
    const kv::OwnedRaster photo = MakePhoto(w, h);
    std::vector<uint8_t> plane(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) plane[static_cast<size_t>(y) * w + x] = photo.view().Row(y)[3 * x + 1];
    return plane;
}

void Algorithm(benchmark::State& state, Job job, int algorithm) {
    const kv::OwnedRaster src = MakePhoto(job.srcW, job.srcH);
    const kv::OwnedRaster dst = kv::OwnedRaster::Allocate(job.dstW, job.dstH);
    const kv::Raster& s = src.view();
    const kv::Raster& d = dst.view();
    for (auto _ : state) {
        bool done = false;
        if (algorithm == 5)
            done = kv::LanczosRangeResize(d.pixels, d.stride, s.pixels, s.stride, true, d.width, d.height, s.width,
                                          s.height, 50, 1, 0, 3, nullptr);
        else if (algorithm == 6)
            done = kv::CubicRangeResize(d.pixels, d.stride, s.pixels, s.stride, true, d.width, d.height, s.width,
                                        s.height, 40, 0, 3, nullptr);
        else
            done = kv::LanczosRangeResize(d.pixels, d.stride, s.pixels, s.stride, true, d.width, d.height, s.width,
                                          s.height, 25, 2, 0, 4, nullptr);
        if (!done) state.SkipWithError("resize failed");
        benchmark::ClobberMemory();
    }
    state.counters["Mpx/s"] =
        benchmark::Counter(double(job.dstW) * job.dstH / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// One pass of a kernel on a plane of the enlargement's destination size.
template <typename Pass>
void PlanePass(benchmark::State& state, int32_t w, int32_t h, Pass pass) {
    const std::vector<uint8_t> original = MakePlane(w, h);
    std::vector<uint8_t> plane = original;
    for (auto _ : state) {
        state.PauseTiming();
        plane = original;
        state.ResumeTiming();
        pass(plane.data());
        benchmark::ClobberMemory();
    }
    state.counters["Mpx/s"] = benchmark::Counter(double(w) * h / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void Resample(benchmark::State& state, double p1, double p2, int type) {
    const std::vector<uint8_t> src = MakePlane(kEnlarge.srcW, kEnlarge.srcH);
    std::vector<uint8_t> dst(static_cast<size_t>(kEnlarge.dstW) * kEnlarge.dstH);
    for (auto _ : state) {
        kv::KernelResample(dst.data(), src.data(), kEnlarge.srcW, kEnlarge.srcH, kEnlarge.dstW, kEnlarge.dstH, p1, p2,
                           type, nullptr);
        benchmark::ClobberMemory();
    }
    state.counters["Mpx/s"] = benchmark::Counter(double(kEnlarge.dstW) * kEnlarge.dstH / 1e6,
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

void AreaShrink(benchmark::State& state) {
    const std::vector<uint8_t> src = MakePlane(kReduce.srcW, kReduce.srcH);
    std::vector<uint8_t> narrow(static_cast<size_t>(kReduce.dstW) * kReduce.srcH);
    std::vector<uint8_t> dst(static_cast<size_t>(kReduce.dstW) * kReduce.dstH);
    for (auto _ : state) {
        kv::AreaShrinkRows(narrow.data(), src.data(), kReduce.srcW, kReduce.srcH, kReduce.dstW, nullptr);
        kv::AreaShrinkColumns(dst.data(), narrow.data(), kReduce.dstW, kReduce.srcH, kReduce.dstH, nullptr);
        benchmark::ClobberMemory();
    }
}

constexpr int32_t W = kEnlarge.dstW;
constexpr int32_t H = kEnlarge.dstH;

}  // namespace

BENCHMARK_CAPTURE(Algorithm, SmartArtificial_enlarge, kEnlarge, 5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Algorithm, SmartNatural_enlarge, kEnlarge, 6)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Algorithm, AdvancedNatural_enlarge, kEnlarge, 7)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Algorithm, SmartArtificial_reduce, kReduce, 5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Algorithm, SmartNatural_reduce, kReduce, 6)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Algorithm, AdvancedNatural_reduce, kReduce, 7)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_CAPTURE(Resample, Lanczos2, 2, 1, kv::KernelType::WindowedSinc)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Resample, Lanczos3, 3, 1, kv::KernelType::WindowedSinc)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Resample, CatmullRom, 0, 0.5, kv::KernelType::MitchellNetravali)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(AreaShrink)->Unit(benchmark::kMillisecond)->UseRealTime();

// The argument picks the vector units: 0 plain, 1 AVX2, 2 AVX-512 (or the best there is).
static void Deriche(benchmark::State& state) {
    kv::UseVectorUnits(static_cast<kv::VectorUnits>(state.range(0)));
    PlanePass(state, W, H, [](uint8_t* p) { kv::DericheBlur(p, W, H, 10, 10, nullptr); });
    kv::UseVectorUnits(kv::BestVectorUnits());
}
BENCHMARK(Deriche)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

static void RangeClampSelf(benchmark::State& state) {
    PlanePass(state, W, H, [](uint8_t* p) { kv::RangeClamp(p, p, W, H, 7, 7, 4, 4, 5.42, nullptr); });
}
BENCHMARK(RangeClampSelf)->Unit(benchmark::kMillisecond)->UseRealTime();

static void Sharpen(benchmark::State& state) {
    PlanePass(state, W, H, [](uint8_t* p) { kv::SharpenPlane(p, W, H, 26, nullptr); });
}
BENCHMARK(Sharpen)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
