// The five interpolation modes and the area-averaging resize on the two jobs of the speed target:
// an 800x600 photo enlarged to 3200x2400 and a 4032x3024 photo reduced to 1008x756.
//   resample_bench --benchmark_filter=HighQualityBicubic
// The Isa argument runs the plain kernels (0) or the vectorised ones (1) where the processor has them.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/ResampleKernels.h"
#include "engine/StandardResample.h"

namespace {

using kv::InterpolationMode;

// A smooth picture with some noise, so the data is neither constant nor pure noise.
kv::OwnedRaster MakePhoto(int32_t w, int32_t h) {
    kv::OwnedRaster image = kv::OwnedRaster::Allocate(w, h);
    std::mt19937 rng(7);
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = image.view().Row(y);
        for (int32_t x = 0; x < w; ++x) {
            row[3 * x] = static_cast<uint8_t>((x * 255 / w + (rng() & 15)) & 255);
            row[3 * x + 1] = static_cast<uint8_t>((y * 255 / h + (rng() & 15)) & 255);
            row[3 * x + 2] = static_cast<uint8_t>(((x + y) & 255) ^ (rng() & 7));
        }
    }
    return image;
}

struct Job {
    int32_t srcW, srcH, dstW, dstH;
};
constexpr Job kEnlarge{800, 600, 3200, 2400};
constexpr Job kReduce{4032, 3024, 1008, 756};

kv::resample::Isa IsaOf(const benchmark::State& state) {
    return state.range(0) ? kv::resample::BestIsa() : kv::resample::Isa::Plain;
}

template <typename Resize>
void Run(benchmark::State& state, const Job& job, Resize resize) {
    const kv::OwnedRaster src = MakePhoto(job.srcW, job.srcH);
    const kv::OwnedRaster dst = kv::OwnedRaster::Allocate(job.dstW, job.dstH);
    kv::resample::SetActiveIsa(IsaOf(state));
    for (auto _ : state) {
        resize(dst.view(), src.view());
        benchmark::ClobberMemory();
    }
    kv::resample::SetActiveIsa(kv::resample::BestIsa());
    state.counters["Mpx/s"] = benchmark::Counter(double(job.dstW) * job.dstH / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void Draw(benchmark::State& state, Job job, InterpolationMode mode) {
    Run(state, job, [mode](const kv::Raster& dst, const kv::Raster& src) {
        kv::DrawResampled(dst, src, {0, 0, double(src.width), double(src.height)}, mode);
    });
}

void Area(benchmark::State& state, Job job) {
    Run(state, job, [](const kv::Raster& dst, const kv::Raster& src) { kv::AreaAverageResize(dst, src); });
}

#define KV_MODE_BENCH(mode)                                                                                   \
    BENCHMARK_CAPTURE(Draw, mode##_800x600_to_3200x2400, kEnlarge, InterpolationMode::mode)->Arg(1)->Arg(0) \
        ->Unit(benchmark::kMillisecond)->UseRealTime();                                                     \
    BENCHMARK_CAPTURE(Draw, mode##_4032x3024_to_1008x756, kReduce, InterpolationMode::mode)->Arg(1)->Arg(0) \
        ->Unit(benchmark::kMillisecond)->UseRealTime();

KV_MODE_BENCH(NearestNeighbor)
KV_MODE_BENCH(Bilinear)
KV_MODE_BENCH(HighQualityBilinear)
KV_MODE_BENCH(Bicubic)
KV_MODE_BENCH(HighQualityBicubic)

BENCHMARK_CAPTURE(Area, 4032x3024_to_1008x756, kReduce)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Area, 4032x3024_to_160x120, (Job{4032, 3024, 160, 120}))
    ->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Area, 800x600_to_3200x2400, kEnlarge)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
