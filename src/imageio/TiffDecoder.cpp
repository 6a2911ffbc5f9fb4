// TIFF files through libtiff, first page only. Common layouts (grey, palette, RGB with or without
// alpha, 8 or 16 bits, CMYK) are read row by row into the matching pixel format; everything else
// libtiff can render (YCbCr, tiles, separate planes, odd depths) goes through its RGBA reader.
// libtiff's messages go to handlers of each open file and end up in the decode's message.
#include <tiffio.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "imageio/ColourProfile.h"
#include "imageio/Decoders.h"
#include "imageio/Orientation.h"
#include "imageio/PixelConvert.h"

namespace kv {
namespace {

// No single libtiff allocation (a strip, a tile, a table) may be larger than this.
constexpr tmsize_t kMaxSingleAllocation = tmsize_t{1} << 30;

struct TiffContext {
    const ByteReader* file;
    uint64_t offset = 0;
    std::string error;
    TIFF* tif = nullptr;

    explicit TiffContext(const ByteReader& reader) : file(&reader) {}
    ~TiffContext() {
        if (tif) TIFFClose(tif);
    }
    TiffContext(const TiffContext&) = delete;
    TiffContext& operator=(const TiffContext&) = delete;
};

int OnError(TIFF*, void* user, const char* module, const char* format, va_list args) {
    auto* ctx = static_cast<TiffContext*>(user);
    if (ctx && ctx->error.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        ctx->error = module && *module ? std::string(module) + ": " + text : text;
    }
    return 1;
}

int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

tmsize_t Read(thandle_t handle, void* buffer, tmsize_t size) {
    auto* ctx = static_cast<TiffContext*>(handle);
    if (size <= 0) return 0;
    const size_t n = ctx->file->ReadAt(ctx->offset, buffer, static_cast<size_t>(size));
    ctx->offset += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t Write(thandle_t, void*, tmsize_t) { return -1; }

toff_t Seek(thandle_t handle, toff_t offset, int whence) {
    auto* ctx = static_cast<TiffContext*>(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR) base = ctx->offset;
    else if (whence == SEEK_END) base = ctx->file->Size();
    else if (whence != SEEK_SET) return static_cast<toff_t>(-1);
    // Offsets beyond 2^62 are not file positions; refusing them keeps the sum from wrapping.
    if (offset > (uint64_t{1} << 62) || base > (uint64_t{1} << 62)) return static_cast<toff_t>(-1);
    ctx->offset = base + offset;
    return ctx->offset;
}

int Close(thandle_t) { return 0; }
toff_t Size(thandle_t handle) { return static_cast<TiffContext*>(handle)->file->Size(); }

int Map(thandle_t handle, void** base, toff_t* size) {
    const auto* memory = static_cast<TiffContext*>(handle)->file->Memory();
    if (!memory) return 0;
    *base = const_cast<uint8_t*>(memory->data());
    *size = memory->size();
    return 1;
}

void Unmap(thandle_t, void*, toff_t) {}

DecodeResult Open(TiffContext& ctx) {
    static std::once_flag quiet;
    // Messages of files opened elsewhere must not reach stderr either.
    std::call_once(quiet, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return DecodeResult::Failure(Status::OutOfMemory, "Not enough memory to read the TIFF file");
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxSingleAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &ctx);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &ctx);
    ctx.tif = TIFFClientOpenExt("image", "r", &ctx, Read, Write, Seek, Close, Size, Map, Unmap, options);
    TIFFOpenOptionsFree(options);
    if (!ctx.tif)
        return DecodeResult::Failure(Status::InvalidParameter,
                                     "The TIFF file cannot be read" + (ctx.error.empty() ? "" : ": " + ctx.error));
    return DecodeResult::Success();
}

DecodeResult Failure(const TiffContext& ctx, const char* what) {
    return DecodeResult::Failure(Status::InvalidParameter,
                                 std::string(what) + (ctx.error.empty() ? "" : ": " + ctx.error));
}

// The embedded colour profile of the page as a converter from its CMYK inks to sRGB; nothing
// when it has none or the profile is not a CMYK one.
std::unique_ptr<CmykToSrgb> CmykConverter(TIFF* tif) {
    uint32_t size = 0;
    void* data = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_ICCPROFILE, &size, &data) || !data) return nullptr;
    return CmykToSrgb::Create({static_cast<const uint8_t*>(data), size});
}

// The first page's layout and how it is read.
struct Layout {
    uint32_t width = 0, height = 0;
    uint16_t bps = 1, spp = 1, photometric = 0, planar = PLANARCONFIG_CONTIG, sampleFormat = SAMPLEFORMAT_UINT;
    uint16_t inkSet = INKSET_CMYK;
    bool associatedAlpha = false;
    bool extraSamples = false;
    bool native = false;  // read row by row; else through the RGBA reader
    bool profiled = false;  // CMYK rows converted to sRGB through the embedded profile
    PixelFormat format = PixelFormatUndefined;
    uint32_t flags = 0;
};

