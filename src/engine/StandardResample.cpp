#include "engine/StandardResample.h"

#include <tbb/blocked_range.h>
#include "engine/ParallelFor.h"
#include <tbb/partitioner.h>

#include <algorithm>
#include <atomic>
#include <climits>
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

// The pixels a resample reads or writes: three channels (B, G, R) or one (an alpha plane).
struct Image8 {
    uint8_t* pixels = nullptr;
    int32_t stride = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t channels = 3;

    uint8_t* Row(int32_t y) const { return pixels + static_cast<ptrdiff_t>(y) * stride; }
    bool IsValid() const {
        return pixels && width > 0 && height > 0 && (channels == 1 || channels == 3) &&
               stride >= static_cast<int64_t>(channels) * width;
    }
    static Image8 Of(const Raster& r) { return {r.pixels, r.stride, r.width, r.height, 3}; }
    static Image8 Of(const PlaneView& p) { return {p.pixels, p.stride, p.width, p.height, 1}; }
};

// An Image8 that owns its pixels, rows rounded up to 4 bytes.
struct OwnedImage8 {
    std::unique_ptr<uint8_t[]> data;
    Image8 view;
    explicit operator bool() const { return data != nullptr; }

    static OwnedImage8 Allocate(int32_t width, int32_t height, int32_t channels) {
        OwnedImage8 image;
        const int32_t stride = channels == 3 ? PackedStride24(width) : (width + 3) & ~3;
        image.data.reset(new (std::nothrow) uint8_t[static_cast<size_t>(stride) * static_cast<size_t>(height)]);
        if (image.data) image.view = {image.data.get(), stride, width, height, channels};
        return image;
    }
};

// The horizontal row operations for the channel count: the vector sets for colour, plain sums of
// one channel for a plane. The vertical ones read rows of values whatever they hold.
struct HorizontalOps {
    void (*bytes)(const uint8_t* src, int64_t readable, int32_t origin, const WeightTable& table, int16_t* out);
    void (*mid)(const int16_t* src, int64_t readable, int32_t origin, const WeightTable& table, uint8_t* out);
};

HorizontalOps HorizontalFor(const resample::RowKernels& kernels, int32_t channels) {
    if (channels == 3) return {kernels.horizontalBytes, kernels.horizontalMid};
    return {resample::HorizontalBytesSingle, resample::HorizontalMidSingle};
}

// A source rectangle may reach this many source sizes past each edge (plus a few pixels, for tiny
// sources). That is far more than a preview needs, and it keeps the weight tables, whose cost grows
// with the rectangle, in proportion to the source.
constexpr double kMaxReach = 4.0;

bool ValidSpan(double start, double length, int32_t size) {
    const double reach = kMaxReach * size + 16.0;
    return std::isfinite(start) && std::isfinite(length) && length > 0 && start >= -reach &&
           start + length <= size + reach;
}

// Relative costs of the two passes, measured with resample_bench: one tap of a horizontal sum
// (three channels gathered from a row) against one tap of one value of a vertical sum (a plain
// vector multiply-add), and the fixed cost of finishing a horizontal pixel, in taps.
constexpr double kHorizontalTapCost = 6.0;
constexpr double kHorizontalPixelTaps = 3.0;

// Which pass goes first. Filtering horizontally first costs horizontal sums over every source row
// the output reads; vertically first, vertical sums over every source column it reads. A strong
// vertical reduction is much cheaper vertically first. Only the sizes decide, never the threads
// (nor the channels: an alpha plane takes its colour's order, so that both round alike).
bool VerticalFirst(const WeightTable& horizontal, const WeightTable& vertical, const SourceRect& rect,
                   int32_t outWidth, int32_t outHeight) {
    const double pixelCost = kHorizontalTapCost * (horizontal.footprint + kHorizontalPixelTaps);
    const double horizontalFirst = (rect.height + vertical.footprint) * outWidth * pixelCost +
                                   3.0 * outHeight * static_cast<double>(outWidth) * vertical.footprint;
    const double verticalFirst = 3.0 * outHeight * (rect.width + horizontal.footprint) * vertical.footprint +
                                 static_cast<double>(outHeight) * outWidth * pixelCost;
    return verticalFirst < horizontalFirst;
}

// Output rows are handed out in bands. Horizontally first, every band runs the horizontal pass
// over the source rows its own rows read, so a band overlaps its neighbours by about one kernel:
// bands long enough keep that repeated work small, and enough of them keep both cores busy.
int32_t BandRows(const WeightTable& vertical, double rowsPerOutput, int32_t outRows, bool verticalFirst) {
    const double perOverlap = verticalFirst ? 16.0 : 8.0 * vertical.maxCount / std::max(rowsPerOutput, 1e-9);
    const auto wanted = static_cast<int32_t>(std::clamp(perOverlap, 8.0, 256.0));
    return std::max(1, std::min(wanted, (outRows + 7) / 8));
}

