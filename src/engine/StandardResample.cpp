#include "engine/StandardResample.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "engine/ResampleKernels.h"
#include "engine/ResampleWeights.h"

namespace kv {

namespace {

using resample::Filter;
using resample::WeightTable;

// Coordinates beyond this stay far from overflowing the tap arithmetic.
constexpr double kMaxCoordinate = 1 << 30;

bool ValidSpan(double start, double length) {
    return std::isfinite(start) && std::isfinite(length) && length > 0 && std::fabs(start) <= kMaxCoordinate &&
           std::fabs(start + length) <= kMaxCoordinate;
}

// Output rows are handed out in bands; every band runs the horizontal pass over the source rows
// its own rows read, so a band's rows overlap its neighbours' by about one kernel. Bands long
// enough keep that repeated work small, and enough of them keep both cores busy.
int32_t BandRows(const WeightTable& vertical, double rowsPerOutput, int32_t outRows) {
    const double perOverlap = 4.0 * vertical.maxCount / std::max(rowsPerOutput, 1e-9);
    const auto wanted = static_cast<int32_t>(std::clamp(perOverlap, 8.0, 256.0));
    return std::max(1, std::min(wanted, (outRows + 7) / 8));
}

// Runs the two passes: each band of output rows resamples the source rows it needs horizontally
// into intermediate rows, then combines them vertically. Per-band buffers hold only values that
// depend on the source and the tables, never on the band's bounds, so any split gives the same bytes.
bool RunSeparable(const Raster& dst, const Raster& src, const WeightTable& horizontal, const WeightTable& vertical,
                  double rowsPerOutput) {
    const resample::RowKernels& kernels = resample::KernelsFor(resample::ActiveIsa());
    const int32_t values = 3 * dst.width;
    // Room for the vertical pass's 16-value reads and the horizontal pass's one value past the row.
    const ptrdiff_t midStride = ((static_cast<ptrdiff_t>(values) + 15) & ~ptrdiff_t{15}) + 16;
    std::atomic<bool> outOfMemory{false};

    tbb::parallel_for(
        tbb::blocked_range<int32_t>(0, dst.height, BandRows(vertical, rowsPerOutput, dst.height)),
        [&](const tbb::blocked_range<int32_t>& band) {
            int32_t firstRow = src.height;
            int32_t endRow = 0;
            for (int32_t y = band.begin(); y < band.end(); ++y) {
                const int32_t f = vertical.first[static_cast<size_t>(y)];
                firstRow = std::min(firstRow, f);
                endRow = std::max(endRow, f + vertical.count[static_cast<size_t>(y)]);
            }
            const size_t midValues = static_cast<size_t>(endRow - firstRow) * static_cast<size_t>(midStride);
            std::unique_ptr<int16_t[]> mid(new (std::nothrow) int16_t[midValues]);
            if (!mid) {
                outOfMemory.store(true, std::memory_order_relaxed);
                return;
            }
            for (int32_t r = firstRow; r < endRow; ++r) {
                int16_t* row = mid.get() + static_cast<ptrdiff_t>(r - firstRow) * midStride;
                kernels.horizontal(src.Row(r), src.width, horizontal, row);
                std::fill(row + values, row + midStride, int16_t{0});
            }
            for (int32_t y = band.begin(); y < band.end(); ++y) {
                const int32_t f = vertical.first[static_cast<size_t>(y)];
                kernels.vertical(mid.get() + static_cast<ptrdiff_t>(f - firstRow) * midStride, midStride,
                                 vertical.Weights(y), vertical.count[static_cast<size_t>(y)], dst.Row(y), values);
            }
        },
        tbb::simple_partitioner());
    return !outOfMemory.load();
}

bool DrawNearest(const Raster& dst, const Raster& src, const SourceRect& rect) {
    const std::vector<int32_t> columns = resample::NearestIndices(rect.x, rect.width, dst.width, src.width);
    const std::vector<int32_t> rows = resample::NearestIndices(rect.y, rect.height, dst.height, src.height);
    tbb::parallel_for(tbb::blocked_range<int32_t>(0, dst.height, 16), [&](const tbb::blocked_range<int32_t>& band) {
        for (int32_t y = band.begin(); y < band.end(); ++y) {
            uint8_t* out = dst.Row(y);
            // An enlargement repeats each source row: copy the row just made instead.
            if (y > band.begin() && rows[static_cast<size_t>(y)] == rows[static_cast<size_t>(y) - 1]) {
                std::memcpy(out, dst.Row(y - 1), 3 * static_cast<size_t>(dst.width));
                continue;
            }
            const uint8_t* in = src.Row(rows[static_cast<size_t>(y)]);
            for (int32_t x = 0; x < dst.width; ++x, out += 3) {
                const uint8_t* p = in + 3 * static_cast<ptrdiff_t>(columns[static_cast<size_t>(x)]);
                out[0] = p[0];
                out[1] = p[1];
                out[2] = p[2];
            }
        }
    });
    return true;
}

struct ModeFilter {
    Filter filter;
    bool widen;
};

ModeFilter FilterFor(InterpolationMode mode) {
    switch (mode) {
        case InterpolationMode::Bilinear: return {Filter::Triangle, false};
        case InterpolationMode::HighQualityBilinear: return {Filter::Triangle, true};
        case InterpolationMode::Bicubic: return {Filter::CubicSharp, false};
        case InterpolationMode::NearestNeighbor:
        case InterpolationMode::HighQualityBicubic: break;
    }
    return {Filter::CatmullRom, true};
}

}  // namespace

bool DrawResampled(const Raster& dst, const Raster& src, const SourceRect& rect, InterpolationMode mode) {
    if (!dst.IsValid() || !src.IsValid() || !ValidSpan(rect.x, rect.width) || !ValidSpan(rect.y, rect.height))
        return false;
    try {
        if (mode == InterpolationMode::NearestNeighbor) return DrawNearest(dst, src, rect);
        const ModeFilter f = FilterFor(mode);
        const WeightTable horizontal =
            resample::BuildWeightTable(f.filter, f.widen, rect.x, rect.width, dst.width, src.width);
        const WeightTable vertical =
            resample::BuildWeightTable(f.filter, f.widen, rect.y, rect.height, dst.height, src.height);
        return RunSeparable(dst, src, horizontal, vertical, rect.height / dst.height);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool AreaAverageResize(const Raster& dst, const Raster& src) {
    if (!dst.IsValid() || !src.IsValid()) return false;
    // Per direction: the exact area average when reducing, linear interpolation when enlarging.
    const auto filterFor = [](int32_t out, int32_t in) { return in > out ? Filter::Box : Filter::Triangle; };
    try {
        const WeightTable horizontal = resample::BuildWeightTable(filterFor(dst.width, src.width), true, 0.0,
                                                                  src.width, dst.width, src.width);
        const WeightTable vertical = resample::BuildWeightTable(filterFor(dst.height, src.height), true, 0.0,
                                                                src.height, dst.height, src.height);
        return RunSeparable(dst, src, horizontal, vertical, static_cast<double>(src.height) / dst.height);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace kv
