#include "codecs/YccToRgb.h"

namespace SlimJpeg {

const YccTables& DecoderColourTables() {
    static const YccTables tables = [] {
        YccTables t;
        for (int32_t i = 0; i < 256; ++i) {
            t.r[i] = (1436 * i - 183296) >> 10;
            t.b[i] = (1815 * i - 231808) >> 10;
            t.gr[i] = (93696 - 731 * i) >> 8;
            t.gb[i] = ((45184 - 352 * i) >> 8) + 2;
        }
        return t;
    }();
    return tables;
}

RowConverter::RowConverter(Kind kind, const std::vector<SamplingMap>& maps, int width, int mcuWidth,
                           int coefficientsPerMcu)
    : kind_(kind), width_(width) {
    for (const SamplingMap& map : maps) {
        rowParts_.push_back(map.rows);
        std::vector<int32_t> columns(static_cast<size_t>(width));
        for (int x = 0; x < width; ++x) columns[x] = (x / mcuWidth) * coefficientsPerMcu + map.cols[x % mcuWidth];
        columns_.push_back(std::move(columns));
    }
}

namespace {

inline uint8_t Clamp(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

}  // namespace

void RowConverter::Convert(const int16_t* samples, int count, uint8_t* const* rows) const {
    const int width = width_;
    if (kind_ == Kind::Grey) {
        const int32_t* col = columns_[0].data();
        for (int y = 0; y < count; ++y) {
            const int16_t* src = samples + rowParts_[0][y];
            uint8_t* out = rows[y];
            for (int x = 0; x < width; ++x) out[x] = static_cast<uint8_t>(src[col[x]]);
        }
        return;
    }
    const int32_t* col0 = columns_[0].data();
    const int32_t* col1 = columns_[1].data();
    const int32_t* col2 = columns_[2].data();
    if (kind_ == Kind::Plain) {
        for (int y = 0; y < count; ++y) {
            const int16_t* s0 = samples + rowParts_[0][y];
            const int16_t* s1 = samples + rowParts_[1][y];
            const int16_t* s2 = samples + rowParts_[2][y];
            uint8_t* out = rows[y];
            for (int x = 0; x < width; ++x, out += 3) {
                out[0] = static_cast<uint8_t>(s0[col0[x]]);
                out[1] = static_cast<uint8_t>(s1[col1[x]]);
                out[2] = static_cast<uint8_t>(s2[col2[x]]);
            }
        }
        return;
    }
    const YccTables& t = DecoderColourTables();
    for (int y = 0; y < count; ++y) {
        const int16_t* sy = samples + rowParts_[0][y];
        const int16_t* sb = samples + rowParts_[1][y];
        const int16_t* sr = samples + rowParts_[2][y];
        uint8_t* out = rows[y];
        for (int x = 0; x < width; ++x, out += 3) {
            // Samples leave the inverse transform clamped to 0..255, so they index the tables safely.
            const int32_t lum = sy[col0[x]];
            const int cb = static_cast<uint8_t>(sb[col1[x]]);
            const int cr = static_cast<uint8_t>(sr[col2[x]]);
            out[0] = Clamp(lum + t.r[cr]);
            out[1] = Clamp(lum + (t.gr[cr] + t.gb[cb]) / 4);
            out[2] = Clamp(lum + t.b[cb]);
        }
    }
}

}  // namespace SlimJpeg
