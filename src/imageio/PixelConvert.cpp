#include "imageio/PixelConvert.h"

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <limits>
#include <new>

namespace kv {
namespace {

inline uint16_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

inline uint8_t To8(uint32_t v16) { return static_cast<uint8_t>((v16 + 128) / 257); }
inline uint16_t To16(uint32_t v8) { return static_cast<uint16_t>(v8 * 257); }
inline uint8_t Expand5(uint32_t v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }
inline uint8_t Expand6(uint32_t v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); }
inline uint32_t Reduce5(uint32_t v) { return (v * 31 + 127) / 255; }
inline uint32_t Reduce6(uint32_t v) { return (v * 63 + 127) / 255; }

inline uint8_t Unpremultiply8(uint32_t c, uint32_t a) {
    if (a == 0) return 0;
    return static_cast<uint8_t>(std::min<uint32_t>(255, (c * 255 + a / 2) / a));
}
inline uint8_t Premultiply8(uint32_t c, uint32_t a) { return static_cast<uint8_t>((c * a + 127) / 255); }
inline uint16_t Unpremultiply16(uint64_t c, uint64_t a) {
    if (a == 0) return 0;
    return static_cast<uint16_t>(std::min<uint64_t>(65535, (c * 65535 + a / 2) / a));
}
inline uint16_t Premultiply16(uint64_t c, uint64_t a) { return static_cast<uint16_t>((c * a + 32767) / 65535); }

inline uint32_t PaletteIndex(PixelFormat format, const uint8_t* row, int32_t x) {
    switch (format) {
    case PixelFormat1bppIndexed: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case PixelFormat4bppIndexed: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15u;
    default: return row[x];
    }
}

inline void StoreIndex(PixelFormat format, uint8_t* row, int32_t x, uint32_t index) {
    switch (format) {
    case PixelFormat1bppIndexed: {
        const uint8_t mask = static_cast<uint8_t>(0x80u >> (x & 7));
        row[x >> 3] = static_cast<uint8_t>((row[x >> 3] & ~mask) | (index & 1 ? mask : 0));
        break;
    }
    case PixelFormat4bppIndexed: {
        const int shift = (x & 1) ? 0 : 4;
        row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & ~(0x0F << shift)) | ((index & 15u) << shift));
        break;
    }
    default: row[x] = static_cast<uint8_t>(index);
    }
}

inline uint32_t PaletteEntry(std::span<const uint32_t> palette, uint32_t index) {
    return index < palette.size() ? palette[index] : 0xFF000000u;
}

