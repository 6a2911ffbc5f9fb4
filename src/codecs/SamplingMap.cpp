#include "codecs/SamplingMap.h"

namespace SlimJpeg {

SamplingMap MakeSamplingMap(int h, int v, int hmax, int vmax, int firstBlock) {
    SamplingMap map;
    map.rows.resize(static_cast<size_t>(8 * vmax));
    map.cols.resize(static_cast<size_t>(8 * hmax));
    for (int y = 0; y < 8 * vmax; ++y) {
        const int sy = (2 * y + 1) * v / (2 * vmax);
        map.rows[y] = 64 * (firstBlock + h * (sy / 8)) + 8 * (sy % 8);
    }
    for (int x = 0; x < 8 * hmax; ++x) {
        const int sx = (2 * x + 1) * h / (2 * hmax);
        map.cols[x] = 64 * (sx / 8) + sx % 8;
    }
    return map;
}

}  // namespace SlimJpeg
