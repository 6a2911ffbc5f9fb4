#include "engine/AreaShrink.h"

#include "engine/BandedPass.h"

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

// The spans of n destination pixels over a source of size `size`; step = (size << 16) / n.
std::unique_ptr<Span[]> MakeSpans(int32_t size, int32_t n, uint64_t& step) {
    step = (static_cast<uint64_t>(size) << 16) / static_cast<uint64_t>(n);
    auto spans = TryAllocate<Span>(static_cast<size_t>(n));
    if (!spans) return spans;
    uint64_t s = 0;
    for (int32_t i = 0; i < n; ++i) {
        const uint64_t s0 = s;
        const uint64_t s1 = s + step;
        const uint64_t k0 = s0 >> 16;
        const uint64_t k1 = s1 >> 16;
        spans[i] = {static_cast<int32_t>(k0), static_cast<int32_t>(k1), static_cast<uint32_t>(((k0 + 1) << 16) - s0),
                    static_cast<uint32_t>(s1 - (k1 << 16))};
        s = s1;
    }
    return spans;
}

// acc / step, where acc <= 255 * step. Below 2^44 for the step, acc is exact in a double, the
// double quotient is correctly rounded and an inexact one lies at least 1/step below the next
// integer, far more than its rounding error: truncating it gives the integer quotient, and a
// division unit of doubles is much faster than one of 64-bit integers.
struct Divider {
    explicit Divider(uint64_t step) : integer(step), real(static_cast<double>(step)), exact(step < (uint64_t{1} << 44)) {}
    uint8_t operator()(uint64_t acc) const {
        if (exact) return static_cast<uint8_t>(static_cast<uint32_t>(static_cast<double>(acc) / real));
        return static_cast<uint8_t>(acc / integer);
    }
    uint64_t integer;
    double real;
    bool exact;
};

}  // namespace

bool AreaShrinkRows(uint8_t* dst, const uint8_t* src, int32_t srcWidth, int32_t rows, int32_t dstWidth,
                    CRSProgress* progress) {
    if (rows <= 0 || dstWidth <= 0 || srcWidth <= 0) return true;
    uint64_t step = 0;
    const auto spans = MakeSpans(srcWidth, dstWidth, step);
    if (!spans) {
        OutOfMemoryFlag.store(1);
        return false;
    }
    const Divider divide(step);
    const auto work = [&](int32_t begin, int32_t end) {
        for (int32_t y = begin; y < end; ++y) {
            const uint8_t* in = src + static_cast<size_t>(y) * static_cast<size_t>(srcWidth);
            uint8_t* out = dst + static_cast<size_t>(y) * static_cast<size_t>(dstWidth);
            for (int32_t i = 0; i < dstWidth; ++i) {
                const Span& sp = spans[i];
                uint64_t acc = (uint64_t{sp.headWeight} * in[sp.first]) & ~kLow16;
                uint64_t whole = 0;
                for (int32_t k = sp.first + 1; k < sp.last; ++k) whole += in[k];
                acc += whole << 16;
                if (sp.last < srcWidth) acc += (uint64_t{sp.tailWeight} * in[sp.last]) & ~kLow16;
                out[i] = divide(acc);
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
    uint64_t step = 0;
    const auto spans = MakeSpans(srcHeight, dstHeight, step);
    if (!spans) {
        OutOfMemoryFlag.store(1);
        return false;
    }
    const Divider divide(step);
    const size_t w = static_cast<size_t>(width);
    // Columns are reported one by one, but computed a band of columns at a time along the rows, so
    // that the sums run over contiguous bytes.
    const auto work = [&](int32_t columnBegin, int32_t columnEnd) {
        const size_t n = static_cast<size_t>(columnEnd - columnBegin);
        return ParallelRange(0, dstHeight, 8, [&](int32_t begin, int32_t end) {
            auto acc = TryAllocate<uint64_t>(n);
            if (!acc) return false;
            for (int32_t i = begin; i < end; ++i) {
                const Span& sp = spans[i];
                const uint8_t* head = src + static_cast<size_t>(sp.first) * w + static_cast<size_t>(columnBegin);
                for (size_t x = 0; x < n; ++x) acc[x] = (uint64_t{sp.headWeight} * head[x]) & ~kLow16;
                for (int32_t k = sp.first + 1; k < sp.last; ++k) {
                    const uint8_t* row = src + static_cast<size_t>(k) * w + static_cast<size_t>(columnBegin);
                    for (size_t x = 0; x < n; ++x) acc[x] += uint64_t{row[x]} << 16;
                }
                if (sp.last < srcHeight) {
                    const uint8_t* tail = src + static_cast<size_t>(sp.last) * w + static_cast<size_t>(columnBegin);
                    for (size_t x = 0; x < n; ++x) acc[x] += (uint64_t{sp.tailWeight} * tail[x]) & ~kLow16;
                }
                uint8_t* out = dst + static_cast<size_t>(i) * w + static_cast<size_t>(columnBegin);
                for (size_t x = 0; x < n; ++x) out[x] = divide(acc[x]);
            }
            return true;
        });
    };
    return RunBanded(width, BandLength(width), progress, work, [&](int32_t x) { return PercentOf(x, width); });
}

}  // namespace kv
