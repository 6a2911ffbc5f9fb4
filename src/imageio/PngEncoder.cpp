#include <csetjmp>
#include <memory>
#include <new>

#include <png.h>
#include <zlib.h>

#include "imageio/EncoderParts.h"
#include "imageio/PixelConvert.h"

namespace kv {
namespace {

// What libpng's callbacks touch lives here, outside the frame that calls setjmp.
struct PngWriter {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t>* out = nullptr;
    std::string message;
    bool outOfMemory = false;
    std::vector<uint8_t> row;  // one converted row, when the pixels need converting
    std::vector<png_color> palette;
    std::vector<png_byte> alphas;
};

void OnError(png_structp png, png_const_charp message) {
    auto* w = static_cast<PngWriter*>(png_get_error_ptr(png));
    // Copying the message may itself fail; the jump must happen regardless.
    try {
        w->message = message;
    } catch (...) {
    }
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* w = static_cast<PngWriter*>(png_get_io_ptr(png));
    try {
        w->out->insert(w->out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        w->outOfMemory = true;
        png_error(png, "out of memory");
    }
}

void OnFlush(png_structp) {}

// How each pixel format is laid out in the file, and how its rows reach libpng.
struct PngLayout {
    int colourType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool bgr = true;        // samples come blue first
    bool swap16 = false;    // 16-bit samples are little-endian words
    bool filler = false;    // a fourth byte to drop
    enum class Feed { Direct, Bgr24, Bgra32 } feed = Feed::Direct;
};

PngLayout LayoutOf(PixelFormat format) {
    PngLayout l;
    switch (format) {
        case PixelFormat1bppIndexed:
        case PixelFormat4bppIndexed:
        case PixelFormat8bppIndexed:
            l.colourType = PNG_COLOR_TYPE_PALETTE;
            l.bitDepth = GetPixelFormatSize(format);
            l.bgr = false;
            break;
        case PixelFormat16bppGrayScale:
            l.colourType = PNG_COLOR_TYPE_GRAY;
            l.bitDepth = 16;
            l.bgr = false;
            l.swap16 = true;
            break;
        case PixelFormat24bppRGB:
            break;
        case PixelFormat32bppRGB:
            l.filler = true;
            break;
        case PixelFormat32bppARGB:
            l.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
            break;
        case PixelFormat32bppPARGB:
        case PixelFormat16bppARGB1555:
            l.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
            l.feed = PngLayout::Feed::Bgra32;
            break;
        case PixelFormat48bppRGB:
            l.bitDepth = 16;
            l.swap16 = true;
            break;
        case PixelFormat64bppARGB:
        case PixelFormat64bppPARGB:  // converted to straight alpha before it gets here
            l.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
            l.bitDepth = 16;
            l.swap16 = true;
            break;
        default:  // 16-bit RGB, CMYK
            l.feed = PngLayout::Feed::Bgr24;
            break;
    }
    return l;
}

bool Compress(PngWriter& w, const PixelBuffer& pixels, const PngLayout& layout, uint32_t ppmX, uint32_t ppmY) {
    if (setjmp(png_jmpbuf(w.png))) return false;
    png_set_write_fn(w.png, &w, OnWrite, OnFlush);
    png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(pixels.width), static_cast<png_uint_32>(pixels.height),
                 layout.bitDepth, layout.colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!w.palette.empty()) png_set_PLTE(w.png, w.info, w.palette.data(), static_cast<int>(w.palette.size()));
    if (!w.alphas.empty())
        png_set_tRNS(w.png, w.info, w.alphas.data(), static_cast<int>(w.alphas.size()), nullptr);
    if (ppmX && ppmY) png_set_pHYs(w.png, w.info, ppmX, ppmY, PNG_RESOLUTION_METER);
    // Deflate tuned for filtered rows: on photos this writes smaller files than the default level
    // in well under half the time.
    png_set_compression_level(w.png, 4);
    png_set_compression_strategy(w.png, Z_FILTERED);
    png_write_info(w.png, w.info);
    if (layout.bgr) png_set_bgr(w.png);
    if (layout.swap16) png_set_swap(w.png);
    if (layout.filler) png_set_filler(w.png, 0, PNG_FILLER_AFTER);
    for (int32_t y = 0; y < pixels.height; ++y) {
        const uint8_t* src = pixels.Row(y);
        png_bytep row;
        switch (layout.feed) {
            case PngLayout::Feed::Bgr24:
                RowToBgr24(pixels.format, src, 0, pixels.width, pixels.palette, w.row.data());
                row = w.row.data();
                break;
            case PngLayout::Feed::Bgra32:
                RowToBgra32(pixels.format, src, 0, pixels.width, pixels.palette, w.row.data());
                row = w.row.data();
                break;
            default:
                row = const_cast<png_bytep>(src);
                break;
        }
        png_write_row(w.png, row);
    }
    png_write_end(w.png, w.info);
    return true;
}

}  // namespace

bool EncodePng(const PixelBuffer& source, float dpiX, float dpiY, std::vector<uint8_t>& out, std::string& error) {
    PixelBuffer straight;
    const PixelBuffer* pixels = &StraightAlpha16(source, straight);
    const PngLayout layout = LayoutOf(pixels->format);

    auto writer = std::make_unique<PngWriter>();
    PngWriter& w = *writer;
    w.out = &out;
    if (layout.colourType == PNG_COLOR_TYPE_PALETTE) {
        const int32_t entries = PaletteEntriesUsed(*pixels);
        for (int32_t i = 0; i < entries; ++i) {
            const uint32_t argb = i < static_cast<int32_t>(pixels->palette.size()) ? pixels->palette[static_cast<size_t>(i)] : 0xFF000000u;
            w.palette.push_back({static_cast<png_byte>(argb >> 16), static_cast<png_byte>(argb >> 8), static_cast<png_byte>(argb)});
            w.alphas.push_back(static_cast<png_byte>(argb >> 24));
        }
        // Only entries up to the last translucent one need an alpha value.
        while (!w.alphas.empty() && w.alphas.back() == 0xFF) w.alphas.pop_back();
    }
    if (layout.feed != PngLayout::Feed::Direct) w.row.resize(static_cast<size_t>(pixels->width) * 4);

    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w, OnError, OnWarning);
    if (!w.png) throw std::bad_alloc();
    w.info = png_create_info_struct(w.png);
    bool ok = false;
    if (w.info) ok = Compress(w, *pixels, layout, PixelsPerMetre(dpiX), PixelsPerMetre(dpiY));
    png_destroy_write_struct(&w.png, &w.info);
    if (w.outOfMemory || (!ok && w.message.empty())) throw std::bad_alloc();
    if (!ok) {
        error = "The PNG file could not be written: " + w.message;
        return false;
    }
    return true;
}

}  // namespace kv
