#pragma once

#include <cstdint>

namespace kv {

// How many passes a range resize reports per channel, for the progress sink's stage count: the
// source copy, each resampling, blur, range, area and sharpening pass that reports progress, and
// the destination copy. min and max are the smaller and larger of the two destination/source
// ratios.
namespace lanczos {
int32_t StageCount(double min, double max);
}
namespace cubic {
int32_t StageCount(double min, double max);
}

}  // namespace kv
