#include "engine/ResampleKernels.h"

#include <algorithm>
#include <atomic>

namespace kv::resample {

namespace {

void HorizontalPlain(const uint8_t* src, int32_t /*srcWidth*/, const WeightTable& table, int16_t* out) {
    for (int32_t i = 0; i < table.outCount; ++i) {
        const uint8_t* p = src + 3 * static_cast<ptrdiff_t>(table.first[static_cast<size_t>(i)]);
        const int16_t* w = table.Weights(i);
        const int32_t count = table.count[static_cast<size_t>(i)];
        int32_t b = kFirstHalf;
        int32_t g = kFirstHalf;
        int32_t r = kFirstHalf;
        for (int32_t k = 0; k < count; ++k, p += 3) {
            b += w[k] * p[0];
            g += w[k] * p[1];
            r += w[k] * p[2];
        }
        int16_t* o = out + 3 * static_cast<ptrdiff_t>(i);
        o[0] = ClampMid(b >> kFirstShift);
        o[1] = ClampMid(g >> kFirstShift);
        o[2] = ClampMid(r >> kFirstShift);
    }
    out[3 * static_cast<ptrdiff_t>(table.outCount)] = 0;
}

void VerticalPlain(const int16_t* rows, ptrdiff_t rowStride, const int16_t* weights, int32_t count, uint8_t* out,
                   int32_t n) {
    // Blocks of a fixed width keep the accumulators in registers and give the compiler clean loops.
    constexpr int32_t kBlock = 64;
    int32_t acc[kBlock];
    for (int32_t x0 = 0; x0 < n; x0 += kBlock) {
        const int32_t len = std::min(kBlock, n - x0);
        std::fill(acc, acc + len, kSecondHalf);
        for (int32_t k = 0; k < count; ++k) {
            const int16_t* row = rows + k * rowStride + x0;
            const int32_t w = weights[k];
            for (int32_t j = 0; j < len; ++j) acc[j] += w * row[j];
        }
        for (int32_t j = 0; j < len; ++j) out[x0 + j] = ClampByte(acc[j] >> kSecondShift);
    }
}

bool CpuHasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

std::atomic<Isa>& Active() {
    static std::atomic<Isa> active{BestIsa()};
    return active;
}

}  // namespace

const RowKernels kPlainKernels = {HorizontalPlain, VerticalPlain};

Isa BestIsa() {
    static const Isa best = CpuHasAvx2() ? Isa::Avx2 : Isa::Plain;
    return best;
}

Isa ActiveIsa() { return Active().load(std::memory_order_relaxed); }

void SetActiveIsa(Isa isa) {
    if (isa == Isa::Avx2 && BestIsa() != Isa::Avx2) isa = Isa::Plain;
    Active().store(isa, std::memory_order_relaxed);
}

const RowKernels& KernelsFor(Isa isa) { return isa == Isa::Avx2 ? kAvx2Kernels : kPlainKernels; }

}  // namespace kv::resample