// One pixel as B,G,R,A bytes.
inline void LoadBgra(PixelFormat format, const uint8_t* row, int32_t x, std::span<const uint32_t> palette,
                     uint8_t* o) {
    switch (format) {
    case PixelFormat1bppIndexed:
    case PixelFormat4bppIndexed:
    case PixelFormat8bppIndexed: {
        const uint32_t c = PaletteEntry(palette, PaletteIndex(format, row, x));
        o[0] = static_cast<uint8_t>(c);
        o[1] = static_cast<uint8_t>(c >> 8);
        o[2] = static_cast<uint8_t>(c >> 16);
        o[3] = static_cast<uint8_t>(c >> 24);
        return;
    }
    case PixelFormat16bppGrayScale: {
        const uint8_t v = To8(Load16(row + 2 * x));
        o[0] = o[1] = o[2] = v;
        o[3] = 255;
        return;
    }
    case PixelFormat16bppRGB555:
    case PixelFormat16bppARGB1555: {
        const uint32_t v = Load16(row + 2 * x);
        o[0] = Expand5(v & 31);
        o[1] = Expand5((v >> 5) & 31);
        o[2] = Expand5((v >> 10) & 31);
        o[3] = (format == PixelFormat16bppRGB555 || (v & 0x8000)) ? 255 : 0;
        return;
    }
    case PixelFormat16bppRGB565: {
        const uint32_t v = Load16(row + 2 * x);
        o[0] = Expand5(v & 31);
        o[1] = Expand6((v >> 5) & 63);
        o[2] = Expand5((v >> 11) & 31);
        o[3] = 255;
        return;
    }
    case PixelFormat24bppRGB: {
        const uint8_t* p = row + 3 * static_cast<ptrdiff_t>(x);
        o[0] = p[0];
        o[1] = p[1];
        o[2] = p[2];
        o[3] = 255;
        return;
    }
    case PixelFormat32bppRGB:
    case PixelFormat32bppARGB: {
        const uint8_t* p = row + 4 * static_cast<ptrdiff_t>(x);
        o[0] = p[0];
        o[1] = p[1];
        o[2] = p[2];
        o[3] = format == PixelFormat32bppRGB ? 255 : p[3];
        return;
    }
    case PixelFormat32bppPARGB: {
        const uint8_t* p = row + 4 * static_cast<ptrdiff_t>(x);
        const uint32_t a = p[3];
        o[0] = Unpremultiply8(p[0], a);
        o[1] = Unpremultiply8(p[1], a);
        o[2] = Unpremultiply8(p[2], a);
        o[3] = static_cast<uint8_t>(a);
        return;
    }
    case PixelFormat48bppRGB: {
        const uint8_t* p = row + 6 * static_cast<ptrdiff_t>(x);
        o[0] = To8(Load16(p));
        o[1] = To8(Load16(p + 2));
        o[2] = To8(Load16(p + 4));
        o[3] = 255;
        return;
    }
    case PixelFormat64bppARGB: {
        const uint8_t* p = row + 8 * static_cast<ptrdiff_t>(x);
        o[0] = To8(Load16(p));
        o[1] = To8(Load16(p + 2));
        o[2] = To8(Load16(p + 4));
        o[3] = To8(Load16(p + 6));
        return;
    }
    case PixelFormat64bppPARGB: {
        const uint8_t* p = row + 8 * static_cast<ptrdiff_t>(x);
        const uint32_t a = Load16(p + 6);
        o[0] = To8(Unpremultiply16(Load16(p), a));
        o[1] = To8(Unpremultiply16(Load16(p + 2), a));
        o[2] = To8(Unpremultiply16(Load16(p + 4), a));
        o[3] = To8(a);
        return;
    }
    case PixelFormat32bppCMYK: {
        const uint8_t* p = row + 4 * static_cast<ptrdiff_t>(x);
        const uint32_t k = 255u - p[3];
        o[0] = static_cast<uint8_t>(((255u - p[2]) * k + 127) / 255);
        o[1] = static_cast<uint8_t>(((255u - p[1]) * k + 127) / 255);
        o[2] = static_cast<uint8_t>(((255u - p[0]) * k + 127) / 255);
        o[3] = 255;
        return;
    }
    default:
        o[0] = o[1] = o[2] = 0;
        o[3] = 255;
    }
}

// Stores one B,G,R,A pixel.
inline void StoreBgra(const uint8_t* in, PixelFormat format, uint8_t* row, int32_t x, PaletteMatcher* matcher) {
    const uint32_t b = in[0], g = in[1], r = in[2], a = in[3];
    switch (format) {
    case PixelFormat1bppIndexed:
    case PixelFormat4bppIndexed:
    case PixelFormat8bppIndexed:
        StoreIndex(format, row, x, matcher ? matcher->Nearest((r << 16) | (g << 8) | b) : 0);
        return;
    case PixelFormat16bppGrayScale:
        // Rec. 601 luma weights in 1/65536ths; they add up to 65536.
        Store16(row + 2 * x, static_cast<uint16_t>((r * 19595 + g * 38470 + b * 7471) * uint64_t{257} / 65536));
        return;
    case PixelFormat16bppRGB555:
    case PixelFormat16bppARGB1555: {
        uint32_t v = Reduce5(b) | (Reduce5(g) << 5) | (Reduce5(r) << 10);
        if (format == PixelFormat16bppARGB1555 && a >= 128) v |= 0x8000;
        Store16(row + 2 * x, static_cast<uint16_t>(v));
        return;
    }
    case PixelFormat16bppRGB565:
        Store16(row + 2 * x, static_cast<uint16_t>(Reduce5(b) | (Reduce6(g) << 5) | (Reduce5(r) << 11)));
        return;
    case PixelFormat24bppRGB: {
        uint8_t* p = row + 3 * static_cast<ptrdiff_t>(x);
        p[0] = static_cast<uint8_t>(b);
        p[1] = static_cast<uint8_t>(g);
        p[2] = static_cast<uint8_t>(r);
        return;
    }
    case PixelFormat32bppRGB:
    case PixelFormat32bppARGB: {
        uint8_t* p = row + 4 * static_cast<ptrdiff_t>(x);
        p[0] = static_cast<uint8_t>(b);
        p[1] = static_cast<uint8_t>(g);
        p[2] = static_cast<uint8_t>(r);
        p[3] = format == PixelFormat32bppRGB ? 255 : static_cast<uint8_t>(a);
        return;
    }
    case PixelFormat32bppPARGB: {
        uint8_t* p = row + 4 * static_cast<ptrdiff_t>(x);
        p[0] = Premultiply8(b, a);
        p[1] = Premultiply8(g, a);
        p[2] = Premultiply8(r, a);
        p[3] = static_cast<uint8_t>(a);
        return;
    }
    case PixelFormat48bppRGB: {
        uint8_t* p = row + 6 * static_cast<ptrdiff_t>(x);
        Store16(p, To16(b));
        Store16(p + 2, To16(g));
        Store16(p + 4, To16(r));
        return;
    }
    case PixelFormat64bppARGB:
    case PixelFormat64bppPARGB: {
        uint8_t* p = row + 8 * static_cast<ptrdiff_t>(x);
        const uint16_t a16 = To16(a);
        if (format == PixelFormat64bppARGB) {
            Store16(p, To16(b));
            Store16(p + 2, To16(g));
            Store16(p + 4, To16(r));
        } else {
            Store16(p, Premultiply16(To16(b), a16));
            Store16(p + 2, Premultiply16(To16(g), a16));
            Store16(p + 4, Premultiply16(To16(r), a16));
        }
        Store16(p + 6, a16);
        return;
    }
    case PixelFormat32bppCMYK: {
        uint8_t* p = row + 4 * static_cast<ptrdiff_t>(x);
        const uint32_t c = 255 - r, m = 255 - g, y = 255 - b;
        const uint32_t k = std::min({c, m, y});
        if (k == 255) {
            p[0] = p[1] = p[2] = 0;
        } else {
            const uint32_t d = 255 - k;
            p[0] = static_cast<uint8_t>(((c - k) * 255 + d / 2) / d);
            p[1] = static_cast<uint8_t>(((m - k) * 255 + d / 2) / d);
            p[2] = static_cast<uint8_t>(((y - k) * 255 + d / 2) / d);
        }
        p[3] = static_cast<uint8_t>(k);
        return;
    }
    default: return;
    }
}

