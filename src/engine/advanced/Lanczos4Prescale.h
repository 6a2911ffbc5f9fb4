#pragma once

// The first step of the advanced enlarger: the source resampled to the destination size with a
// Lanczos kernel of radius 4, all channels together, in 12-bit fixed point.

#include <array>
#include <cstdint>

#include "engine/advanced/AdvancedCommon.h"

namespace kv::advanced {

// A pixel buffer of 1 or 3 bytes a pixel, rows `stride` bytes apart (stride >= channels * width).
struct PixelRows {
    const uint8_t* pixels = nullptr;
    int32_t stride = 0;
    int32_t width = 0;
    int32_t height = 0;
};
struct MutablePixelRows {
    uint8_t* pixels = nullptr;
    int32_t stride = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Entry t of phase p (the position's fraction in 1/256) is the kernel weight at distance
// (t - 3) - p / 256 in 1/4096 units. The tables do not sum exactly to 4096.
using Lanczos4Weights = std::array<std::array<int32_t, 8>, 256>;
const Lanczos4Weights& Lanczos4WeightTable();

// Resamples src into dst (both with `channels` = 1 or 3 bytes a pixel). Rows are computed in
// parallel bands, each checking the stop flag before every row; a stopped call leaves the rows it
// did not reach untouched. False only when a scratch buffer was not available.
bool Lanczos4Prescale(const MutablePixelRows& dst, const PixelRows& src, int32_t channels, const StopFlag& stop);
bool Lanczos4Prescale(const MutablePixelRows& dst, const PixelRows& src, int32_t channels, const StopFlag& stop,
                      KernelPath path);

}  // namespace kv::advanced
