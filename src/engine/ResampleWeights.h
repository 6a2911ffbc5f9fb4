#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kv::resample {

// Weights are fixed point with this many fractional bits; each output pixel's weights sum to
// exactly 1 << kWeightBits, so a constant image stays exactly constant. 14 bits leave room for the
// negative lobes of the cubics (a folded weight stays below 1.25) inside an int16.
inline constexpr int kWeightBits = 14;
inline constexpr int32_t kWeightOne = 1 << kWeightBits;

// The rows between the two passes keep this many fractional bits, so the second pass rounds only
// once and an exact box average stays exact. 255 << 7 still fits an int16 with a spare bit.
inline constexpr int kMidBits = 7;
inline constexpr int16_t kMidMax = 255 << kMidBits;

enum class Filter : uint8_t {
    Box,            // exact area coverage; only meaningful when widened on reductions
    Triangle,       // linear interpolation, radius 1
    CubicSharp,     // Keys cubic convolution with a = -0.75, radius 2
    CatmullRom,     // Keys cubic convolution with a = -0.5, radius 2
};

// One direction of a separable resample: for every output pixel the first source pixel, how many
// consecutive source pixels it reads and their weights. Taps beyond the source's edges are
// folded back onto the mirrored pixels, so every tap lies inside the source.
struct WeightTable {
    int32_t outCount = 0;
    int32_t stride = 0;    // weights stored per output pixel: the largest count, rounded up to 4
    int32_t maxCount = 0;
    std::vector<int32_t> first;
    std::vector<int32_t> count;
    std::vector<int16_t> weights;  // outCount * stride, zero past each count
    double footprint = 0;          // source pixels under the filter of one output pixel
    std::vector<int32_t> vectorWeights;  // the weights laid out for the vector kernels, when they run

    const int16_t* Weights(int32_t i) const { return weights.data() + static_cast<ptrdiff_t>(i) * stride; }
};

// The mirrored index of j in a line of n pixels: ... 2 1 0 | 0 1 2 ... n-1 | n-1 n-2 ...
int64_t MirrorIndex(int64_t j, int64_t n);

// Builds the table that maps the source span [start, start + length) onto outCount pixels, pixel
// centres aligned. A widened filter is stretched by the reduction factor when reducing, so it
// averages everything under an output pixel; otherwise the filter keeps its own width. Throws
// std::bad_alloc when the table does not fit in memory.
WeightTable BuildWeightTable(Filter filter, bool widen, double start, double length, int32_t outCount,
                             int32_t srcCount);

// The most source pixels one output pixel of such a table reads.
int32_t MaxTapCount(Filter filter, bool widen, double length, int32_t outCount, int32_t srcCount);

// The mirrored source pixel whose area holds each output pixel's centre (nearest neighbour).
std::vector<int32_t> NearestIndices(double start, double length, int32_t outCount, int32_t srcCount);

}  // namespace kv::resample