bool IsSixteenBitSampleFormat(PixelFormat format) {
    return format == PixelFormat48bppRGB || format == PixelFormat64bppARGB || format == PixelFormat64bppPARGB ||
           format == PixelFormat16bppGrayScale;
}

// One pixel of a 16-bit-sample format as 16-bit B,G,R,A.
inline void LoadBgra16(PixelFormat format, const uint8_t* row, int32_t x, uint16_t* o) {
    switch (format) {
    case PixelFormat16bppGrayScale:
        o[0] = o[1] = o[2] = Load16(row + 2 * x);
        o[3] = 65535;
        return;
    case PixelFormat48bppRGB: {
        const uint8_t* p = row + 6 * static_cast<ptrdiff_t>(x);
        o[0] = Load16(p);
        o[1] = Load16(p + 2);
        o[2] = Load16(p + 4);
        o[3] = 65535;
        return;
    }
    default: {
        const uint8_t* p = row + 8 * static_cast<ptrdiff_t>(x);
        const uint16_t a = Load16(p + 6);
        for (int i = 0; i < 3; ++i) {
            const uint16_t c = Load16(p + 2 * i);
            o[i] = format == PixelFormat64bppPARGB ? Unpremultiply16(c, a) : c;
        }
        o[3] = a;
    }
    }
}

inline void StoreBgra16(const uint16_t* in, PixelFormat format, uint8_t* row, int32_t x) {
    switch (format) {
    case PixelFormat16bppGrayScale:
        Store16(row + 2 * x, static_cast<uint16_t>((uint64_t{in[2]} * 19595 + uint64_t{in[1]} * 38470 +
                                                    uint64_t{in[0]} * 7471 + 32768) >> 16));
        return;
    case PixelFormat48bppRGB: {
        uint8_t* p = row + 6 * static_cast<ptrdiff_t>(x);
        for (int i = 0; i < 3; ++i) Store16(p + 2 * i, in[i]);
        return;
    }
    default: {
        uint8_t* p = row + 8 * static_cast<ptrdiff_t>(x);
        for (int i = 0; i < 3; ++i)
            Store16(p + 2 * i, format == PixelFormat64bppPARGB ? Premultiply16(in[i], in[3]) : in[i]);
        Store16(p + 6, in[3]);
    }
    }
}

uint32_t Grey(uint32_t v) { return 0xFF000000u | (v << 16) | (v << 8) | v; }

}  // namespace

