// PNG files through libpng. Palette and low-depth grey images stay indexed (a transparent entry
// keeps its alpha in the palette); 8-bit colour becomes 24-bit, or 32-bit ARGB with alpha or a
// transparent colour; 16-bit samples become 48- or 64-bit. Errors leave libpng through its own
// jump buffer, which belongs to each decode.
#include <png.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imageio/Decoders.h"
#include "imageio/PixelConvert.h"

namespace kv {
namespace {

struct PngContext {
    const ByteReader* file = nullptr;
    uint64_t offset = 0;
    png_structp png = nullptr;
    png_infop info = nullptr;
    char message[200] = {};

    explicit PngContext(const ByteReader& reader) : file(&reader) {}
    ~PngContext() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
    PngContext(const PngContext&) = delete;
    PngContext& operator=(const PngContext&) = delete;
};

void OnError(png_structp png, png_const_charp text) {
    auto* ctx = static_cast<PngContext*>(png_get_error_ptr(png));
    std::snprintf(ctx->message, sizeof ctx->message, "%s", text ? text : "unknown error");
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnRead(png_structp png, png_bytep out, size_t length) {
    auto* ctx = static_cast<PngContext*>(png_get_io_ptr(png));
    const size_t n = ctx->file->ReadAt(ctx->offset, out, length);
    ctx->offset += n;
    if (n != length) png_error(png, "the file is truncated");
}

// Metadata chunks are read by the property reader; the decoder skips them unparsed.
const png_byte kSkippedChunks[] = "iCCP\0zTXt\0tEXt\0iTXt\0eXIf\0sPLT\0";

// Creates the reader and reads every chunk before the image data. No C++ object with a destructor
// lives in this frame, so the jump back from libpng skips none.
bool ReadInfo(PngContext& ctx) {
    ctx.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &ctx, OnError, OnWarning);
    if (!ctx.png) return false;
    ctx.info = png_create_info_struct(ctx.png);
    if (!ctx.info) return false;
    if (setjmp(png_jmpbuf(ctx.png))) return false;
    png_set_read_fn(ctx.png, &ctx, OnRead);
    png_set_user_limits(ctx.png, 0x7FFFFFFF, 0x7FFFFFFF);  // the decode pixel limit applies instead
    png_set_keep_unknown_chunks(ctx.png, PNG_HANDLE_CHUNK_NEVER, kSkippedChunks,
                                static_cast<int>(sizeof kSkippedChunks / 5));
    png_read_info(ctx.png, ctx.info);
    return true;
}

// The pixel format an image becomes, and the transforms that give it.
struct Layout {
    PixelFormat format = PixelFormatUndefined;
    uint32_t flags = 0;
    int bitDepth = 0;
    int colourType = 0;
    bool hasTrns = false;
};

Layout LayoutOf(png_structp png, png_infop info) {
    Layout l;
    l.bitDepth = png_get_bit_depth(png, info);
    l.colourType = png_get_color_type(png, info);
    l.hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    const bool grey = !(l.colourType & PNG_COLOR_MASK_COLOR);
    l.flags = grey ? ImageFlagsColorSpaceGRAY : ImageFlagsColorSpaceRGB;
    const bool wide = l.bitDepth == 16;
    switch (l.colourType) {
    case PNG_COLOR_TYPE_PALETTE:
    case PNG_COLOR_TYPE_GRAY:
        if (l.bitDepth <= 8) {
            l.format = l.bitDepth == 1   ? PixelFormat1bppIndexed
                       : l.bitDepth <= 4 ? PixelFormat4bppIndexed
                                         : PixelFormat8bppIndexed;
        } else {
            l.format = l.hasTrns ? PixelFormat64bppARGB : PixelFormat48bppRGB;
        }
        break;
    case PNG_COLOR_TYPE_RGB: l.format = wide ? (l.hasTrns ? PixelFormat64bppARGB : PixelFormat48bppRGB)
                                             : (l.hasTrns ? PixelFormat32bppARGB : PixelFormat24bppRGB);
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
    case PNG_COLOR_TYPE_RGB_ALPHA: l.format = wide ? PixelFormat64bppARGB : PixelFormat32bppARGB; break;
    default: break;
    }
    if (l.hasTrns || (l.colourType & PNG_COLOR_MASK_ALPHA)) l.flags |= ImageFlagsHasAlpha;
    return l;
}

std::vector<uint32_t> PaletteOf(png_structp png, png_infop info, const Layout& l) {
    std::vector<uint32_t> palette;
    png_bytep alpha = nullptr;
    int alphaCount = 0;
    png_color_16p greyKey = nullptr;
    if (l.hasTrns) png_get_tRNS(png, info, &alpha, &alphaCount, &greyKey);
    if (l.colourType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp colours = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &colours, &count) && colours) {
            count = std::clamp(count, 0, 1 << l.bitDepth);
            for (int i = 0; i < count; ++i) {
                const uint32_t a = (alpha && i < alphaCount) ? alpha[i] : 255;
                palette.push_back(a << 24 | uint32_t{colours[i].red} << 16 | uint32_t{colours[i].green} << 8 |
                                  colours[i].blue);
            }
        }
    } else {
        const int count = 1 << l.bitDepth;
        for (int i = 0; i < count; ++i) {
            const uint32_t v = static_cast<uint32_t>(i * 255 / (count - 1));
            palette.push_back(0xFF000000u | v << 16 | v << 8 | v);
        }
        if (greyKey) {
            const int key = greyKey->gray & (count - 1);
            palette[static_cast<size_t>(key)] &= 0x00FFFFFFu;
        }
    }
    return palette;
}