Layout LayoutOf(TIFF* tif) {
    Layout l;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bps);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l.sampleFormat);
    TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &l.inkSet);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric))
        l.photometric = l.spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    uint16_t extraCount = 0;
    uint16_t* extra = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount > 0 && extra) {
        l.extraSamples = true;
        l.associatedAlpha = extra[0] == EXTRASAMPLE_ASSOCALPHA;
    }

    const bool rowByRow = !TIFFIsTiled(tif) && (l.planar == PLANARCONFIG_CONTIG || l.spp == 1) &&
                          l.sampleFormat == SAMPLEFORMAT_UINT;
    const bool eightOrSixteen = l.bps == 8 || l.bps == 16;
    switch (l.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        l.flags = ImageFlagsColorSpaceGRAY;
        if (rowByRow && l.spp == 1 && (l.bps == 1 || l.bps == 2 || l.bps == 4 || l.bps == 8)) {
            l.native = true;
            l.format = l.bps == 1 ? PixelFormat1bppIndexed : l.bps == 8 ? PixelFormat8bppIndexed : PixelFormat4bppIndexed;
        } else if (rowByRow && l.spp == 1 && l.bps == 16) {
            l.native = true;
            l.format = PixelFormat48bppRGB;
        } else if (rowByRow && l.spp == 2 && l.bps == 8) {
            l.native = true;
            l.format = l.associatedAlpha ? PixelFormat32bppPARGB : PixelFormat32bppARGB;
        }
        break;
    case PHOTOMETRIC_PALETTE:
        l.flags = ImageFlagsColorSpaceRGB;
        if (rowByRow && l.spp == 1 && (l.bps == 1 || l.bps == 2 || l.bps == 4 || l.bps == 8)) {
            l.native = true;
            l.format = l.bps == 1 ? PixelFormat1bppIndexed : l.bps == 8 ? PixelFormat8bppIndexed : PixelFormat4bppIndexed;
        }
        break;
    case PHOTOMETRIC_RGB:
        l.flags = ImageFlagsColorSpaceRGB;
        if (rowByRow && eightOrSixteen && (l.spp == 3 || l.spp == 4)) {
            l.native = true;
            const bool alpha = l.spp == 4;
            if (l.bps == 8)
                l.format = !alpha ? PixelFormat24bppRGB : l.associatedAlpha ? PixelFormat32bppPARGB : PixelFormat32bppARGB;
            else
                l.format = !alpha ? PixelFormat48bppRGB : l.associatedAlpha ? PixelFormat64bppPARGB : PixelFormat64bppARGB;
        }
        break;
    case PHOTOMETRIC_SEPARATED:
        l.flags = ImageFlagsColorSpaceCMYK;
        if (rowByRow && l.bps == 8 && l.spp == 4 && l.inkSet == INKSET_CMYK) {
            l.native = true;
            l.format = PixelFormat32bppCMYK;
            if (CmykConverter(tif)) {
                l.profiled = true;
                l.format = PixelFormat24bppRGB;
            }
        }
        break;
    case PHOTOMETRIC_YCBCR: l.flags = ImageFlagsColorSpaceYCBCR; break;
    default: l.flags = ImageFlagsColorSpaceRGB; break;
    }
    if (!l.native) {
        char message[1024] = {};
        // The RGBA reader premultiplies alpha, associated or not.
        if (TIFFRGBAImageOK(tif, message)) l.format = l.extraSamples ? PixelFormat32bppPARGB : PixelFormat24bppRGB;
    }
    if (IsAlphaPixelFormat(l.format)) l.flags |= ImageFlagsHasAlpha;
    return l;
}

std::vector<uint32_t> PaletteOf(TIFF* tif, const Layout& l) {
    const uint32_t count = 1u << l.bps;
    std::vector<uint32_t> palette(count);
    if (l.photometric == PHOTOMETRIC_PALETTE) {
        uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b) || !r || !g || !b) return {};
        // Some writers store 8-bit values in the 16-bit map; such a map has no entry above 255.
        bool eightBit = true;
        for (uint32_t i = 0; i < count; ++i)
            if (r[i] > 255 || g[i] > 255 || b[i] > 255) eightBit = false;
        const int shift = eightBit ? 0 : 8;
        for (uint32_t i = 0; i < count; ++i)
            palette[i] = 0xFF000000u | uint32_t(r[i] >> shift) << 16 | uint32_t(g[i] >> shift) << 8 | uint32_t(b[i] >> shift);
    } else {
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t v = i * 255 / (count - 1);
            if (l.photometric == PHOTOMETRIC_MINISWHITE) v = 255 - v;
            palette[i] = 0xFF000000u | v << 16 | v << 8 | v;
        }
    }
    return palette;
}