bool IsKnownPixelFormat(PixelFormat format) {
    switch (format) {
    case PixelFormat1bppIndexed:
    case PixelFormat4bppIndexed:
    case PixelFormat8bppIndexed:
    case PixelFormat16bppGrayScale:
    case PixelFormat16bppRGB555:
    case PixelFormat16bppRGB565:
    case PixelFormat16bppARGB1555:
    case PixelFormat24bppRGB:
    case PixelFormat32bppRGB:
    case PixelFormat32bppARGB:
    case PixelFormat32bppPARGB:
    case PixelFormat48bppRGB:
    case PixelFormat64bppARGB:
    case PixelFormat64bppPARGB:
    case PixelFormat32bppCMYK: return true;
    default: return false;
    }
}

int32_t PixelRowStride(PixelFormat format, int32_t width) {
    if (!IsKnownPixelFormat(format) || width <= 0) return 0;
    const int64_t bytes = ((static_cast<int64_t>(width) * GetPixelFormatSize(format) + 31) / 32) * 4;
    return bytes > std::numeric_limits<int32_t>::max() ? 0 : static_cast<int32_t>(bytes);
}

bool AllocatePixels(PixelBuffer& buffer, int32_t width, int32_t height, PixelFormat format, bool zeroFill) {
    buffer = PixelBuffer{};
    const int32_t stride = PixelRowStride(format, width);
    if (stride == 0 || height <= 0) return false;
    const uint64_t bytes = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height);
    if (bytes > std::numeric_limits<size_t>::max() / 2) return false;
    buffer.data.reset(static_cast<uint8_t*>(zeroFill ? std::calloc(static_cast<size_t>(bytes), 1)
                                                     : std::malloc(static_cast<size_t>(bytes))));
    if (!buffer.data) return false;
    buffer.width = width;
    buffer.height = height;
    buffer.stride = stride;
    buffer.format = format;
    if (IsIndexedPixelFormat(format)) buffer.palette = GreyPalette(format);
    return true;
}

std::vector<uint32_t> GreyPalette(PixelFormat format) {
    if (!IsIndexedPixelFormat(format)) return {};
    const uint32_t n = 1u << GetPixelFormatSize(format);
    std::vector<uint32_t> palette(n);
    for (uint32_t i = 0; i < n; ++i) palette[i] = Grey(i * 255 / (n - 1));
    return palette;
}

std::vector<uint32_t> ColourPalette(PixelFormat format) {
    switch (format) {
    case PixelFormat1bppIndexed: return {0xFF000000u, 0xFFFFFFFFu};
    case PixelFormat4bppIndexed:
        return {0xFF000000u, 0xFF800000u, 0xFF008000u, 0xFF808000u, 0xFF000080u, 0xFF800080u,
                0xFF008080u, 0xFF808080u, 0xFFC0C0C0u, 0xFFFF0000u, 0xFF00FF00u, 0xFFFFFF00u,
                0xFF0000FFu, 0xFFFF00FFu, 0xFF00FFFFu, 0xFFFFFFFFu};
    case PixelFormat8bppIndexed: {
        std::vector<uint32_t> palette;
        palette.reserve(256);
        for (uint32_t r = 0; r < 6; ++r)
            for (uint32_t g = 0; g < 6; ++g)
                for (uint32_t b = 0; b < 6; ++b) palette.push_back(0xFF000000u | (r * 51) << 16 | (g * 51) << 8 | b * 51);
        // Greys between the cube's own, so grey pictures keep their tones.
        for (uint32_t i = 1; i <= 40 && palette.size() < 256; ++i) {
            const uint32_t v = i * 255 / 41;
            if (v % 51 != 0) palette.push_back(Grey(v));
        }
        while (palette.size() < 256) palette.push_back(0xFF000000u);
        return palette;
    }
    default: return {};
    }
}

PaletteMatcher::PaletteMatcher(std::span<const uint32_t> palette) : palette_(palette.begin(), palette.end()) {}

