#include "engine/AreaShrink.h"

#include <algorithm>

#include "engine/BandedPass.h"
#include "engine/VectorUnits.h"

namespace kv {

namespace {

// One destination pixel's span of the source: its first and last (partial) pixels and their
// weights, with the low 16 bits of each partial product cleared as the sum is built.
// Positions and sums are 64-bit: in 32 bits a source wider than 65535 pixels, or a span longer
// than 257 pixels, would overflow and wrap to a wrong average.
struct Span {
    int32_t first;        // k0
    int32_t last;         // k1 (may equal the source size: then it adds nothing)
    uint32_t headWeight;  // ((k0 + 1) << 16) - s0
    uint32_t tailWeight;  // s1 - (k1 << 16)
};

constexpr uint64_t kLow16 = 0xFFFF;

// How one pass divides: the spans of its n destination pixels over a source of `size` pixels,
// step = (size << 16) / n, and what the arithmetic may be simplified to without changing a bit.
struct Spans {
    std::unique_ptr<Span[]> spans;
    uint64_t step = 0;
    double realStep = 0;
    // Sums exact in a double (and the quotient truncated from one): the step is below 2^44.
    bool realQuotient = false;
    // Spans of at most 128 pixels: every sum stays below 2^31 and fits a 32-bit signed lane.
    bool narrow = false;
    // A whole factor: every span is `factor` whole pixels, and the quotient is their plain mean.
    int32_t factor = 0;

    bool Make(int32_t size, int32_t n) {
        step = (static_cast<uint64_t>(size) << 16) / static_cast<uint64_t>(n);
        realStep = static_cast<double>(step);
        realQuotient = step < (uint64_t{1} << 44);
        spans = TryAllocate<Span>(static_cast<size_t>(n));
        if (!spans) return false;
        uint64_t s = 0;
        int32_t longest = 0;
        for (int32_t i = 0; i < n; ++i) {
            const uint64_t s0 = s;
            const uint64_t s1 = s + step;
            const uint64_t k0 = s0 >> 16;
            const uint64_t k1 = s1 >> 16;
            spans[i] = {static_cast<int32_t>(k0), static_cast<int32_t>(k1),
                        static_cast<uint32_t>(((k0 + 1) << 16) - s0), static_cast<uint32_t>(s1 - (k1 << 16))};
            longest = std::max(longest, static_cast<int32_t>(k1 - k0 + 1));
            s = s1;
        }
        narrow = longest <= 128;
        factor = size % n == 0 ? size / n : 0;
        return true;
    }

