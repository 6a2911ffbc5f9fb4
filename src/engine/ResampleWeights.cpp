#include "engine/ResampleWeights.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace kv::resample {

namespace {

double Radius(Filter filter) {
    switch (filter) {
        case Filter::Box: return 0.5;
        case Filter::Triangle: return 1.0;
        case Filter::CubicSharp:
        case Filter::CatmullRom: return 2.0;
    }
    return 1.0;
}

double Cubic(double x, double a) {
    if (x < 1.0) return ((a + 2.0) * x - (a + 3.0)) * x * x + 1.0;
    if (x < 2.0) return (((x - 5.0) * x + 8.0) * x - 4.0) * a;
    return 0.0;
}

// The filter's weight for a source pixel whose centre lies x filter widths from the sample point.
double Kernel(Filter filter, double x) {
    x = std::fabs(x);
    switch (filter) {
        case Filter::Box: return x < 0.5 ? 1.0 : (x == 0.5 ? 0.5 : 0.0);
        case Filter::Triangle: return x < 1.0 ? 1.0 - x : 0.0;
        case Filter::CubicSharp: return Cubic(x, -0.75);
        case Filter::CatmullRom: return Cubic(x, -0.5);
    }
    return 0.0;
}

// The part of the source pixel [j, j + 1) that lies inside [lo, hi).
double Overlap(int64_t j, double lo, double hi) {
    const double left = std::max(static_cast<double>(j), lo);
    const double right = std::min(static_cast<double>(j) + 1.0, hi);
    return right > left ? right - left : 0.0;
}

// Quantises the folded weights of one output pixel so they sum to exactly kWeightOne; the rounding
// remainder goes to the largest weight, where it disturbs the shape least.
void Quantise(const std::vector<double>& folded, double total, std::vector<int32_t>& out) {
    out.assign(folded.size(), 0);
    int32_t sum = 0;
    size_t largest = 0;
    for (size_t k = 0; k < folded.size(); ++k) {
        out[k] = static_cast<int32_t>(std::lround(folded[k] / total * kWeightOne));
        sum += out[k];
        if (std::fabs(folded[k]) > std::fabs(folded[largest])) largest = k;
    }
    out[largest] += kWeightOne - sum;
}

}  // namespace

int64_t MirrorIndex(int64_t j, int64_t n) {
    const int64_t period = 2 * n;
    int64_t m = j % period;
    if (m < 0) m += period;
    return m < n ? m : period - 1 - m;
}

int32_t MaxTapCount(Filter filter, bool widen, double length, int32_t outCount, int32_t srcCount) {
    const double scale = length / outCount;
    const double support = Radius(filter) * (widen ? std::max(scale, 1.0) : 1.0);
    // Taps run from floor(c - support - 0.5) to ceil(c + support - 0.5); folding keeps them in one
    // run no longer than that, and never longer than the source.
    const double taps = std::ceil(2.0 * support) + 3.0;
    return static_cast<int32_t>(std::min<double>(taps, std::max(srcCount, 1)));
}