uint8_t PaletteMatcher::Nearest(uint32_t rgb) {
    rgb &= 0xFFFFFFu;
    const uint32_t slot = (rgb ^ (rgb >> 12) ^ (rgb >> 7)) & 4095u;
    if (keys_[slot] == (rgb | 0x01000000u)) return values_[slot];
    const int32_t r = static_cast<int32_t>(rgb >> 16), g = static_cast<int32_t>((rgb >> 8) & 255),
                  b = static_cast<int32_t>(rgb & 255);
    uint32_t best = 0;
    int32_t bestDistance = std::numeric_limits<int32_t>::max();
    const size_t n = std::min<size_t>(palette_.size(), 256);
    for (size_t i = 0; i < n && bestDistance != 0; ++i) {
        const uint32_t c = palette_[i];
        const int32_t dr = static_cast<int32_t>((c >> 16) & 255) - r;
        const int32_t dg = static_cast<int32_t>((c >> 8) & 255) - g;
        const int32_t db = static_cast<int32_t>(c & 255) - b;
        const int32_t d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<uint32_t>(i);
        }
    }
    keys_[slot] = rgb | 0x01000000u;
    values_[slot] = static_cast<uint8_t>(best);
    return static_cast<uint8_t>(best);
}

void RowToBgr24(PixelFormat format, const uint8_t* row, int32_t x, int32_t count, std::span<const uint32_t> palette,
                uint8_t* out) {
    switch (format) {
    case PixelFormat24bppRGB:
        std::memcpy(out, row + 3 * static_cast<ptrdiff_t>(x), 3 * static_cast<size_t>(count));
        return;
    case PixelFormat32bppRGB:
    case PixelFormat32bppARGB: {
        const uint8_t* p = row + 4 * static_cast<ptrdiff_t>(x);
        for (int32_t i = 0; i < count; ++i, p += 4, out += 3) {
            out[0] = p[0];
            out[1] = p[1];
            out[2] = p[2];
        }
        return;
    }
    case PixelFormat8bppIndexed: {
        // A table pays off only over a row of some length; a picture a few pixels wide and
        // millions high would spend its time building tables.
        if (count < 256) break;
        uint8_t table[256][3];
        for (uint32_t i = 0; i < 256; ++i) {
            const uint32_t c = PaletteEntry(palette, i);
            table[i][0] = static_cast<uint8_t>(c);
            table[i][1] = static_cast<uint8_t>(c >> 8);
            table[i][2] = static_cast<uint8_t>(c >> 16);
        }
        const uint8_t* p = row + x;
        for (int32_t i = 0; i < count; ++i, out += 3) std::memcpy(out, table[p[i]], 3);
        return;
    }
    default:
        break;
    }
    uint8_t bgra[4];
    for (int32_t i = 0; i < count; ++i, out += 3) {
        LoadBgra(format, row, x + i, palette, bgra);
        out[0] = bgra[0];
        out[1] = bgra[1];
        out[2] = bgra[2];
    }
}

void RowToBgra32(PixelFormat format, const uint8_t* row, int32_t x, int32_t count, std::span<const uint32_t> palette,
                 uint8_t* out) {
    if (format == PixelFormat32bppARGB) {
        std::memcpy(out, row + 4 * static_cast<ptrdiff_t>(x), 4 * static_cast<size_t>(count));
        return;
    }
    for (int32_t i = 0; i < count; ++i, out += 4) LoadBgra(format, row, x + i, palette, out);
}

void RowToBgr24OnWhite(PixelFormat format, const uint8_t* row, int32_t x, int32_t count,
                       std::span<const uint32_t> palette, uint8_t* out) {
    uint8_t bgra[4];
    for (int32_t i = 0; i < count; ++i, out += 3) {
        LoadBgra(format, row, x + i, palette, bgra);
        for (int c = 0; c < 3; ++c) out[c] = OnWhite(bgra[c], bgra[3]);
    }
}

bool HasTranslucentPixels(const PixelBuffer& pixels) {
    if (!pixels.data) return false;
    if (IsIndexedPixelFormat(pixels.format)) {
        if (std::all_of(pixels.palette.begin(), pixels.palette.end(), [](uint32_t e) { return e >> 24 == 255; }))
            return false;
    } else if (!IsAlphaPixelFormat(pixels.format)) {
        return false;
    }
    std::unique_ptr<uint8_t[]> line(new uint8_t[4 * static_cast<size_t>(pixels.width)]);
    for (int32_t y = 0; y < pixels.height; ++y) {
        RowToBgra32(pixels.format, pixels.Row(y), 0, pixels.width, pixels.palette, line.get());
        for (int32_t x = 0; x < pixels.width; ++x)
            if (line[4 * static_cast<size_t>(x) + 3] != 255) return true;
    }
    return false;
}