    // acc / step, where acc <= 255 * step. Below 2^44 for the step, acc is exact in a double, the
    // double quotient is correctly rounded and an inexact one lies at least 1/step below the next
    // integer, far more than its rounding error: truncating it gives the integer quotient, and
    // the division units of doubles are much faster than those of 64-bit integers.
    uint8_t Divide(uint64_t acc) const {
        if (realQuotient) return static_cast<uint8_t>(static_cast<uint32_t>(static_cast<double>(acc) / realStep));
        return static_cast<uint8_t>(acc / step);
    }
};

// A row with a whole factor f: the quotient of f whole pixels by the step f << 16 is their mean.
template <int F>
KV_ALWAYS_INLINE void MeanRowFixed(const uint8_t* __restrict in, int32_t n, uint8_t* __restrict out) {
    for (int32_t i = 0; i < n; ++i) {
        uint32_t sum = 0;
        for (int j = 0; j < F; ++j) sum += in[F * i + j];
        out[i] = static_cast<uint8_t>(sum / F);
    }
}

KV_ALWAYS_INLINE void MeanRowBody(const uint8_t* in, int32_t factor, int32_t n, uint8_t* out) {
    switch (factor) {
        case 2:
            return MeanRowFixed<2>(in, n, out);
        case 3:
            return MeanRowFixed<3>(in, n, out);
        case 4:
            return MeanRowFixed<4>(in, n, out);
        default:
            for (int32_t i = 0; i < n; ++i) {
                uint64_t sum = 0;
                for (int32_t j = 0; j < factor; ++j) sum += in[static_cast<size_t>(factor) * i + j];
                out[i] = static_cast<uint8_t>(sum / static_cast<uint64_t>(factor));
            }
    }
}

// One destination row of the column pass, vectorised across the columns: the head row weighted,
// the whole rows added, the tail row weighted, then the quotient. `Lane` is int32_t for narrow
// spans (where every sum fits) and uint64_t otherwise.
template <class Lane>
KV_ALWAYS_INLINE void ColumnRowTyped(const uint8_t* src, size_t stride, const Span& sp, int32_t srcHeight, size_t n,
                                     const Spans& spans, Lane* __restrict acc, uint8_t* __restrict out) {
    const uint8_t* __restrict head = src + static_cast<size_t>(sp.first) * stride;
    const Lane headWeight = static_cast<Lane>(sp.headWeight);
    const Lane mask = static_cast<Lane>(~kLow16);
    for (size_t x = 0; x < n; ++x) acc[x] = (headWeight * static_cast<Lane>(head[x])) & mask;
    for (int32_t k = sp.first + 1; k < sp.last; ++k) {
        const uint8_t* __restrict row = src + static_cast<size_t>(k) * stride;
        for (size_t x = 0; x < n; ++x) acc[x] += static_cast<Lane>(row[x]) << 16;
    }
    if (sp.last < srcHeight) {
        const uint8_t* __restrict tail = src + static_cast<size_t>(sp.last) * stride;
        const Lane tailWeight = static_cast<Lane>(sp.tailWeight);
        for (size_t x = 0; x < n; ++x) acc[x] += (tailWeight * static_cast<Lane>(tail[x])) & mask;
    }
    if (spans.realQuotient) {
        const double step = spans.realStep;
        for (size_t x = 0; x < n; ++x)
            out[x] = static_cast<uint8_t>(static_cast<int32_t>(static_cast<double>(acc[x]) / step));
    } else {
        for (size_t x = 0; x < n; ++x) out[x] = spans.Divide(static_cast<uint64_t>(acc[x]));
    }
}

KV_ALWAYS_INLINE void ColumnRowBody(const uint8_t* src, size_t stride, const Span& sp, int32_t srcHeight, size_t n,
                                    const Spans& spans, void* acc, uint8_t* out) {
    if (spans.narrow)
        ColumnRowTyped(src, stride, sp, srcHeight, n, spans, static_cast<int32_t*>(acc), out);
    else
        ColumnRowTyped(src, stride, sp, srcHeight, n, spans, static_cast<uint64_t*>(acc), out);
}

KV_VECTOR_VARIANTS(void, MeanRow, (const uint8_t* in, int32_t factor, int32_t n, uint8_t* out), (in, factor, n, out))
KV_VECTOR_VARIANTS(void, ColumnRow,
                   (const uint8_t* src, size_t stride, const Span& sp, int32_t srcHeight, size_t n, const Spans& spans,
                    void* acc, uint8_t* out),
                   (src, stride, sp, srcHeight, n, spans, acc, out))

}  // namespace

bool AreaShrinkRows(uint8_t* dst, const uint8_t* src, int32_t srcWidth, int32_t rows, int32_t dstWidth,
                    CRSProgress* progress) {
    if (rows <= 0 || dstWidth <= 0 || srcWidth <= 0) return true;
    Spans spans;
    if (!spans.Make(srcWidth, dstWidth)) {
        OutOfMemoryFlag.store(1);
        return false;
    }
    const auto meanRow = KV_PICK_VARIANT(MeanRow);
    const size_t sw = static_cast<size_t>(srcWidth);
    const size_t dw = static_cast<size_t>(dstWidth);
    const auto work = [&](int32_t begin, int32_t end) {
        for (int32_t y = begin; y < end; ++y) {
            const uint8_t* in = src + static_cast<size_t>(y) * sw;
            uint8_t* out = dst + static_cast<size_t>(y) * dw;
            if (spans.factor > 0) {
                meanRow(in, spans.factor, dstWidth, out);
                continue;
            }
            for (int32_t i = 0; i < dstWidth; ++i) {
                const Span& sp = spans.spans[i];
                uint64_t acc = (uint64_t{sp.headWeight} * in[sp.first]) & ~kLow16;
                uint64_t whole = 0;
                for (int32_t k = sp.first + 1; k < sp.last; ++k) whole += in[k];
                acc += whole << 16;
                if (sp.last < srcWidth) acc += (uint64_t{sp.tailWeight} * in[sp.last]) & ~kLow16;
                out[i] = spans.Divide(acc);
            }
        }
        return true;
    };
    return RunBanded(
        rows, BandLength(rows), progress, [&](int32_t begin, int32_t end) { return ParallelRange(begin, end, 8, work); },
        [&](int32_t y) { return PercentOf(y, rows); });
}

bool AreaShrinkColumns(uint8_t* dst, const uint8_t* src, int32_t width, int32_t srcHeight, int32_t dstHeight,
                       CRSProgress* progress) {
    if (width <= 0 || dstHeight <= 0 || srcHeight <= 0) return true;
    Spans spans;
    if (!spans.Make(srcHeight, dstHeight)) {
        OutOfMemoryFlag.store(1);
        return false;
    }
    const auto columnRow = KV_PICK_VARIANT(ColumnRow);
    const size_t w = static_cast<size_t>(width);
    // Columns are reported one by one, but computed a band of columns at a time along the rows, so
    // that the sums run over contiguous bytes.
    const auto work = [&](int32_t columnBegin, int32_t columnEnd) {
        const size_t n = static_cast<size_t>(columnEnd - columnBegin);
        return ParallelRange(0, dstHeight, 8, [&](int32_t begin, int32_t end) {
            auto acc = TryAllocate<uint64_t>(n);
            if (!acc) return false;
            for (int32_t i = begin; i < end; ++i)
                columnRow(src + static_cast<size_t>(columnBegin), w, spans.spans[i], srcHeight, n, spans, acc.get(),
                          dst + static_cast<size_t>(i) * w + static_cast<size_t>(columnBegin));
            return true;
        });
    };
    return RunBanded(width, BandLength(width), progress, work, [&](int32_t x) { return PercentOf(x, width); });
}

}  // namespace kv
