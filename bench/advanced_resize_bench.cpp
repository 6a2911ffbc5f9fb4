// The advanced enlarger (algorithms 8 and 9) on the job of its speed target, 800x600 to 3200x2400,
// as a whole and step by step. The `/1` and `/0` of the prescale are its vectorised and plain
// paths. The counter `plane_bytes_per_px` is the peak of the working planes a whole resize holds at
// once, per output pixel, to set beside the destination's own 3 bytes in the memory budget.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "engine/AdvancedResize.h"
#include "engine/advanced/AdvancedParams.h"
#include "engine/advanced/BoxMean.h"
#include "engine/advanced/ColourPlanes.h"
#include "engine/advanced/Lanczos4Prescale.h"
#include "engine/advanced/LocalContrastClamp.h"
#include "engine/advanced/LocalMinMax.h"
#include "engine/advanced/RecursiveSmooth.h"
#include "engine/advanced/SmoothAlongEdges.h"
#include "engine/advanced/UnsharpLuma.h"

namespace {

using namespace kv;
using namespace kv::advanced;

constexpr int32_t kSrcWidth = 800;
constexpr int32_t kSrcHeight = 600;
constexpr int32_t kDstWidth = 3200;
constexpr int32_t kDstHeight = 2400;

// Photo-like content: smooth shading, hard slanted edges and sensor noise, so that the edge tests
// and table lookups see what they see in a photo.
std::vector<uint8_t> Scene(int32_t w, int32_t h) {
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 3);
    std::mt19937 random(1);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const double shade = 60 + 80 * std::sin(x * 0.013) * std::cos(y * 0.017);
            const int32_t edge = ((x / 37 + y / 53) % 3) * 40 + ((3 * x + 2 * y) % 211 < 90 ? 50 : 0);
            for (int32_t c = 0; c < 3; ++c) {
                const int32_t v = static_cast<int32_t>(shade) + edge + 15 * c + static_cast<int32_t>(random() % 7);
                pixels[(static_cast<size_t>(y) * w + x) * 3 + c] = static_cast<uint8_t>(std::clamp(v, 0, 255));
            }
        }
    return pixels;
}

const std::vector<uint8_t>& Source() {
    static const std::vector<uint8_t> source = Scene(kSrcWidth, kSrcHeight);
    return source;
}

void BM_AdvancedResize(benchmark::State& state) {
    const bool flag = state.range(0) != 0;
    std::vector<uint8_t> dst(static_cast<size_t>(kDstWidth) * kDstHeight * 3);
    for (auto _ : state) {
        const bool ok = AdvancedResize(true, dst.data(), 3 * kDstWidth, kDstWidth, kDstHeight, Source().data(),
                                       3 * kSrcWidth, kSrcWidth, kSrcHeight, flag, nullptr);
        if (!ok) state.SkipWithError("resize failed");
    }
    // Y, Cb and Cr stay for the whole call; the edge smoothing and the local-contrast step add
    // three planes each (the most at any one time), the unsharp mask one.
    state.counters["plane_bytes_per_px"] = 3 + 3;
    state.counters["Mpx/s"] = benchmark::Counter(double(kDstWidth) * kDstHeight, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_AdvancedResize)->ArgName("flag")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Prescale(benchmark::State& state) {
    const KernelPath path = state.range(0) ? KernelPath::Vector : KernelPath::Plain;
    if (!KernelPathAvailable(path)) {
        state.SkipWithError("path not available on this processor");
        return;
    }
    std::vector<uint8_t> dst(static_cast<size_t>(kDstWidth) * kDstHeight * 3);
    StopFlag stop{0};
    for (auto _ : state)
        Lanczos4Prescale({dst.data(), 3 * kDstWidth, kDstWidth, kDstHeight},
                         {Source().data(), 3 * kSrcWidth, kSrcWidth, kSrcHeight}, 3, stop, path);
}
BENCHMARK(BM_Prescale)->ArgName("vector")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// The planes of an enlarged scene, made once, copied into place before each step's run.
struct Planes {
    ColourPlanes planes;
    std::vector<uint8_t> luma;
    Planes() {
        std::vector<uint8_t> dst(static_cast<size_t>(kDstWidth) * kDstHeight * 3);
        StopFlag stop{0};
        Lanczos4Prescale({dst.data(), 3 * kDstWidth, kDstWidth, kDstHeight},
                         {Source().data(), 3 * kSrcWidth, kSrcWidth, kSrcHeight}, 3, stop);
        planes.Allocate(PaddedSize(kDstWidth), PaddedSize(kDstHeight), 3);
        FillColourPlanes(planes, {dst.data(), 3 * kDstWidth, kDstWidth, kDstHeight});
        luma.assign(planes.luma().data, planes.luma().data + planes.luma().Size());
    }
    const PlaneRef& Fresh() {
        std::memcpy(planes.luma().data, luma.data(), luma.size());
        return planes.luma();
    }
};
Planes& SharedPlanes() {
    static Planes planes;
    return planes;
}

void BM_ColourPlanes(benchmark::State& state) {
    std::vector<uint8_t> dst(static_cast<size_t>(kDstWidth) * kDstHeight * 3);
    ColourTables tables;
    tables.Build();
    Planes& p = SharedPlanes();
    for (auto _ : state) {
        FillColourPlanes(p.planes, {dst.data(), 3 * kDstWidth, kDstWidth, kDstHeight});
        ComposeRaster({dst.data(), 3 * kDstWidth, kDstWidth, kDstHeight}, p.planes, &tables);
    }
}
BENCHMARK(BM_ColourPlanes)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SmoothAlongEdges(benchmark::State& state) {
    Planes& p = SharedPlanes();
    StopFlag stop{0};
    for (auto _ : state) SmoothAlongEdges(p.Fresh(), 55, 15, 3, stop);
}
BENCHMARK(BM_SmoothAlongEdges)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RecursiveSmooth(benchmark::State& state) {
    Planes& p = SharedPlanes();
    StopFlag stop{0};
    for (auto _ : state) RecursiveSmooth(p.Fresh(), 0.8, stop);
}
BENCHMARK(BM_RecursiveSmooth)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UnsharpLuma(benchmark::State& state) {
    Planes& p = SharedPlanes();
    StopFlag stop{0};
    for (auto _ : state) UnsharpLuma(p.Fresh(), 64, 4.0, 0, stop);
}
BENCHMARK(BM_UnsharpLuma)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LocalContrast(benchmark::State& state) {
    Planes& p = SharedPlanes();
    StopFlag stop{0};
    const PlaneRef& luma = p.planes.luma();
    OwnedPlane minimum, maximum, mean;
    minimum.Allocate(luma.width, luma.height);
    maximum.Allocate(luma.width, luma.height);
    mean.Allocate(luma.width, luma.height);
    for (auto _ : state) {
        p.Fresh();
        LocalMinMax(minimum.ref(), maximum.ref(), luma, 4, stop);
        BoxMean(mean.ref(), luma, 9, stop);
        LocalContrastClamp(luma, minimum.ref(), maximum.ref(), mean.ref(), 40, stop);
    }
}
BENCHMARK(BM_LocalContrast)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
