#pragma once

#include <cstdint>
#include <functional>

namespace kv {

class CRSProgress;

// The strength c of the range resizes: 103 / (sharpness^2 / 100 + 3). Smaller is stronger.
double RangeStrength(double sharpness);

// The ratios of a plane resize: wr = dstWidth / srcWidth, hr = dstHeight / srcHeight.
struct ResizeRatios {
    double wr;
    double hr;
    double min;
    double max;
};
ResizeRatios RatiosOf(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight);

// The amount of the final 3x3 sharpening from the smaller ratio: trunc(50 / c) after a reduction
// to half or less, trunc((min + 1.5) * 20 / sqrt(c)) up to 1.5; 0 from 1.5 on (no sharpening).
int32_t PostSharpenAmount(double min, double strength);

// The interpolating core of a range resize: dst (dstWidth x dstHeight) from src.
using PlaneCore = std::function<bool(uint8_t* dst, const uint8_t* src, int32_t dstWidth, int32_t dstHeight,
                                     int32_t srcWidth, int32_t srcHeight)>;

// The staging both range resizes share. Reductions to half or less in both directions average
// box areas (rows, then columns) and sharpen with amount 25; sizes within 1.5 in both directions,
// or beyond it in both, run the core directly; an enlargement beyond 1.5 in one direction only
// runs the core into an intermediate enlarged by exactly 1.5 in the other, then averages that
// direction down to the destination. Then the final sharpening, or, from 1.5 on, grain. Clears
// OutOfMemoryFlag at the start.
bool StagedPlaneResize(uint8_t* dst, const uint8_t* src, int32_t dstWidth, int32_t dstHeight, int32_t srcWidth,
                       int32_t srcHeight, double strength, int32_t grain, const PlaneCore& core,
                       CRSProgress* progress);

}  // namespace kv
