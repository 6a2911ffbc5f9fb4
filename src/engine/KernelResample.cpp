#include "engine/KernelResample.h"

#include <algorithm>
#include <cmath>

#include "engine/BandedPass.h"
#include "engine/KernelWeight.h"

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

    // One table of weights per phase, so that no transcendental function is evaluated per pixel.
    auto weights = TryAllocate<double>(kPhases * t);
    AxisTaps columns;
    AxisTaps rows;
    auto columnIndex = TryAllocate<int32_t>(static_cast<size_t>(dstWidth) * t);
    if (!weights || !columnIndex || !columns.Make(srcWidth, dstWidth, extent) ||
        !rows.Make(srcHeight, dstHeight, extent)) {
        OutOfMemoryFlag.store(1);
        return false;
    }
    for (int32_t p = 0; p < kPhases; ++p)
        for (int32_t k = 0; k < taps; ++k)
            weights[static_cast<size_t>(p) * t + static_cast<size_t>(k)] =
                KernelWeight((k - (extent - 1)) - p * 0.0009765625, p1, p2, type);
    for (int32_t j = 0; j < dstWidth; ++j)
        for (int32_t k = 0; k < taps; ++k)
            columnIndex[static_cast<size_t>(j) * t + static_cast<size_t>(k)] =
                std::clamp(columns.first[j] + k, 0, srcWidth - 1);

    const size_t dw = static_cast<size_t>(dstWidth);
    const size_t sw = static_cast<size_t>(srcWidth);
    const auto clampRow = [&](int32_t r) { return std::clamp(r, 0, srcHeight - 1); };

    // The two-dimensional weighted sum is taken in two passes of doubles, along the rows first,
    // then down the columns: the same products, summed in another order.
    const auto band = [&](int32_t begin, int32_t end) {
        if (taps == 0) {
            std::fill(dst + static_cast<size_t>(begin) * dw, dst + static_cast<size_t>(end) * dw, uint8_t{0});
            return true;
        }
        const int32_t firstRow = clampRow(rows.first[begin]);
        const int32_t lastRow = clampRow(rows.first[end - 1] + taps - 1);
        auto across = TryAllocate<double>(static_cast<size_t>(lastRow - firstRow + 1) * dw);
        if (!across) return false;

        const bool acrossDone = ParallelRange(firstRow, lastRow + 1, 4, [&](int32_t r0, int32_t r1) {
            for (int32_t r = r0; r < r1; ++r) {
                const uint8_t* in = src + static_cast<size_t>(r) * sw;
                double* out = across.get() + static_cast<size_t>(r - firstRow) * dw;
                for (size_t j = 0; j < dw; ++j) {
                    const double* w = weights.get() + static_cast<size_t>(columns.phase[j]) * t;
                    const int32_t* index = columnIndex.get() + j * t;
                    double sum = 0;
                    for (size_t k = 0; k < t; ++k) sum += w[k] * in[index[k]];
                    out[j] = sum;
                }
            }
            return true;
        });
        if (!acrossDone) return false;

        return ParallelRange(begin, end, 4, [&](int32_t i0, int32_t i1) {
            auto sum = TryAllocate<double>(dw);
            if (!sum) return false;
            for (int32_t i = i0; i < i1; ++i) {
                const double* w = weights.get() + static_cast<size_t>(rows.phase[i]) * t;
                const double* line = across.get() + static_cast<size_t>(clampRow(rows.first[i]) - firstRow) * dw;
                for (size_t j = 0; j < dw; ++j) sum[j] = w[0] * line[j];
                for (int32_t k = 1; k < taps; ++k) {
                    const double wk = w[k];
                    line = across.get() + static_cast<size_t>(clampRow(rows.first[i] + k) - firstRow) * dw;
                    for (size_t j = 0; j < dw; ++j) sum[j] += wk * line[j];
                }
                uint8_t* out = dst + static_cast<size_t>(i) * dw;
                for (size_t j = 0; j < dw; ++j) {
                    double v = sum[j] + 0.5;
                    v = v < 0.0 ? 0.0 : v;
                    v = v > 255.0 ? 255.0 : v;
                    out[j] = static_cast<uint8_t>(static_cast<int32_t>(v));
                }
            }
            return true;
        });
    };
    return RunBanded(dstHeight, BandLength(dstHeight), progress, band,
                     [&](int32_t i) { return PercentOf(i, dstHeight); });
}

}  // namespace kv
