#include "engine/ResampleKernels.h"

#include <algorithm>

namespace kv::resample {

namespace {

void PreparePlain(WeightTable&) {}

template <typename In, typename Out, Out (*Finish)(int32_t)>
void HorizontalPlain(const In* src, int64_t /*readable*/, int32_t origin, const WeightTable& table, Out* out) {
    for (int32_t i = 0; i < table.outCount; ++i) {
        const In* p = src + 3 * static_cast<ptrdiff_t>(table.first[static_cast<size_t>(i)] - origin);
        PixelSum<In, Out, Finish>(p, table.Weights(i), table.count[static_cast<size_t>(i)],
                                  out + 3 * static_cast<ptrdiff_t>(i));
    }
}

template <typename In, typename Out, Out (*Finish)(int32_t)>
void VerticalPlain(const In* rows, ptrdiff_t rowStride, const int16_t* weights, int32_t count, Out* out, int32_t n) {
    // Blocks of a fixed width keep the accumulators close and give the compiler clean loops.
    constexpr int32_t kBlock = 64;
    int32_t acc[kBlock];
    for (int32_t x0 = 0; x0 < n; x0 += kBlock) {
        const int32_t len = std::min(kBlock, n - x0);
        std::fill(acc, acc + len, 0);
        for (int32_t k = 0; k < count; ++k) {
            const In* row = rows + k * rowStride + x0;
            const int32_t w = weights[k];
            for (int32_t j = 0; j < len; ++j) acc[j] += w * row[j];
        }
        for (int32_t j = 0; j < len; ++j) out[x0 + j] = Finish(acc[j]);
    }
}

InstructionSetChoice& Choice() {
    static InstructionSetChoice choice(InstructionSet::Avx2);
    return choice;
}

}  // namespace

namespace {

template <typename In, typename Out, Out (*Finish)(int32_t)>
void HorizontalSingle(const In* src, int32_t origin, const WeightTable& table, Out* out) {
    for (int32_t i = 0; i < table.outCount; ++i) {
        const In* p = src + (table.first[static_cast<size_t>(i)] - origin);
        const int16_t* w = table.Weights(i);
        const int32_t count = table.count[static_cast<size_t>(i)];
        int32_t sum = 0;
        for (int32_t k = 0; k < count; ++k) sum += w[k] * p[k];
        out[i] = Finish(sum);
    }
}

}  // namespace

void HorizontalBytesSingle(const uint8_t* src, int64_t, int32_t origin, const WeightTable& table, int16_t* out) {
    HorizontalSingle<uint8_t, int16_t, ToMid>(src, origin, table, out);
}

void HorizontalMidSingle(const int16_t* src, int64_t, int32_t origin, const WeightTable& table, uint8_t* out) {
    HorizontalSingle<int16_t, uint8_t, ToByte>(src, origin, table, out);
}

const RowKernels kPlainKernels = {
    PreparePlain,
    HorizontalPlain<uint8_t, int16_t, ToMid>,
    HorizontalPlain<int16_t, uint8_t, ToByte>,
    VerticalPlain<int16_t, uint8_t, ToByte>,
    VerticalPlain<uint8_t, int16_t, ToMid>,
};

Isa BestIsa() { return Choice().Best(); }

Isa ActiveIsa() { return Choice().Active(); }

void SetActiveIsa(Isa isa) { Choice().Use(isa); }

const RowKernels& KernelsFor(Isa isa) { return isa >= Isa::Avx2 ? kAvx2Kernels : kPlainKernels; }

}  // namespace kv::resample