// One decoded row of the file's samples into a row of the bitmap.
void StoreRow(const Layout& l, const uint8_t* in, int32_t width, uint8_t* out, const CmykToSrgb* converter) {
    if (converter) {
        converter->Convert(in, out, width);
        return;
    }
    switch (l.format) {
    case PixelFormat1bppIndexed:
    case PixelFormat8bppIndexed: std::memcpy(out, in, (static_cast<size_t>(width) * l.bps + 7) / 8); break;
    case PixelFormat4bppIndexed:
        if (l.bps == 4) {
            std::memcpy(out, in, (static_cast<size_t>(width) + 1) / 2);
        } else {  // two bits a pixel, packed into nibbles
            for (int32_t x = 0; x < width; ++x) {
                const uint32_t v = (in[x >> 2] >> (6 - 2 * (x & 3))) & 3u;
                out[x >> 1] = static_cast<uint8_t>(out[x >> 1] | (v << ((x & 1) ? 0 : 4)));
            }
        }
        break;
    case PixelFormat48bppRGB:
        if (l.spp == 1) {
            for (int32_t x = 0; x < width; ++x) {
                uint16_t v;
                std::memcpy(&v, in + 2 * x, 2);
                if (l.photometric == PHOTOMETRIC_MINISWHITE) v = static_cast<uint16_t>(65535 - v);
                for (int c = 0; c < 3; ++c) std::memcpy(out + 6 * x + 2 * c, &v, 2);
            }
            break;
        }
        [[fallthrough]];
    case PixelFormat64bppARGB:
    case PixelFormat64bppPARGB:
    case PixelFormat24bppRGB:
    case PixelFormat32bppARGB:
    case PixelFormat32bppPARGB: {
        const int bytes = l.bps / 8;
        const int outSamples = GetPixelFormatSize(l.format) / l.bps;
        if (l.spp == 2) {  // grey and alpha, 8 bits
            for (int32_t x = 0; x < width; ++x) {
                uint8_t v = in[2 * x];
                if (l.photometric == PHOTOMETRIC_MINISWHITE) v = static_cast<uint8_t>(255 - v);
                out[4 * x] = out[4 * x + 1] = out[4 * x + 2] = v;
                out[4 * x + 3] = in[2 * x + 1];
            }
            break;
        }
        // R,G,B(,A) samples to B,G,R(,A).
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = in + static_cast<ptrdiff_t>(x) * l.spp * bytes;
            uint8_t* o = out + static_cast<ptrdiff_t>(x) * outSamples * bytes;
            std::memcpy(o, p + 2 * bytes, bytes);
            std::memcpy(o + bytes, p + bytes, bytes);
            std::memcpy(o + 2 * bytes, p, bytes);
            if (outSamples == 4) std::memcpy(o + 3 * bytes, p + 3 * bytes, bytes);
        }
        break;
    }
    case PixelFormat32bppCMYK: std::memcpy(out, in, 4 * static_cast<size_t>(width)); break;
    default: break;
    }
}

DecodeResult ReadRows(TiffContext& ctx, const Layout& l, PixelBuffer& pixels) {
    const tmsize_t lineSize = TIFFScanlineSize(ctx.tif);
    const uint64_t needed = (uint64_t{l.width} * l.spp * l.bps + 7) / 8;
    if (lineSize <= 0 || static_cast<uint64_t>(lineSize) < needed)
        return Failure(ctx, "The TIFF file has an inconsistent row size");
    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[static_cast<size_t>(lineSize)]);
    if (!line) return DecodeResult::Failure(Status::OutOfMemory, "Not enough memory to decode the TIFF image");
    const std::unique_ptr<CmykToSrgb> converter = l.profiled ? CmykConverter(ctx.tif) : nullptr;
    if (l.profiled && !converter) return Failure(ctx, "The TIFF file's colour profile cannot be used");
    for (uint32_t y = 0; y < l.height; ++y) {
        if (TIFFReadScanline(ctx.tif, line.get(), y, 0) < 0) return Failure(ctx, "The TIFF image data cannot be read");
        StoreRow(l, line.get(), static_cast<int32_t>(l.width), pixels.Row(static_cast<int32_t>(y)), converter.get());
    }
    return DecodeResult::Success();
}

// The page's Orientation tag, 1 when it has none.
int OrientationOf(TIFF* tif) {
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    return ValidOrientation(orientation);
}