// Intermediate rows leave room for the 16-value reads of the vector kernels past their end.
constexpr ptrdiff_t kMidPadding = 16;

// Runs the two passes in bands of output rows. Per-band buffers hold only values that depend on
// the source and the tables, never on the band's bounds, so any split gives the same bytes.
bool RunSeparable(const Image8& dst, const Image8& src, WeightTable& horizontal, const WeightTable& vertical,
                  const SourceRect& rect) {
    const resample::RowKernels& kernels = resample::KernelsFor(resample::ActiveIsa());
    const int32_t channels = dst.channels;
    const HorizontalOps across = HorizontalFor(kernels, channels);
    if (channels == 3) kernels.prepare(horizontal);
    const int32_t values = channels * dst.width;
    const bool verticalFirst = VerticalFirst(horizontal, vertical, rect, dst.width, dst.height);
    const int32_t grain = BandRows(vertical, rect.height / dst.height, dst.height, verticalFirst);
    std::atomic<bool> outOfMemory{false};

    if (verticalFirst) {
        // One intermediate row holds the source columns the horizontal pass reads.
        int32_t firstColumn = src.width;
        int32_t endColumn = 0;
        for (int32_t x = 0; x < dst.width; ++x) {
            firstColumn = std::min(firstColumn, horizontal.first[static_cast<size_t>(x)]);
            endColumn = std::max(endColumn, horizontal.first[static_cast<size_t>(x)] + horizontal.count[static_cast<size_t>(x)]);
        }
        const int32_t midValues = channels * (endColumn - firstColumn);
        ParallelFor(
            tbb::blocked_range<int32_t>(0, dst.height, grain),
            [&](const tbb::blocked_range<int32_t>& band) {
                std::unique_ptr<int16_t[]> mid(new (std::nothrow) int16_t[static_cast<size_t>(midValues + kMidPadding)]);
                if (!mid) {
                    outOfMemory.store(true, std::memory_order_relaxed);
                    return;
                }
                std::fill(mid.get() + midValues, mid.get() + midValues + kMidPadding, int16_t{0});
                for (int32_t y = band.begin(); y < band.end(); ++y) {
                    const uint8_t* rows = src.Row(vertical.first[static_cast<size_t>(y)]) + channels * static_cast<ptrdiff_t>(firstColumn);
                    kernels.verticalBytes(rows, src.stride, vertical.Weights(y), vertical.count[static_cast<size_t>(y)],
                                          mid.get(), midValues);
                    across.mid(mid.get(), midValues + kMidPadding, firstColumn, horizontal, dst.Row(y));
                }
            },
            tbb::simple_partitioner());
        return !outOfMemory.load();
    }

    const ptrdiff_t midStride = ((static_cast<ptrdiff_t>(values) + 15) & ~ptrdiff_t{15}) + kMidPadding;
    ParallelFor(
        tbb::blocked_range<int32_t>(0, dst.height, grain),
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
                across.bytes(src.Row(r), channels * static_cast<int64_t>(src.width), 0, horizontal, row);
                std::fill(row + values, row + midStride, int16_t{0});
            }
            for (int32_t y = band.begin(); y < band.end(); ++y) {
                const int32_t f = vertical.first[static_cast<size_t>(y)];
                kernels.verticalMid(mid.get() + static_cast<ptrdiff_t>(f - firstRow) * midStride, midStride,
                                    vertical.Weights(y), vertical.count[static_cast<size_t>(y)], dst.Row(y), values);
            }
        },
        tbb::simple_partitioner());
    return !outOfMemory.load();
}