WeightTable BuildWeightTable(Filter filter, bool widen, double start, double length, int32_t outCount,
                             int32_t srcCount) {
    const double scale = length / outCount;
    const double filterScale = widen ? std::max(scale, 1.0) : 1.0;
    const double support = Radius(filter) * filterScale;

    // The rows are written straight into a table laid out for the longest run a row can have,
    // then packed to the longest run that occurred: the table never holds more than the output
    // times the filter's reach.
    const int32_t bound = MaxTapCount(filter, widen, length, outCount, srcCount);
    const int32_t boundStride = (bound + 3) & ~3;
    WeightTable table;
    table.outCount = outCount;
    table.footprint = 2.0 * support;
    table.first.resize(static_cast<size_t>(outCount));
    table.count.resize(static_cast<size_t>(outCount));
    table.weights.assign(static_cast<size_t>(outCount) * static_cast<size_t>(boundStride), 0);

    std::vector<std::pair<int64_t, double>> taps;
    std::vector<double> folded;
    std::vector<int32_t> quantised;
    int32_t maxCount = 1;

    for (int32_t i = 0; i < outCount; ++i) {
        const double centre = start + (i + 0.5) * scale;
        const auto lo = static_cast<int64_t>(std::floor(centre - support - 0.5));
        const auto hi = static_cast<int64_t>(std::ceil(centre + support - 0.5));
        taps.clear();
        int64_t minIndex = srcCount;
        int64_t maxIndex = -1;
        for (int64_t j = lo; j <= hi; ++j) {
            const double w = filter == Filter::Box ? Overlap(j, centre - support, centre + support)
                                                   : Kernel(filter, (j + 0.5 - centre) / filterScale);
            if (w == 0.0) continue;
            const int64_t m = MirrorIndex(j, srcCount);
            taps.emplace_back(m, w);
            minIndex = std::min(minIndex, m);
            maxIndex = std::max(maxIndex, m);
        }
        // Consecutive taps mirror onto neighbouring pixels, so the folded taps form one run.
        folded.assign(maxIndex >= minIndex ? static_cast<size_t>(maxIndex - minIndex + 1) : 0, 0.0);
        double total = 0.0;
        for (const auto& [m, w] : taps) {
            folded[static_cast<size_t>(m - minIndex)] += w;
            total += w;
        }
        int16_t* row = table.weights.data() + static_cast<ptrdiff_t>(i) * boundStride;
        if (!(total > 0.0)) {
            table.first[static_cast<size_t>(i)] =
                static_cast<int32_t>(MirrorIndex(static_cast<int64_t>(std::floor(centre)), srcCount));
            table.count[static_cast<size_t>(i)] = 1;
            row[0] = static_cast<int16_t>(kWeightOne);
            continue;
        }
        Quantise(folded, total, quantised);
        // Rounding can zero the outermost weights; they would only cost time.
        size_t begin = 0;
        size_t end = quantised.size();
        while (begin < end && quantised[begin] == 0) ++begin;
        while (end > begin && quantised[end - 1] == 0) --end;
        const auto count = static_cast<int32_t>(std::min<size_t>(end - begin, static_cast<size_t>(bound)));
        table.first[static_cast<size_t>(i)] = static_cast<int32_t>(minIndex + static_cast<int64_t>(begin));
        table.count[static_cast<size_t>(i)] = count;
        for (int32_t k = 0; k < count; ++k) row[k] = static_cast<int16_t>(quantised[begin + static_cast<size_t>(k)]);
        maxCount = std::max(maxCount, count);
    }

    table.maxCount = maxCount;
    table.stride = (maxCount + 3) & ~3;
    if (table.stride < boundStride) {
        // Pack the rows front to back: each one moves to a place no later than its own.
        for (int32_t i = 0; i < outCount; ++i) {
            const int16_t* from = table.weights.data() + static_cast<ptrdiff_t>(i) * boundStride;
            int16_t* to = table.weights.data() + static_cast<ptrdiff_t>(i) * table.stride;
            std::copy(from, from + table.stride, to);
        }
        table.weights.resize(static_cast<size_t>(outCount) * static_cast<size_t>(table.stride));
        table.weights.shrink_to_fit();
    }
    return table;
}

std::vector<int32_t> NearestIndices(double start, double length, int32_t outCount, int32_t srcCount) {
    const double scale = length / outCount;
    std::vector<int32_t> indices(static_cast<size_t>(outCount));
    for (int32_t i = 0; i < outCount; ++i) {
        const double centre = start + (i + 0.5) * scale;
        indices[static_cast<size_t>(i)] =
            static_cast<int32_t>(MirrorIndex(static_cast<int64_t>(std::floor(centre)), srcCount));
    }
    return indices;
}

}  // namespace kv::resample