void SetTransforms(png_structp png, const Layout& l) {
    if (l.bitDepth == 2) png_set_packing(png);  // one byte a pixel; packed into nibbles afterwards
    if (!IsIndexedPixelFormat(l.format)) {
        if (l.colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
        if (l.hasTrns) png_set_tRNS_to_alpha(png);
        if (!(l.colourType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
        png_set_bgr(png);
        if (l.bitDepth == 16) png_set_swap(png);
    }
    png_set_interlace_handling(png);
}

// Reads all rows (every interlace pass) into the given row pointers.
bool ReadImage(PngContext& ctx, png_bytepp rows, size_t rowBytes) {
    if (setjmp(png_jmpbuf(ctx.png))) return false;
    png_read_update_info(ctx.png, ctx.info);
    if (png_get_rowbytes(ctx.png, ctx.info) > rowBytes) png_error(ctx.png, "unexpected row size");
    png_read_image(ctx.png, rows);
    return true;
}

// What a decode keeps per row beside the picture: the row pointer handed to libpng, and for two-bit
// images the row of bytes they arrive in.
uint64_t ExtraBytesPerRow(const Layout& l, png_uint_32 width) {
    uint64_t extra = sizeof(png_bytep);
    if (l.bitDepth == 2) extra += static_cast<uint64_t>(PixelRowStride(PixelFormat8bppIndexed, static_cast<int32_t>(width)));
    return extra;
}

DecodeResult Failure(const PngContext& ctx) {
    if (!ctx.png || !ctx.info) return DecodeResult::Failure(Status::OutOfMemory, "Not enough memory to read the PNG file");
    return DecodeResult::Failure(Status::InvalidParameter, std::string("The PNG file cannot be read: ") + ctx.message);
}

}  // namespace

DecodeResult ProbePng(const ByteReader& file, ImageHeader& header) {
    PngContext ctx(file);
    if (!ReadInfo(ctx)) return Failure(ctx);
    const Layout l = LayoutOf(ctx.png, ctx.info);
    if (l.format == PixelFormatUndefined)
        return DecodeResult::Failure(Status::InvalidParameter, "The PNG file has an unsupported colour layout");
    const png_uint_32 width = png_get_image_width(ctx.png, ctx.info), height = png_get_image_height(ctx.png, ctx.info);
    if (auto limit = CheckDecodeMemory(width, height, l.format, ExtraBytesPerRow(l, width), 0, &header.decodeBytes);
        !limit.ok())
        return limit;
    header.format = ImageFormat::Png;
    header.width = static_cast<int32_t>(width);
    header.height = static_cast<int32_t>(height);
    header.pixelFormat = l.format;
    header.flags = l.flags | ImageFlagsHasRealPixelSize;
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (png_get_pHYs(ctx.png, ctx.info, &x, &y, &unit) && unit == PNG_RESOLUTION_METER && x > 0 && y > 0) {
        header.dpiX = static_cast<float>(x * 0.0254);
        header.dpiY = static_cast<float>(y * 0.0254);
        header.flags |= ImageFlagsHasRealDPI;
    }
    return DecodeResult::Success();
}

DecodeResult DecodePng(const ByteReader& file, PixelBuffer& pixels) {
    pixels = PixelBuffer{};
    PngContext ctx(file);
    if (!ReadInfo(ctx)) return Failure(ctx);
    const Layout l = LayoutOf(ctx.png, ctx.info);
    if (l.format == PixelFormatUndefined)
        return DecodeResult::Failure(Status::InvalidParameter, "The PNG file has an unsupported colour layout");
    const png_uint_32 width = png_get_image_width(ctx.png, ctx.info), height = png_get_image_height(ctx.png, ctx.info);
    if (auto limit = CheckDecodeMemory(width, height, l.format, ExtraBytesPerRow(l, width)); !limit.ok()) return limit;
    const auto w = static_cast<int32_t>(width), h = static_cast<int32_t>(height);
    if (!AllocatePixels(pixels, w, h, l.format))
        return DecodeResult::Failure(Status::OutOfMemory, "Not enough memory to decode the PNG image");
    if (IsIndexedPixelFormat(l.format)) pixels.palette = PaletteOf(ctx.png, ctx.info, l);

    // Two-bit images arrive one byte a pixel and are packed into nibbles afterwards.
    PixelBuffer bytes;
    PixelBuffer& target = l.bitDepth == 2 ? bytes : pixels;
    if (l.bitDepth == 2 && !AllocatePixels(bytes, w, h, PixelFormat8bppIndexed)) {
        pixels = PixelBuffer{};
        return DecodeResult::Failure(Status::OutOfMemory, "Not enough memory to decode the PNG image");
    }
    std::unique_ptr<png_bytep[]> rows(new (std::nothrow) png_bytep[static_cast<size_t>(h)]);
    if (!rows) {
        pixels = PixelBuffer{};
        return DecodeResult::Failure(Status::OutOfMemory, "Not enough memory to decode the PNG image");
    }
    for (int32_t y = 0; y < h; ++y) rows[static_cast<size_t>(y)] = target.Row(y);
    SetTransforms(ctx.png, l);
    if (!ReadImage(ctx, rows.get(), static_cast<size_t>(target.stride))) {
        pixels = PixelBuffer{};
        return Failure(ctx);
    }
    if (l.bitDepth == 2) {
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* in = bytes.Row(y);
            uint8_t* out = pixels.Row(y);
            for (int32_t x = 0; x < w; x += 2)
                out[x / 2] = static_cast<uint8_t>((in[x] & 3) << 4 | (x + 1 < w ? (in[x + 1] & 3) : 0));
        }
    }
    return DecodeResult::Success();
}

}  // namespace kv