bool DrawNearest(const Image8& dst, const Image8& src, const SourceRect& rect) {
    const int32_t channels = dst.channels;
    const std::vector<int32_t> columns = resample::NearestIndices(rect.x, rect.width, dst.width, src.width);
    const std::vector<int32_t> rows = resample::NearestIndices(rect.y, rect.height, dst.height, src.height);
    ParallelFor(tbb::blocked_range<int32_t>(0, dst.height, 16), [&](const tbb::blocked_range<int32_t>& band) {
        for (int32_t y = band.begin(); y < band.end(); ++y) {
            uint8_t* out = dst.Row(y);
            // An enlargement repeats each source row: copy the row just made instead.
            if (y > band.begin() && rows[static_cast<size_t>(y)] == rows[static_cast<size_t>(y) - 1]) {
                std::memcpy(out, dst.Row(y - 1), static_cast<size_t>(channels) * static_cast<size_t>(dst.width));
                continue;
            }
            const uint8_t* in = src.Row(rows[static_cast<size_t>(y)]);
            if (channels == 1) {
                for (int32_t x = 0; x < dst.width; ++x) out[x] = in[columns[static_cast<size_t>(x)]];
                continue;
            }
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

// Filter tables hold one row of weights per output pixel, as long as the filter's reach in the
// source. A reduction stronger than this would make them grow with the source rather than the
// output (a picture one pixel wide and a hundred million high, shrunk to a hundred rows, needs a
// million weights a row, each too small for the fixed-point format anyway): such a direction is
// first averaged over whole blocks of source pixels, down to between kReducedScale and twice that
// many pixels per output pixel.
constexpr double kMaxTableScale = 32.0;
constexpr double kReducedScale = 16.0;

// The block length that brings a reduction within the tables' reach; 1 when it is within already.
int32_t PreReductionFactor(double length, int32_t outCount) {
    const double scale = length / outCount;
    if (!(scale > kMaxTableScale)) return 1;
    return static_cast<int32_t>(std::min<double>(std::floor(scale / kReducedScale), INT32_MAX));
}

// Averages blocks of kx x ky pixels (fewer at the right and bottom edges) into one.
OwnedImage8 BlockAverage(const Image8& src, int32_t kx, int32_t ky) {
    const int32_t channels = src.channels;
    const int32_t width = static_cast<int32_t>((int64_t{src.width} + kx - 1) / kx);
    const int32_t height = static_cast<int32_t>((int64_t{src.height} + ky - 1) / ky);
    OwnedImage8 out = OwnedImage8::Allocate(width, height, channels);
    if (!out) return out;
    const Image8& dst = out.view;
    const size_t sumCount = static_cast<size_t>(channels) * static_cast<size_t>(width);
    std::atomic<bool> outOfMemory{false};
    ParallelFor(tbb::blocked_range<int32_t>(0, height, 1), [&](const tbb::blocked_range<int32_t>& band) {
        std::unique_ptr<uint64_t[]> sums(new (std::nothrow) uint64_t[sumCount]);
        if (!sums) {
            outOfMemory.store(true, std::memory_order_relaxed);
            return;
        }
        for (int32_t y = band.begin(); y < band.end(); ++y) {
            std::fill(sums.get(), sums.get() + sumCount, uint64_t{0});
            const int32_t top = static_cast<int32_t>(int64_t{y} * ky);
            const int32_t rows = static_cast<int32_t>(std::min<int64_t>(ky, src.height - int64_t{top}));
            for (int32_t r = 0; r < rows; ++r) {
                const uint8_t* in = src.Row(top + r);
                uint64_t* sum = sums.get();
                for (int64_t x = 0; x < src.width; x += kx, sum += channels) {
                    const int64_t end = std::min<int64_t>(src.width, x + kx);
                    if (channels == 1) {
                        uint64_t v = 0;
                        for (const uint8_t* p = in + x; p < in + end; ++p) v += *p;
                        sum[0] += v;
                        continue;
                    }
                    uint64_t b = 0, g = 0, red = 0;
                    for (const uint8_t* p = in + 3 * x; p < in + 3 * end; p += 3) {
                        b += p[0];
                        g += p[1];
                        red += p[2];
                    }
                    sum[0] += b;
                    sum[1] += g;
                    sum[2] += red;
                }
            }
            uint8_t* row = dst.Row(y);
            for (int32_t x = 0; x < width; ++x) {
                const int64_t columns = std::min<int64_t>(kx, src.width - int64_t{x} * kx);
                const uint64_t n = static_cast<uint64_t>(columns) * static_cast<uint64_t>(rows);
                for (int c = 0; c < channels; ++c) {
                    const size_t i = static_cast<size_t>(channels) * static_cast<size_t>(x) + static_cast<size_t>(c);
                    row[i] = static_cast<uint8_t>((sums[i] + n / 2) / n);
                }
            }
        }
    });
    if (outOfMemory.load()) return OwnedImage8{};
    return out;
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

namespace {

bool DrawImage8(const Image8& dst, const Image8& src, const SourceRect& rect, InterpolationMode mode) {
    if (!dst.IsValid() || !src.IsValid() || dst.channels != src.channels || !ValidSpan(rect.x, rect.width, src.width) ||
        !ValidSpan(rect.y, rect.height, src.height))
        return false;
    try {
        if (mode == InterpolationMode::NearestNeighbor) return DrawNearest(dst, src, rect);
        const int32_t kx = PreReductionFactor(rect.width, dst.width);
        const int32_t ky = PreReductionFactor(rect.height, dst.height);
        if (kx > 1 || ky > 1) {
            const OwnedImage8 reduced = BlockAverage(src, kx, ky);
            if (!reduced) return false;
            return DrawImage8(dst, reduced.view, {rect.x / kx, rect.y / ky, rect.width / kx, rect.height / ky}, mode);
        }
        const ModeFilter f = FilterFor(mode);
        WeightTable horizontal =
            resample::BuildWeightTable(f.filter, f.widen, rect.x, rect.width, dst.width, src.width);
        const WeightTable vertical =
            resample::BuildWeightTable(f.filter, f.widen, rect.y, rect.height, dst.height, src.height);
        return RunSeparable(dst, src, horizontal, vertical, rect);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

bool DrawResampled(const Raster& dst, const Raster& src, const SourceRect& rect, InterpolationMode mode) {
    return DrawImage8(Image8::Of(dst), Image8::Of(src), rect, mode);
}

bool DrawResampledPlane(const PlaneView& dst, const PlaneView& src, const SourceRect& rect, InterpolationMode mode) {
    return DrawImage8(Image8::Of(dst), Image8::Of(src), rect, mode);
}

namespace {

// The working memory of one direction's table: the weights (int16, padded rows), where each row
// starts and how long it is, and for a horizontal table the vector kernels' wider copy.
uint64_t TableBytes(Filter filter, bool widen, double length, int32_t outCount, int32_t srcCount, bool horizontal) {
    const uint64_t stride = static_cast<uint64_t>((resample::MaxTapCount(filter, widen, length, outCount, srcCount) + 3) & ~3);
    const uint64_t out = static_cast<uint64_t>(outCount);
    return out * stride * (horizontal ? 10 : 2) + 8 * out;
}

}  // namespace

uint64_t DrawResampledWorkingBytes(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight,
                                   InterpolationMode mode) {
    if (dstWidth <= 0 || dstHeight <= 0 || srcWidth <= 0 || srcHeight <= 0) return 0;
    if (mode == InterpolationMode::NearestNeighbor) return 4 * (uint64_t{static_cast<uint32_t>(dstWidth)} + static_cast<uint32_t>(dstHeight));
    uint64_t bytes = 0;
    const int32_t kx = PreReductionFactor(srcWidth, dstWidth);
    const int32_t ky = PreReductionFactor(srcHeight, dstHeight);
    int64_t width = srcWidth;
    int64_t height = srcHeight;
    if (kx > 1 || ky > 1) {
        width = (width + kx - 1) / kx;
        height = (height + ky - 1) / ky;
        bytes += static_cast<uint64_t>(PackedStride24(static_cast<int32_t>(width))) * static_cast<uint64_t>(height) +
                 24 * static_cast<uint64_t>(width) * ParallelWorkers();
    }
    const ModeFilter f = FilterFor(mode);
    bytes += TableBytes(f.filter, f.widen, static_cast<double>(width), dstWidth, static_cast<int32_t>(width), true);
    bytes += TableBytes(f.filter, f.widen, static_cast<double>(height), dstHeight, static_cast<int32_t>(height), false);
    // The rows between the passes, per worker: either order may be chosen. Horizontally first a band
    // of at most 256 output rows keeps the source rows it reads; vertically first one row of the
    // source columns.
    const double rowsPerOutput = std::max(1.0, static_cast<double>(height) / dstHeight);
    const double bandRows = std::min<double>(256.0 * rowsPerOutput + resample::MaxTapCount(f.filter, f.widen, static_cast<double>(height), dstHeight, static_cast<int32_t>(height)),
                                             static_cast<double>(height));
    const double horizontalFirst = bandRows * ((3.0 * dstWidth + 15) + kMidPadding) * 2;
    const double verticalFirst = (3.0 * static_cast<double>(width) + kMidPadding) * 2;
    bytes += static_cast<uint64_t>(std::max(horizontalFirst, verticalFirst)) * ParallelWorkers();
    return bytes;
}

bool AreaAverageResize(const Raster& dst, const Raster& src) {
    if (!dst.IsValid() || !src.IsValid()) return false;
    // Per direction: the exact area average when reducing, linear interpolation when enlarging.
    const auto filterFor = [](int32_t out, int32_t in) { return in > out ? Filter::Box : Filter::Triangle; };
    try {
        const int32_t kx = PreReductionFactor(src.width, dst.width);
        const int32_t ky = PreReductionFactor(src.height, dst.height);
        if (kx > 1 || ky > 1) {
            const OwnedImage8 reduced = BlockAverage(Image8::Of(src), kx, ky);
            return reduced && AreaAverageResize(dst, Raster{reduced.view.pixels, reduced.view.stride,
                                                            reduced.view.width, reduced.view.height});
        }
        WeightTable horizontal = resample::BuildWeightTable(filterFor(dst.width, src.width), true, 0.0,
                                                                  src.width, dst.width, src.width);
        const WeightTable vertical = resample::BuildWeightTable(filterFor(dst.height, src.height), true, 0.0,
                                                                src.height, dst.height, src.height);
        return RunSeparable(Image8::Of(dst), Image8::Of(src), horizontal, vertical,
                            {0, 0, double(src.width), double(src.height)});
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace kv
