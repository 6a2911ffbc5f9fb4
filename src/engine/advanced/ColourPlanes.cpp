#include "engine/advanced/ColourPlanes.h"

#include <algorithm>
#include <cstring>

namespace kv::advanced {

bool ColourPlanes::Allocate(int32_t width, int32_t height, int32_t channels) {
    const size_t plane = static_cast<size_t>(width) * static_cast<size_t>(height);
    block_ = TryAllocate<uint8_t>(plane * static_cast<size_t>(channels));
    if (!block_) return false;
    channels_ = channels;
    for (int32_t i = 0; i < 3; ++i)
        planes_[i] = i < channels ? PlaneRef{block_.get() + plane * static_cast<size_t>(i), width, height} : PlaneRef{};
    return true;
}

void FillColourPlanes(const ColourPlanes& planes, const PixelRows& raster) {
    const PlaneRef& luma = planes.luma();
    const int32_t channels = planes.channels();
    ForEachBand(luma.height, kTile, [&](int32_t first, int32_t end) {
        for (int32_t y = first; y < end; ++y) {
            const uint8_t* in = raster.pixels + static_cast<ptrdiff_t>(std::min(y, raster.height - 1)) * raster.stride;
            uint8_t* outY = luma.Row(y);
            if (channels == 1) {
                std::memcpy(outY, in, static_cast<size_t>(raster.width));
                std::memset(outY + raster.width, in[raster.width - 1], static_cast<size_t>(luma.width - raster.width));
                continue;
            }
            uint8_t* outB = planes.blueDiff().Row(y);
            uint8_t* outR = planes.redDiff().Row(y);
            for (int32_t x = 0; x < raster.width; ++x) {
                const uint8_t* p = in + 3 * static_cast<ptrdiff_t>(x);
                const Ycc c = ToYcc(p[0], p[1], p[2]);
                outY[x] = c.y;
                outB[x] = c.cb;
                outR[x] = c.cr;
            }
            const size_t pad = static_cast<size_t>(luma.width - raster.width);
            std::memset(outY + raster.width, outY[raster.width - 1], pad);
            std::memset(outB + raster.width, outB[raster.width - 1], pad);
            std::memset(outR + raster.width, outR[raster.width - 1], pad);
        }
        return true;
    });
}

void ComposeRaster(const MutablePixelRows& raster, const ColourPlanes& planes, const ColourTables* tables) {
    const ClampTable& clamp = Clamp();
    const int32_t channels = planes.channels();
    ForEachBand(raster.height, kTile, [&](int32_t first, int32_t end) {
        for (int32_t y = first; y < end; ++y) {
            uint8_t* out = raster.pixels + static_cast<ptrdiff_t>(y) * raster.stride;
            const uint8_t* inY = planes.luma().Row(y);
            if (channels == 1) {
                std::memcpy(out, inY, static_cast<size_t>(raster.width));
                continue;
            }
            const uint8_t* inB = planes.blueDiff().Row(y);
            const uint8_t* inR = planes.redDiff().Row(y);
            for (int32_t x = 0; x < raster.width; ++x) {
                const uint8_t y0 = inY[x];
                const uint8_t cb = inB[x];
                const uint8_t cr = inR[x];
                uint8_t* p = out + 3 * static_cast<ptrdiff_t>(x);
                p[0] = tables->blue[y0][cb];
                p[1] = clamp(y0 - tables->green[cb][cr]);
                p[2] = tables->red[y0][cr];
            }
        }
        return true;
    });
}

}  // namespace kv::advanced
