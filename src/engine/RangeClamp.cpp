#include "engine/RangeClamp.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/BandedPass.h"
#include "engine/Grain.h"
#include "engine/VectorUnits.h"

namespace kv {

namespace {

// One direction of the window. Positions inside [lo, hi] have a whole window around them; the
// others borrow the window of the nearest of those. Without any such position the window is the
// whole line.
struct WindowAxis {
    int32_t half;
    int32_t lo;
    int32_t hi;
    bool whole;

    WindowAxis(int32_t window, int32_t size)
        : half(std::max(window, 0) / 2), lo(half), hi(size - half - 1), whole(size < 2 * half + 1) {}
    int32_t Centre(int32_t p) const { return whole ? 0 : std::clamp(p, lo, hi); }
};

// Windows up to this size are scanned directly (a few vector operations per pixel); larger ones
// are found by doubling, so that the cost grows with the logarithm of the window and a huge
// enlargement cannot stall in this step.
constexpr int32_t kScannedWindow = 33;

// After it, a[i] is the largest of a[i .. i + p) and b[i] the smallest of b[i .. i + p), for
// i = 0 .. n - p, where p is the largest power of two not above len (returned).
KV_ALWAYS_INLINE int32_t DoubleRangesBody(uint8_t* __restrict a, uint8_t* __restrict b, int32_t n, int32_t len) {
    int32_t p = 1;
    for (; 2 * p <= len; p *= 2) {
        const int32_t count = n - 2 * p + 1;
        for (int32_t i = 0; i < count; ++i) {
            a[i] = std::max(a[i], a[i + p]);
            b[i] = std::min(b[i], b[i + p]);
        }
    }
    return p;
}

// The same down the columns [0, width) of a whole plane of `rows` rows `stride` bytes apart.
KV_ALWAYS_INLINE void DoubleColumnsBody(uint8_t* __restrict a, uint8_t* __restrict b, int32_t rows, int32_t len,
                                           size_t stride, size_t width) {
    int32_t p = 1;
    for (; 2 * p <= len; p *= 2) {
        const size_t ahead = static_cast<size_t>(p) * stride;
        for (int32_t r = 0; r + 2 * p <= rows; ++r) {
            uint8_t* hi = a + static_cast<size_t>(r) * stride;
            uint8_t* lo = b + static_cast<size_t>(r) * stride;
            for (size_t x = 0; x < width; ++x) {
                hi[x] = std::max(hi[x], hi[x + ahead]);
                lo[x] = std::min(lo[x], lo[x + ahead]);
            }
        }
    }
}

// Largest and smallest of two byte rows, element by element.
KV_ALWAYS_INLINE void PairRangeBody(const uint8_t* __restrict a0, const uint8_t* __restrict a1,
                                    const uint8_t* __restrict b0, const uint8_t* __restrict b1, size_t n,
                                    uint8_t* __restrict mx, uint8_t* __restrict mn) {
    for (size_t x = 0; x < n; ++x) {
        mx[x] = std::max(a0[x], a1[x]);
        mn[x] = std::min(b0[x], b1[x]);
    }
}

// Largest and smallest guide value of each pixel's window along one row. `scratch` holds
// 2 * width bytes for large windows.
KV_ALWAYS_INLINE void RowRangeBody(const uint8_t* __restrict g, int32_t width, const WindowAxis& ax,
                                   uint8_t* __restrict mx, uint8_t* __restrict mn, uint8_t* __restrict scratch) {
    if (ax.whole) {
        const auto [lo, hi] = std::minmax_element(g, g + width);
        std::memset(mx, *hi, static_cast<size_t>(width));
        std::memset(mn, *lo, static_cast<size_t>(width));
        return;
    }
    const int32_t len = 2 * ax.half + 1;
    const int32_t n = ax.hi - ax.lo + 1;
    uint8_t* hiOut = mx + ax.lo;
    uint8_t* loOut = mn + ax.lo;
    if (len > kScannedWindow) {
        uint8_t* a = scratch;
        uint8_t* b = scratch + width;
        std::memcpy(a, g, static_cast<size_t>(width));
        std::memcpy(b, g, static_cast<size_t>(width));
        const int32_t p = DoubleRangesBody(a, b, width, len);
        PairRangeBody(a, a + (len - p), b, b + (len - p), static_cast<size_t>(n), hiOut, loOut);
    } else {
        std::memcpy(hiOut, g, static_cast<size_t>(n));
        std::memcpy(loOut, g, static_cast<size_t>(n));
        for (int32_t d = 1; d < len; ++d) {
            const uint8_t* in = g + d;
            for (int32_t x = 0; x < n; ++x) {
                hiOut[x] = std::max(hiOut[x], in[x]);
                loOut[x] = std::min(loOut[x], in[x]);
            }
        }
    }
    std::memset(mx, mx[ax.lo], static_cast<size_t>(ax.lo));
    std::memset(mn, mn[ax.lo], static_cast<size_t>(ax.lo));
    std::memset(mx + ax.hi + 1, mx[ax.hi], static_cast<size_t>(width - ax.hi - 1));
    std::memset(mn + ax.hi + 1, mn[ax.hi], static_cast<size_t>(width - ax.hi - 1));
}

// Largest and smallest of `count` rows (row stride `width`) of precomputed row ranges.
KV_ALWAYS_INLINE void ColumnRangeBody(const uint8_t* __restrict rowMax, const uint8_t* __restrict rowMin,
                                      int32_t count, int32_t width, uint8_t* __restrict mx, uint8_t* __restrict mn) {
    const size_t w = static_cast<size_t>(width);
    std::memcpy(mx, rowMax, w);
    std::memcpy(mn, rowMin, w);
    for (int32_t r = 1; r < count; ++r) {
        const uint8_t* hi = rowMax + static_cast<size_t>(r) * w;
        const uint8_t* lo = rowMin + static_cast<size_t>(r) * w;
        for (size_t x = 0; x < w; ++x) {
            mx[x] = std::max(mx[x], hi[x]);
            mn[x] = std::min(mn[x], lo[x]);
        }
    }
}

// The gain of each half range t (1..127 occur), and what decides a pixel without division: the
// gain is 1 exactly for t below keepBelow (it grows with t), and |v - mid| / t > 1 / u exactly
// when |v - mid| > limit[t] (the quotient grows with |v - mid| and does not depend on its sign).
// Both are found with the very double operations the step is defined by.
struct GainTable {
    double u[256];
    double inverse[256];
    int32_t limit[256];
    int32_t keepBelow = 256;

