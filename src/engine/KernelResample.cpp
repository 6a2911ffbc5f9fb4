#include "engine/KernelResample.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "engine/BandedPass.h"
#include "engine/KernelWeight.h"
#include "engine/VectorUnits.h"

namespace kv {

namespace {

constexpr int32_t kPhases = 1024;
// No kernel of the algorithms comes near this; a larger support would only fill memory.
constexpr double kMaxExtent = 4096;

// Where each destination pixel of one direction takes its taps: the first (unclamped) source
// index and the phase, i.e. the first 10 bits of the fraction of its position.
struct AxisTaps {
    std::unique_ptr<int32_t[]> first;
    std::unique_ptr<int32_t[]> phase;

    bool Make(int32_t srcSize, int32_t dstSize, int32_t extent) {
        first = TryAllocate<int32_t>(static_cast<size_t>(dstSize));
        phase = TryAllocate<int32_t>(static_cast<size_t>(dstSize));
        if (!first || !phase) return false;
        for (int32_t i = 0; i < dstSize; ++i) {
            const int64_t base = int64_t{i} * srcSize / dstSize;
            const double position = static_cast<double>(i) * srcSize / dstSize;
            const auto p = static_cast<int32_t>(kPhases * std::fabs(position - static_cast<double>(base)));
            phase[i] = std::min(p, kPhases - 1);
            first[i] = static_cast<int32_t>(base - (extent - 1));
        }
        return true;
    }
};

// trunc(sum + 0.5) held to 0..255; clamping before the truncation gives the same byte and keeps
// the conversion defined. Branch-free, so that it vectorises.
KV_ALWAYS_INLINE uint8_t ToByte(double sum) {
    double v = sum + 0.5;
    v = v < 0.0 ? 0.0 : v;
    v = v > 255.0 ? 255.0 : v;
    return static_cast<uint8_t>(static_cast<int32_t>(v));
}

// One row along: out[j] = sum over k of weight[j][k] * row[index[j][k]].
template <int T>
KV_ALWAYS_INLINE void AcrossFixed(const double* __restrict row, const int32_t* __restrict index,
                                  const double* __restrict weight, int32_t n, double* __restrict out) {
    for (int32_t j = 0; j < n; ++j) {
        const double* w = weight + static_cast<ptrdiff_t>(j) * T;
        const int32_t* at = index + static_cast<ptrdiff_t>(j) * T;
        double sum = 0;
        for (int k = 0; k < T; ++k) sum += w[k] * row[at[k]];
        out[j] = sum;
    }
}

KV_ALWAYS_INLINE void AcrossBody(const double* row, const int32_t* index, const double* weight, int32_t taps,
                                 int32_t n, double* out) {
    switch (taps) {
        case 2:
            return AcrossFixed<2>(row, index, weight, n, out);
        case 4:
            return AcrossFixed<4>(row, index, weight, n, out);
        case 6:
            return AcrossFixed<6>(row, index, weight, n, out);
        default:
            for (int32_t j = 0; j < n; ++j) {
                double sum = 0;
                for (int32_t k = 0; k < taps; ++k)
                    sum += weight[static_cast<ptrdiff_t>(j) * taps + k] * row[index[static_cast<ptrdiff_t>(j) * taps + k]];
                out[j] = sum;
            }
    }
}

// One destination row down: the rows along weighted by the row's taps, summed in tap order. The
// common tap counts run in one sweep; others accumulate in `sum` (n doubles).
template <int T>
KV_ALWAYS_INLINE void DownFixed(const double* const* lines, const double* w, int32_t n, uint8_t* __restrict out) {
    const double* __restrict l[T];
    for (int k = 0; k < T; ++k) l[k] = lines[k];
    for (int32_t j = 0; j < n; ++j) {
        double sum = w[0] * l[0][j];
        for (int k = 1; k < T; ++k) sum += w[k] * l[k][j];
        out[j] = ToByte(sum);
    }
}

KV_ALWAYS_INLINE void DownBody(const double* const* lines, const double* w, int32_t taps, int32_t n, double* sum,
                               uint8_t* out) {
    switch (taps) {
        case 2:
            return DownFixed<2>(lines, w, n, out);
        case 4:
            return DownFixed<4>(lines, w, n, out);
        case 6:
            return DownFixed<6>(lines, w, n, out);
        default:
            for (int32_t j = 0; j < n; ++j) sum[j] = w[0] * lines[0][j];
            for (int32_t k = 1; k < taps; ++k)
                for (int32_t j = 0; j < n; ++j) sum[j] += w[k] * lines[k][j];
            for (int32_t j = 0; j < n; ++j) out[j] = ToByte(sum[j]);
    }
}

KV_VECTOR_VARIANTS(void, Across,
                   (const double* row, const int32_t* index, const double* weight, int32_t taps, int32_t n,
                    double* out),
                   (row, index, weight, taps, n, out))
KV_VECTOR_VARIANTS(void, Down,
                   (const double* const* lines, const double* w, int32_t taps, int32_t n, double* sum, uint8_t* out),
                   (lines, w, taps, n, sum, out))

}  // namespace

bool KernelResample(uint8_t* dst, const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t dstWidth,
                    int32_t dstHeight, double p1, double p2, int type, CRSProgress* progress) {
    if (type == KernelType::Box) return false;
    if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return true;

    int32_t extent = type;
    if (type != KernelType::Triangle && type != KernelType::MitchellNetravali) {
        const double support = std::ceil(p1);
        if (!(support <= kMaxExtent)) {
            OutOfMemoryFlag.store(1);
            return false;
        }
        extent = std::max(0, static_cast<int32_t>(support));
    }
    const int32_t taps = 2 * extent;
    const size_t t = static_cast<size_t>(taps);
    const size_t dw = static_cast<size_t>(dstWidth);
    const size_t sw = static_cast<size_t>(srcWidth);
    if (taps == 0) {
        // No taps, no sum: every result is trunc(0.5) = 0.
        return RunBanded(
            dstHeight, BandLength(dstHeight), progress,
            [&](int32_t begin, int32_t end) {
                std::fill(dst + static_cast<size_t>(begin) * dw, dst + static_cast<size_t>(end) * dw, uint8_t{0});
                return true;
            },
            [&](int32_t i) { return PercentOf(i, dstHeight); });
    }

    // One table of weights per phase, so that no transcendental function is evaluated per pixel;
    // each destination column gets its own copy of its phase's weights and its clamped taps.
    auto weights = TryAllocate<double>(kPhases * t);
    AxisTaps columns;
    AxisTaps rows;
    auto columnIndex = TryAllocate<int32_t>(dw * t);
    auto columnWeight = TryAllocate<double>(dw * t);
    if (!weights || !columnIndex || !columnWeight || !columns.Make(srcWidth, dstWidth, extent) ||
        !rows.Make(srcHeight, dstHeight, extent)) {
        OutOfMemoryFlag.store(1);
        return false;
    }
    for (int32_t p = 0; p < kPhases; ++p)
        for (int32_t k = 0; k < taps; ++k)
            weights[static_cast<size_t>(p) * t + static_cast<size_t>(k)] =
                KernelWeight((k - (extent - 1)) - p * 0.0009765625, p1, p2, type);
    for (size_t j = 0; j < dw; ++j)
        for (size_t k = 0; k < t; ++k) {
            columnIndex[j * t + k] = std::clamp(columns.first[j] + static_cast<int32_t>(k), 0, srcWidth - 1);
            columnWeight[j * t + k] = weights[static_cast<size_t>(columns.phase[j]) * t + k];
        }

    const auto across = KV_PICK_VARIANT(Across);
    const auto down = KV_PICK_VARIANT(Down);
    const auto clampRow = [&](int32_t r) { return std::clamp(r, 0, srcHeight - 1); };

    // The two-dimensional weighted sum is taken in two passes of doubles, along the rows first,
    // then down the columns: the same products, summed in another order. A band of destination
    // rows first makes the source rows it reaches into rows along, then combines them.
    const auto band = [&](int32_t begin, int32_t end) {
        const int32_t firstRow = clampRow(rows.first[begin]);
        const int32_t lastRow = clampRow(rows.first[end - 1] + taps - 1);
        auto along = TryAllocate<double>(static_cast<size_t>(lastRow - firstRow + 1) * dw);
        if (!along) return false;

        const bool alongDone = ParallelRange(firstRow, lastRow + 1, 4, [&](int32_t r0, int32_t r1) {
            auto row = TryAllocate<double>(sw);
            if (!row) return false;
            for (int32_t r = r0; r < r1; ++r) {
                const uint8_t* in = src + static_cast<size_t>(r) * sw;
                for (size_t x = 0; x < sw; ++x) row[x] = static_cast<int32_t>(in[x]);
                across(row.get(), columnIndex.get(), columnWeight.get(), taps, dstWidth,
                       along.get() + static_cast<size_t>(r - firstRow) * dw);
            }
            return true;
        });
        if (!alongDone) return false;

        return ParallelRange(begin, end, 4, [&](int32_t i0, int32_t i1) {
            const bool fixed = taps == 2 || taps == 4 || taps == 6;
            auto sum = TryAllocate<double>(fixed ? 0 : dw);
            auto lines = TryAllocate<const double*>(t);
            if (!sum || !lines) return false;
            for (int32_t i = i0; i < i1; ++i) {
                for (int32_t k = 0; k < taps; ++k)
                    lines[k] = along.get() + static_cast<size_t>(clampRow(rows.first[i] + k) - firstRow) * dw;
                down(lines.get(), weights.get() + static_cast<size_t>(rows.phase[i]) * t, taps, dstWidth, sum.get(),
                     dst + static_cast<size_t>(i) * dw);
            }
            return true;
        });
    };
    return RunBanded(dstHeight, BandLength(dstHeight), progress, band,
                     [&](int32_t i) { return PercentOf(i, dstHeight); });
}

}  // namespace kv