void RowFromBgr24(const uint8_t* in, int32_t count, PixelFormat format, uint8_t* row, int32_t x,
                  PaletteMatcher* matcher) {
    if (format == PixelFormat24bppRGB) {
        std::memcpy(row + 3 * static_cast<ptrdiff_t>(x), in, 3 * static_cast<size_t>(count));
        return;
    }
    uint8_t bgra[4] = {0, 0, 0, 255};
    for (int32_t i = 0; i < count; ++i, in += 3) {
        bgra[0] = in[0];
        bgra[1] = in[1];
        bgra[2] = in[2];
        StoreBgra(bgra, format, row, x + i, matcher);
    }
}

void RowFromBgra32(const uint8_t* in, int32_t count, PixelFormat format, uint8_t* row, int32_t x,
                   PaletteMatcher* matcher) {
    if (format == PixelFormat32bppARGB) {
        std::memcpy(row + 4 * static_cast<ptrdiff_t>(x), in, 4 * static_cast<size_t>(count));
        return;
    }
    for (int32_t i = 0; i < count; ++i, in += 4) StoreBgra(in, format, row, x + i, matcher);
}

bool ConvertPixels(const PixelBuffer& src, const Rect& rect, PixelFormat format, PixelBuffer& out) {
    out = PixelBuffer{};
    if (!src.data || !IsKnownPixelFormat(src.format) || !IsKnownPixelFormat(format)) return false;
    if (rect.x < 0 || rect.y < 0 || rect.width <= 0 || rect.height <= 0 || rect.x > src.width - rect.width ||
        rect.y > src.height - rect.height)
        return false;
    PixelBuffer dst;
    if (!AllocatePixels(dst, rect.width, rect.height, format)) return false;

    if (IsIndexedPixelFormat(format)) {
        const size_t capacity = size_t{1} << GetPixelFormatSize(format);
        const bool keepPalette = IsIndexedPixelFormat(src.format) && !src.palette.empty() &&
                                 src.palette.size() <= capacity;
        dst.palette = keepPalette ? src.palette : ColourPalette(format);
        PaletteMatcher matcher(dst.palette);
        if (keepPalette) {
            // Indices stay as they are; one that points past the palette read as black before and
            // is mapped to the entry nearest to black.
            const uint32_t outside = matcher.Nearest(0);
            for (int32_t y = 0; y < rect.height; ++y) {
                const uint8_t* s = src.Row(rect.y + y);
                uint8_t* d = dst.Row(y);
                for (int32_t x = 0; x < rect.width; ++x) {
                    const uint32_t index = PaletteIndex(src.format, s, rect.x + x);
                    StoreIndex(format, d, x, index < src.palette.size() ? index : outside);
                }
            }
        } else {
            std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[4 * static_cast<size_t>(rect.width)]);
            if (!line) return false;
            for (int32_t y = 0; y < rect.height; ++y) {
                RowToBgra32(src.format, src.Row(rect.y + y), rect.x, rect.width, src.palette, line.get());
                RowFromBgra32(line.get(), rect.width, format, dst.Row(y), 0, &matcher);
            }
        }
    } else if (format == src.format) {
        const size_t bytes = static_cast<size_t>(rect.width) * (GetPixelFormatSize(format) / 8);
        const size_t offset = static_cast<size_t>(rect.x) * (GetPixelFormatSize(format) / 8);
        for (int32_t y = 0; y < rect.height; ++y) std::memcpy(dst.Row(y), src.Row(rect.y + y) + offset, bytes);
    } else if (IsSixteenBitSampleFormat(src.format) && IsSixteenBitSampleFormat(format)) {
        uint16_t pixel[4];
        for (int32_t y = 0; y < rect.height; ++y) {
            const uint8_t* s = src.Row(rect.y + y);
            uint8_t* d = dst.Row(y);
            for (int32_t x = 0; x < rect.width; ++x) {
                LoadBgra16(src.format, s, rect.x + x, pixel);
                StoreBgra16(pixel, format, d, x);
            }
        }
    } else if (format == PixelFormat24bppRGB) {
        for (int32_t y = 0; y < rect.height; ++y)
            RowToBgr24(src.format, src.Row(rect.y + y), rect.x, rect.width, src.palette, dst.Row(y));
    } else {
        std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[4 * static_cast<size_t>(rect.width)]);
        if (!line) return false;
        for (int32_t y = 0; y < rect.height; ++y) {
            RowToBgra32(src.format, src.Row(rect.y + y), rect.x, rect.width, src.palette, line.get());
            RowFromBgra32(line.get(), rect.width, format, dst.Row(y), 0, nullptr);
        }
    }
    out = std::move(dst);
    return true;
}

}  // namespace kv