DecodeResult ReadRgba(TiffContext& ctx, const Layout& l, PixelBuffer& pixels) {
    const size_t count = static_cast<size_t>(l.width) * l.height;
    std::unique_ptr<uint32_t[]> raster(new (std::nothrow) uint32_t[count]);
    if (!raster) return DecodeResult::Failure(Status::OutOfMemory, "Not enough memory to decode the TIFF image");
    // The RGBA reader mirrors the rows towards the orientation asked for; asked for the page's own,
    // it hands them over as stored, like the rows read one by one, and the bitmap turns both alike.
    if (!TIFFReadRGBAImageOriented(ctx.tif, l.width, l.height, raster.get(), OrientationOf(ctx.tif), 1))
        return Failure(ctx, "The TIFF image data cannot be read");
    const bool alpha = pixels.format == PixelFormat32bppPARGB;
    for (uint32_t y = 0; y < l.height; ++y) {
        const uint32_t* in = raster.get() + static_cast<size_t>(y) * l.width;
        uint8_t* out = pixels.Row(static_cast<int32_t>(y));
        for (uint32_t x = 0; x < l.width; ++x) {
            const uint32_t v = in[x];
            *out++ = static_cast<uint8_t>(TIFFGetB(v));
            *out++ = static_cast<uint8_t>(TIFFGetG(v));
            *out++ = static_cast<uint8_t>(TIFFGetR(v));
            if (alpha) *out++ = static_cast<uint8_t>(TIFFGetA(v));
        }
    }
    return DecodeResult::Success();
}

// Layouts read through libtiff's RGBA interface arrive whole as 32-bit pixels first.
uint64_t ExtraBytes(const Layout& l) { return l.native ? 0 : uint64_t{l.width} * l.height * 4; }

bool ReadResolution(TIFF* tif, float& dpiX, float& dpiY) {
    float x = 0, y = 0;
    uint16_t unit = RESUNIT_INCH;
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) || !TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y)) return false;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (!std::isfinite(x) || !std::isfinite(y) || x <= 0 || y <= 0) return false;
    if (unit == RESUNIT_CENTIMETER) {
        x *= 2.54f;
        y *= 2.54f;
    } else if (unit != RESUNIT_INCH) {
        return false;
    }
    dpiX = x;
    dpiY = y;
    return true;
}

}  // namespace

DecodeResult ProbeTiff(const ByteReader& file, ImageHeader& header) {
    TiffContext ctx(file);
    if (auto opened = Open(ctx); !opened.ok()) return opened;
    const Layout l = LayoutOf(ctx.tif);
    if (auto limit = CheckPixelLimit(l.width, l.height); !limit.ok()) return limit;
    if (l.format == PixelFormatUndefined)
        return DecodeResult::Failure(Status::InvalidParameter, "The TIFF file has an unsupported layout");
    if (auto limit = CheckDecodeMemory(l.width, l.height, l.format, 0, ExtraBytes(l), &header.decodeBytes); !limit.ok())
        return limit;
    header.format = ImageFormat::Tiff;
    header.width = static_cast<int32_t>(l.width);
    header.height = static_cast<int32_t>(l.height);
    header.pixelFormat = l.format;
    header.flags = l.flags | ImageFlagsHasRealPixelSize;
    header.orientation = OrientationOf(ctx.tif);
    if (ReadResolution(ctx.tif, header.dpiX, header.dpiY)) header.flags |= ImageFlagsHasRealDPI;
    return DecodeResult::Success();
}

DecodeResult DecodeTiff(const ByteReader& file, PixelBuffer& pixels) {
    pixels = PixelBuffer{};
    TiffContext ctx(file);
    if (auto opened = Open(ctx); !opened.ok()) return opened;
    const Layout l = LayoutOf(ctx.tif);
    if (auto limit = CheckPixelLimit(l.width, l.height); !limit.ok()) return limit;
    if (l.format == PixelFormatUndefined)
        return DecodeResult::Failure(Status::InvalidParameter, "The TIFF file has an unsupported layout");
    if (auto limit = CheckDecodeMemory(l.width, l.height, l.format, 0, ExtraBytes(l)); !limit.ok()) return limit;
    if (!AllocatePixels(pixels, static_cast<int32_t>(l.width), static_cast<int32_t>(l.height), l.format))
        return DecodeResult::Failure(Status::OutOfMemory, "Not enough memory to decode the TIFF image");
    if (IsIndexedPixelFormat(l.format)) {
        pixels.palette = PaletteOf(ctx.tif, l);
        if (pixels.palette.empty()) {
            pixels = PixelBuffer{};
            return Failure(ctx, "The TIFF file has no colour map");
        }
    }
    DecodeResult result = l.native ? ReadRows(ctx, l, pixels) : ReadRgba(ctx, l, pixels);
    if (!result.ok()) pixels = PixelBuffer{};
    return result;
}

}  // namespace kv
