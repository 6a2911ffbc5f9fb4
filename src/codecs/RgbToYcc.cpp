#include "codecs/RgbToYcc.h"

namespace SlimJpeg {

const RgbTables& EncoderColourTables() {
    static const RgbTables tables = [] {
        RgbTables t;
        for (int32_t d = -255; d <= 255; ++d) {
            t.yr[d + 255] = ((306 * d + 128) >> 8) + 2;
            t.yb[d + 255] = (117 * d + 128) >> 8;
            t.cb[d + 255] = ((256 - 173 * d) >> 9) + 1;
            t.cr[d + 255] = ((256 - 83 * d) >> 9) + 1;
        }
        return t;
    }();
    return tables;
}

RowSampler::RowSampler(bool colour, std::vector<Component> components, int hmax, int vmax, int mcusPerRow,
                       int coefficientsPerMcu)
    : colour_(colour),
      components_(std::move(components)),
      hmax_(hmax),
      vmax_(vmax),
      mcusPerRow_(mcusPerRow),
      coefficientsPerMcu_(coefficientsPerMcu) {
    for (const Component& c : components_) {
        std::vector<int32_t> index;
        for (int y = 0; y < 8 * vmax; ++y)
            for (int x = 0; x < 8 * hmax; ++x) index.push_back(c.map.At(x, y));
        indices_.push_back(std::move(index));
    }
}

void RowSampler::Sample(const uint8_t* const* rows, int16_t* samples) const {
    const int mcuWidth = 8 * hmax_;
    const int mcuHeight = 8 * vmax_;
    if (!colour_) {
        const int32_t* index = indices_[0].data();
        for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
            int16_t* const base = samples + static_cast<ptrdiff_t>(mcu) * coefficientsPerMcu_;
            for (int y = 0, p = 0; y < mcuHeight; ++y) {
                const uint8_t* in = rows[y] + mcu * mcuWidth;
                for (int x = 0; x < mcuWidth; ++x, ++p) base[index[p]] = in[x];
            }
        }
        return;
    }
    const RgbTables& t = EncoderColourTables();
    const int32_t* indexY = indices_[0].data();
    const int32_t* indexCb = indices_[1].data();
    const int32_t* indexCr = indices_[2].data();
    for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
        int16_t* const base = samples + static_cast<ptrdiff_t>(mcu) * coefficientsPerMcu_;
        for (int y = 0, p = 0; y < mcuHeight; ++y) {
            const uint8_t* in = rows[y] + 3 * mcu * mcuWidth;
            for (int x = 0; x < mcuWidth; ++x, ++p, in += 3) {
                const int32_t r = in[0], g = in[1], b = in[2];
                const int32_t dr = r - g + 255;
                const int32_t db = b - g + 255;
                int16_t& lum = base[indexY[p]];
                int16_t& cb = base[indexCb[p]];
                int16_t& cr = base[indexCr[p]];
                lum = static_cast<int16_t>(lum + g + (t.yr[dr] + t.yb[db]) / 4);
                cb = static_cast<int16_t>(cb + (t.cb[dr] + db + 1) / 2);
                cr = static_cast<int16_t>(cr + (t.cr[db] + dr + 1) / 2);
            }
        }
    }
    // A sample that gathered several pixels becomes their mean.
    const int full = hmax_ * vmax_;
    for (const Component& c : components_) {
        const int divisor = full / (c.h * c.v);
        if (divisor <= 1) continue;
        // The component's blocks lie one after another from the map's first row offset on.
        const int first = c.map.rows[0];
        for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
            int16_t* const s = samples + static_cast<ptrdiff_t>(mcu) * coefficientsPerMcu_ + first;
            for (int i = 0; i < 64 * c.h * c.v; ++i) s[i] = static_cast<int16_t>(s[i] / divisor);
        }
    }
}

}  // namespace SlimJpeg