    GainTable(double strength, double q4) {
        for (int32_t t = 0; t < 256; ++t) {
            double gain = ((t / strength) / q4) * 0.5;
            if (gain < 1) gain = 1;
            u[t] = gain;
            inverse[t] = 1 / gain;
            if (gain != 1 && keepBelow == 256) keepBelow = t;
            int32_t within = 0;
            const double divisor = t == 0 ? 1 : t;
            while (within < 255 && !(std::fabs(static_cast<double>(within + 1) / divisor) > inverse[t])) ++within;
            limit[t] = within;
        }
    }
};

// The step for one pixel, as defined: the reference for the row loop below, and the path that
// adds grain (which must draw in memory order).
inline uint8_t Stretch(int32_t v, int32_t g, int32_t mx, int32_t mn, const GainTable& gains, int32_t grain) {
    const int32_t mid = (mx + mn + 1) / 2;
    int32_t t = mx - mid;
    if (t == 0) t = 1;
    const double u = gains.u[t];
    if (u == 1) return static_cast<uint8_t>(g);
    const int32_t dv = v - mid;
    // A real quotient: in integers the test below would let the stretch leave the local range.
    const double delta = static_cast<double>(dv) / t;
    int64_t out;
    if (std::fabs(delta) > gains.inverse[t]) {
        out = delta > 0 ? mx : mn;
    } else {
        out = static_cast<int64_t>(static_cast<double>(mid) + u * static_cast<double>(dv));
        if (grain != 0) out += GrainValue(static_cast<int32_t>(u * grain));
    }
    return static_cast<uint8_t>(std::clamp<int64_t>(out, 0, 255));
}

// The same step for a row without grain, with the decisions taken from the table. Where the
// local range is small the gain is 1 and the guide is the result: that is most of a photograph,
// so chunks of pixels are first checked for it together (t = (mx - mn) / 2, at least 1).
KV_ALWAYS_INLINE void StretchRowBody(const uint8_t* __restrict v, const uint8_t* __restrict g,
                                     const uint8_t* __restrict mx, const uint8_t* __restrict mn, int32_t n,
                                     const GainTable& gains, uint8_t* __restrict out) {
    constexpr int32_t kChunk = 64;
    for (int32_t x0 = 0; x0 < n; x0 += kChunk) {
        const int32_t count = std::min(kChunk, n - x0);
        uint8_t widest = 0;
        for (int32_t x = x0; x < x0 + count; ++x) widest = std::max<uint8_t>(widest, static_cast<uint8_t>(mx[x] - mn[x]));
        if (std::max(widest >> 1, 1) < gains.keepBelow) {
            std::memcpy(out + x0, g + x0, static_cast<size_t>(count));
            continue;
        }
        for (int32_t x = x0; x < x0 + count; ++x) {
            const int32_t hi = mx[x];
            const int32_t lo = mn[x];
            const int32_t mid = (hi + lo + 1) >> 1;
            int32_t t = hi - mid;
            t = t == 0 ? 1 : t;
            if (t < gains.keepBelow) {
                out[x] = g[x];
                continue;
            }
            const int32_t dv = v[x] - mid;
            const int32_t magnitude = dv < 0 ? -dv : dv;
            int32_t r;
            if (magnitude > gains.limit[t])
                r = dv > 0 ? hi : lo;
            else
                r = static_cast<int32_t>(static_cast<double>(mid) + gains.u[t] * static_cast<double>(dv));
            out[x] = static_cast<uint8_t>(r < 0 ? 0 : (r > 255 ? 255 : r));
        }
    }
}

KV_VECTOR_VARIANTS(void, RowRange,
                   (const uint8_t* g, int32_t width, const WindowAxis& ax, uint8_t* mx, uint8_t* mn, uint8_t* scratch),
                   (g, width, ax, mx, mn, scratch))
KV_VECTOR_VARIANTS(void, DoubleColumns,
                   (uint8_t * a, uint8_t* b, int32_t rows, int32_t len, size_t stride, size_t width),
                   (a, b, rows, len, stride, width))
KV_VECTOR_VARIANTS(void, PairRange,
                   (const uint8_t* a0, const uint8_t* a1, const uint8_t* b0, const uint8_t* b1, size_t n, uint8_t* mx,
                    uint8_t* mn),
                   (a0, a1, b0, b1, n, mx, mn))
KV_VECTOR_VARIANTS(void, ColumnRange,
                   (const uint8_t* rowMax, const uint8_t* rowMin, int32_t count, int32_t width, uint8_t* mx,
                    uint8_t* mn),
                   (rowMax, rowMin, count, width, mx, mn))
KV_VECTOR_VARIANTS(void, StretchRow,
                   (const uint8_t* v, const uint8_t* g, const uint8_t* mx, const uint8_t* mn, int32_t n,
                    const GainTable& gains, uint8_t* out),
                   (v, g, mx, mn, n, gains, out))

}  // namespace

bool RangeClamp(uint8_t* plane, const uint8_t* guide, int32_t width, int32_t height, int32_t windowWidth,
                int32_t windowHeight, double wr, double hr, double strength, CRSProgress* progress, int32_t grain) {
    if (width <= 0 || height <= 0) return true;
    const size_t w = static_cast<size_t>(width);
    const WindowAxis ax(windowWidth, width);
    const WindowAxis ay(windowHeight, height);
    const GainTable gains(strength, std::sqrt(std::sqrt(wr * hr)));
    const auto rowRange = KV_PICK_VARIANT(RowRange);
    const auto columnRange = KV_PICK_VARIANT(ColumnRange);
    const auto doubleColumns = KV_PICK_VARIANT(DoubleColumns);
    const auto pairRange = KV_PICK_VARIANT(PairRange);
    const auto stretchRow = KV_PICK_VARIANT(StretchRow);

    // Every read must see the step's input: when the plane is its own guide, read from a copy.
    std::unique_ptr<uint8_t[]> copy;
    if (guide == plane) {
        copy = TryAllocate<uint8_t>(w * static_cast<size_t>(height));
        if (!copy) {
            OutOfMemoryFlag.store(1);
            return false;
        }
        std::memcpy(copy.get(), plane, w * static_cast<size_t>(height));
        guide = copy.get();
    }
    const uint8_t* values = copy ? copy.get() : plane;

    // A window as tall as the whole plane is the same for every row: find it once.
    std::unique_ptr<uint8_t[]> wholeColumns;
    if (ay.whole) {
        wholeColumns = TryAllocate<uint8_t>(6 * w);
        if (!wholeColumns) {
            OutOfMemoryFlag.store(1);
            return false;
        }
        uint8_t* colMax = wholeColumns.get();
        uint8_t* colMin = colMax + w;
        uint8_t* rowMax = colMin + w;
        uint8_t* rowMin = rowMax + w;
        std::memset(colMax, 0, w);
        std::memset(colMin, 255, w);
        for (int32_t y = 0; y < height; ++y) {
            rowRange(guide + static_cast<size_t>(y) * w, width, ax, rowMax, rowMin, rowMin + w);
            for (size_t x = 0; x < w; ++x) {
                colMax[x] = std::max(colMax[x], rowMax[x]);
                colMin[x] = std::min(colMin[x], rowMin[x]);
            }
        }
    }

    // A window taller than a scan is worth is doubled over whole planes of row ranges, found once:
    // per band, its rows would be found again and again, and their copies would outgrow the plane.
    const int32_t windowRows = 2 * ay.half + 1;
    const bool tall = !ay.whole && windowRows > kScannedWindow;
    std::unique_ptr<uint8_t[]> ranges;
    int32_t doubledRows = 1;  // the row ranges then hold the ranges of this many rows
    while (2 * doubledRows <= windowRows) doubledRows *= 2;
    if (tall) {
        const size_t planeSize = w * static_cast<size_t>(height);
        ranges = TryAllocate<uint8_t>(2 * planeSize);
        if (!ranges) {
            OutOfMemoryFlag.store(1);
            return false;
        }
        uint8_t* rowMax = ranges.get();
        uint8_t* rowMin = rowMax + planeSize;
        const bool found = ParallelRange(0, height, 8, [&](int32_t begin, int32_t end) {
            auto scratch = TryAllocate<uint8_t>(2 * w);
            if (!scratch) return false;
            for (int32_t y = begin; y < end; ++y) {
                const size_t row = static_cast<size_t>(y) * w;
                rowRange(guide + row, width, ax, rowMax + row, rowMin + row, scratch.get());
            }
            return true;
        });
        constexpr int32_t kColumnChunk = 256;
        const bool doubled = found && ParallelRange(0, (width + kColumnChunk - 1) / kColumnChunk, 1, [&](int32_t c0, int32_t c1) {
            const size_t x0 = static_cast<size_t>(c0) * kColumnChunk;
            const size_t x1 = std::min(w, static_cast<size_t>(c1) * kColumnChunk);
            doubleColumns(rowMax + x0, rowMin + x0, height, windowRows, w, x1 - x0);
            return true;
        });
        if (!doubled) {
            OutOfMemoryFlag.store(1);
            return false;
        }
    }

    const auto rows = [&](int32_t begin, int32_t end) {
        const uint8_t* mx = nullptr;
        const uint8_t* mn = nullptr;
        std::unique_ptr<uint8_t[]> scratch;
        uint8_t* rowMax = nullptr;
        uint8_t* rowMin = nullptr;
        int32_t firstGuideRow = 0;
        if (ay.whole) {
            mx = wholeColumns.get();
            mn = mx + w;
        } else if (tall) {
            scratch = TryAllocate<uint8_t>(2 * w);
            if (!scratch) return false;
            rowMax = ranges.get();
            rowMin = rowMax + w * static_cast<size_t>(height);
        } else {
            // The row ranges of every guide row that a window of these rows reaches.
            firstGuideRow = ay.Centre(begin) - ay.half;
            const size_t guideRows = static_cast<size_t>(ay.Centre(end - 1) + ay.half - firstGuideRow + 1);
            scratch = TryAllocate<uint8_t>((2 * guideRows + 4) * w);
            if (!scratch) return false;
            rowMax = scratch.get() + 4 * w;
            rowMin = rowMax + guideRows * w;
            for (size_t r = 0; r < guideRows; ++r)
                rowRange(guide + (static_cast<size_t>(firstGuideRow) + r) * w, width, ax, rowMax + r * w,
                         rowMin + r * w, scratch.get() + 2 * w);
        }
        int32_t lastCentre = -1;
        for (int32_t y = begin; y < end; ++y) {
            if (!ay.whole) {
                const int32_t centre = ay.Centre(y);
                if (centre != lastCentre) {
                    const size_t top = static_cast<size_t>(centre - ay.half - firstGuideRow) * w;
                    if (tall) {
                        const size_t other = top + static_cast<size_t>(windowRows - doubledRows) * w;
                        pairRange(rowMax + top, rowMax + other, rowMin + top, rowMin + other, w, scratch.get(),
                                  scratch.get() + w);
                    } else {
                        columnRange(rowMax + top, rowMin + top, windowRows, width, scratch.get(), scratch.get() + w);
                    }
                    mx = scratch.get();
                    mn = mx + w;
                    lastCentre = centre;
                }
            }
            const size_t row = static_cast<size_t>(y) * w;
            if (grain == 0) {
                stretchRow(values + row, guide + row, mx, mn, width, gains, plane + row);
            } else {
                for (size_t x = 0; x < w; ++x)
                    plane[row + x] = Stretch(values[row + x], guide[row + x], mx[x], mn[x], gains, grain);
            }
        }
        return true;
    };
    // The grain draws from one generator in memory order: it keeps the rows on this thread.
    const auto work = [&](int32_t begin, int32_t end) {
        return grain != 0 ? rows(begin, end) : ParallelRange(begin, end, 8, rows);
    };
    return RunBanded(height, BandLength(height), progress, work, [&](int32_t y) { return PercentOf(y, height); });
}

}  // namespace kv
