#include <algorithm>
#include <memory>
#include <new>

#include <gif_lib.h>
#include <libimagequant.h>

#include "imageio/EncoderParts.h"
#include "imageio/PixelConvert.h"

namespace kv {
namespace {

constexpr int32_t kMaxGifSide = 65535;

struct GifSink {
    std::vector<uint8_t>* out = nullptr;
    bool outOfMemory = false;
};

int OnWrite(GifFileType* gif, const GifByteType* data, int length) {
    auto* sink = static_cast<GifSink*>(gif->UserData);
    try {
        sink->out->insert(sink->out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        sink->outOfMemory = true;
        return 0;
    }
    return length;
}

// One byte per pixel, indexing palette (0xAARRGGBB entries).
struct IndexedImage {
    std::vector<uint8_t> indices;
    std::vector<uint32_t> palette;
};

void Unpack(const PixelBuffer& pixels, IndexedImage& image) {
    const int32_t bits = GetPixelFormatSize(pixels.format);
    const int32_t entries = PaletteEntriesUsed(pixels);
    image.palette.assign(static_cast<size_t>(entries), 0xFF000000u);
    std::copy_n(pixels.palette.begin(), std::min<size_t>(pixels.palette.size(), image.palette.size()), image.palette.begin());
    image.indices.resize(static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height));
    uint8_t* dst = image.indices.data();
    for (int32_t y = 0; y < pixels.height; ++y) {
        const uint8_t* row = pixels.Row(y);
        for (int32_t x = 0; x < pixels.width; ++x) *dst++ = IndexAt(row, x, bits);
    }
}

struct LiqAttr {
    liq_attr* p = liq_attr_create();
    ~LiqAttr() { if (p) liq_attr_destroy(p); }
};
struct LiqImage {
    liq_image* p = nullptr;
    ~LiqImage() { if (p) liq_image_destroy(p); }
};
struct LiqResult {
    liq_result* p = nullptr;
    ~LiqResult() { if (p) liq_result_destroy(p); }
};

// Reduces a colour image to at most 256 colours, with dithering.
bool Quantise(const PixelBuffer& pixels, IndexedImage& image, std::string& error) {
    const size_t count = static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height);
    std::vector<uint8_t> rgba(count * 4);
    for (int32_t y = 0; y < pixels.height; ++y) {
        uint8_t* dst = rgba.data() + static_cast<size_t>(y) * static_cast<size_t>(pixels.width) * 4;
        RowToBgra32(pixels.format, pixels.Row(y), 0, pixels.width, pixels.palette, dst);
        for (int32_t x = 0; x < pixels.width; ++x, dst += 4) {
            std::swap(dst[0], dst[2]);
            // GIF knows one fully transparent colour and nothing between: below half is transparent,
            // the rest opaque, so no pixel is mapped to a half-transparent entry the file cannot show.
            if (dst[3] < 128) dst[0] = dst[1] = dst[2] = dst[3] = 0;
            else dst[3] = 255;
        }
    }
    LiqAttr attr;
    if (!attr.p) throw std::bad_alloc();
    liq_set_max_colors(attr.p, 256);
    liq_set_speed(attr.p, 8);  // a good palette at a quarter of the default time
    LiqImage input;
    input.p = liq_image_create_rgba(attr.p, rgba.data(), pixels.width, pixels.height, 0);
    LiqResult result;
    if (!input.p || liq_image_quantize(input.p, attr.p, &result.p) != LIQ_OK) {
        error = "The colours of the image could not be reduced for a GIF file.";
        return false;
    }
    liq_set_dithering_level(result.p, 1.0f);
    image.indices.resize(count);
    if (liq_write_remapped_image(result.p, input.p, image.indices.data(), count) != LIQ_OK) {
        error = "The colours of the image could not be reduced for a GIF file.";
        return false;
    }
    const liq_palette* palette = liq_get_palette(result.p);
    image.palette.clear();
    for (unsigned i = 0; i < palette->count && i < 256; ++i) {
        const liq_color& c = palette->entries[i];
        image.palette.push_back(static_cast<uint32_t>(c.a) << 24 | static_cast<uint32_t>(c.r) << 16 |
                                static_cast<uint32_t>(c.g) << 8 | c.b);
    }
    return !image.palette.empty();
}

// GIF knows one fully transparent colour: the most transparent entry, if it is more than half so.
int TransparentIndex(const std::vector<uint32_t>& palette) {
    int index = -1;
    uint32_t lowest = 128;
    for (size_t i = 0; i < palette.size(); ++i) {
        const uint32_t alpha = palette[i] >> 24;
        if (alpha < lowest) {
            lowest = alpha;
            index = static_cast<int>(i);
        }
    }
    return index;
}

struct GifWriter {
    GifFileType* gif = nullptr;
    ColorMapObject* map = nullptr;
    ~GifWriter() {
        if (gif) EGifCloseFile(gif, nullptr);
        if (map) GifFreeMapObject(map);
    }
};

}  // namespace

bool EncodeGif(const PixelBuffer& pixels, std::vector<uint8_t>& out, std::string& error) {
    if (pixels.width > kMaxGifSide || pixels.height > kMaxGifSide) {
        error = "The image is too large for a GIF file.";
        return false;
    }
    IndexedImage image;
    if (IsIndexedPixelFormat(pixels.format))
        Unpack(pixels, image);
    else if (!Quantise(pixels, image, error))
        return false;

    int bits = 1;
    while ((1 << bits) < static_cast<int>(image.palette.size())) ++bits;
    const int transparent = TransparentIndex(image.palette);

    GifWriter w;
    std::vector<GifColorType> colours(size_t{1} << bits, GifColorType{0, 0, 0});
    for (size_t i = 0; i < image.palette.size(); ++i)
        colours[i] = GifColorType{static_cast<GifByteType>(image.palette[i] >> 16),
                                  static_cast<GifByteType>(image.palette[i] >> 8),
                                  static_cast<GifByteType>(image.palette[i])};
    w.map = GifMakeMapObject(1 << bits, colours.data());
    if (!w.map) throw std::bad_alloc();

    GifSink sink;
    sink.out = &out;
    int status = 0;
    w.gif = EGifOpen(&sink, OnWrite, &status);
    if (!w.gif) throw std::bad_alloc();
    EGifSetGifVersion(w.gif, transparent >= 0);
    bool ok = EGifPutScreenDesc(w.gif, pixels.width, pixels.height, bits, 0, w.map) == GIF_OK;
    if (ok && transparent >= 0) {
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, transparent};
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        ok = EGifPutExtension(w.gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(w.gif, 0, 0, pixels.width, pixels.height, false, nullptr) == GIF_OK;
    for (int32_t y = 0; ok && y < pixels.height; ++y)
        ok = EGifPutLine(w.gif, image.indices.data() + static_cast<size_t>(y) * static_cast<size_t>(pixels.width),
                         pixels.width) == GIF_OK;
    status = 0;
    const int closed = EGifCloseFile(w.gif, &status);
    w.gif = nullptr;
    if (sink.outOfMemory) throw std::bad_alloc();
    if (!ok || closed != GIF_OK) {
        const char* text = GifErrorString(status);
        error = std::string("The GIF file could not be written: ") + (text ? text : "unknown error");
        return false;
    }
    return true;
}

}  // namespace kv
