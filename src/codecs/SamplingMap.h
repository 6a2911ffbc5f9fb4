#pragma once

#include <cstddef>
#include <vector>

namespace SlimJpeg {

// Where each pixel of an MCU finds (decoder) or leaves (encoder) its sample of one component: the
// index within the MCU's coefficient area of sample (sx, sy), with
//   sy = floor((2y + 1) V / (2 Vmax)),  sx = floor((2x + 1) H / (2 Hmax)),
// that is nearest-sample replication with the sample grid centred on the pixel grid. The index
//   64 (first + H floor(sy/8) + floor(sx/8)) + 8 (sy mod 8) + (sx mod 8)
// splits into a part that depends on y only and a part that depends on x only, which is how it is
// kept.
struct SamplingMap {
    std::vector<int> rows;  // per pixel row of the MCU
    std::vector<int> cols;  // per pixel column of the MCU

    int At(int x, int y) const { return rows[y] + cols[x]; }
};

SamplingMap MakeSamplingMap(int h, int v, int hmax, int vmax, int firstBlock);

}  // namespace SlimJpeg
