// BMP files, read by our own code: Windows headers of 40 to 124 bytes and the OS/2 ones, 1, 4 and
// 8 bits with a palette, RLE4 and RLE8, 16 and 32 bits plain or with bit fields, 24 bits, rows
// bottom-up or top-down. Every offset and length is checked against the file before it is used.
#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "imageio/Decoders.h"
#include "imageio/PixelConvert.h"

namespace kv {
namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;
constexpr uint32_t kFileHeaderSize = 14;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24; }

// One colour channel of a bit-field pixel: where its bits sit and how many there are.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    static Channel Of(uint32_t mask) {
        Channel c;
        if (mask == 0) return c;
        c.shift = std::countr_zero(mask);
        c.bits = std::countr_one(mask >> c.shift);
        if (c.bits > 8) {  // keep the top eight bits of a wide channel
            c.shift += c.bits - 8;
            c.bits = 8;
        }
        c.mask = ((uint32_t{1} << c.bits) - 1) << c.shift;
        return c;
    }
    uint8_t Extract(uint32_t pixel, uint8_t absent) const {
        if (bits == 0) return absent;
        const uint32_t max = (uint32_t{1} << bits) - 1;
        return static_cast<uint8_t>(((pixel & mask) >> shift) * 255 / max);
    }
};

struct BmpInfo {
    int32_t width = 0;
    int32_t height = 0;  // positive
    bool topDown = false;
    uint32_t bpp = 0;
    uint32_t compression = kRgb;
    uint32_t dataOffset = 0;
    uint32_t masks[4] = {};  // red, green, blue, alpha
    bool generalBitFields = false;  // masks that no pixel format holds directly
    PixelFormat format = PixelFormatUndefined;
    std::vector<uint32_t> palette;
    float dpiX = kDefaultDpi, dpiY = kDefaultDpi;
    bool realDpi = false;
    uint64_t decodeBytes = 0;
};

DecodeResult Bad(const char* why) { return DecodeResult::Failure(Status::InvalidParameter, std::string("The BMP file is damaged: ") + why); }
DecodeResult Unsupported(const char* what) {
    return DecodeResult::Failure(Status::InvalidParameter, std::string("The BMP file uses an unsupported ") + what);
}

PixelFormat BitFieldFormat(uint32_t bpp, const uint32_t m[4]) {
    if (bpp == 16) {
        if (m[0] == 0x7C00 && m[1] == 0x03E0 && m[2] == 0x001F) return m[3] == 0x8000 ? PixelFormat16bppARGB1555
                                                                      : m[3] == 0   ? PixelFormat16bppRGB555
                                                                                    : PixelFormatUndefined;
        if (m[0] == 0xF800 && m[1] == 0x07E0 && m[2] == 0x001F && m[3] == 0) return PixelFormat16bppRGB565;
    } else if (m[0] == 0xFF0000 && m[1] == 0xFF00 && m[2] == 0xFF) {
        if (m[3] == 0) return PixelFormat32bppRGB;
        if (m[3] == 0xFF000000u) return PixelFormat32bppARGB;
    }
    return PixelFormatUndefined;
}

DecodeResult Parse(const ByteReader& file, BmpInfo& info) {
    const uint64_t fileSize = file.Size();
    uint8_t head[kFileHeaderSize + 4];
    if (file.ReadAt(0, head, sizeof head) != sizeof head) return Bad("the header is cut short");
    info.dataOffset = U32(head + 10);
    const uint32_t headerSize = U32(head + 14);
    const bool core = headerSize == 12;
    const bool os2 = headerSize == 16 || headerSize == 64;
    if (!core && !os2 && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124)
        return Unsupported("header size");
    uint8_t h[124] = {};
    if (file.ReadAt(kFileHeaderSize, h, headerSize) != headerSize) return Bad("the header is cut short");

    int64_t width, height;
    uint32_t planes;
    if (core) {
        width = U16(h + 4);
        height = static_cast<int16_t>(U16(h + 6));
        planes = U16(h + 8);
        info.bpp = U16(h + 10);
    } else {
        width = static_cast<int32_t>(U32(h + 4));
        height = static_cast<int32_t>(U32(h + 8));
        planes = U16(h + 12);
        info.bpp = U16(h + 14);
        info.compression = headerSize >= 20 ? U32(h + 16) : kRgb;
        if (headerSize >= 32) {
            const auto x = static_cast<int32_t>(U32(h + 24)), y = static_cast<int32_t>(U32(h + 28));
            if (x > 0 && y > 0) {
                info.dpiX = static_cast<float>(x * 0.0254);
                info.dpiY = static_cast<float>(y * 0.0254);
                info.realDpi = true;
            }
        }
    }
    (void)planes;  // some writers leave it 0; nothing depends on it
    info.topDown = height < 0;
    height = height < 0 ? -height : height;
    if (auto limit = CheckPixelLimit(width, height); !limit.ok()) return limit;
    info.width = static_cast<int32_t>(width);
    info.height = static_cast<int32_t>(height);

    // OS/2 numbers its own compressions 3 and 4 (Huffman, RLE24), which we do not read.
    if (os2 && info.compression > kRle4) return Unsupported("compression");
    uint64_t paletteStart = kFileHeaderSize + headerSize;
    switch (info.compression) {
    case kRgb:
        switch (info.bpp) {
        case 1: info.format = PixelFormat1bppIndexed; break;
        case 4: info.format = PixelFormat4bppIndexed; break;
        case 8: info.format = PixelFormat8bppIndexed; break;
        case 16: info.format = PixelFormat16bppRGB555; break;
        case 24: info.format = PixelFormat24bppRGB; break;
        case 32: info.format = PixelFormat32bppRGB; break;
        default: return Unsupported("bit depth");
        }
        break;
    case kRle8:
    case kRle4:
        if (info.bpp != (info.compression == kRle8 ? 8u : 4u)) return Bad("the compression does not match the bit depth");
        if (info.topDown) return Bad("compressed rows cannot run top-down");
        info.format = info.bpp == 8 ? PixelFormat8bppIndexed : PixelFormat4bppIndexed;
        break;
    case kBitFields:
    case kAlphaBitFields: {
        if (core || (info.bpp != 16 && info.bpp != 32)) return Unsupported("bit-field layout");
        const uint32_t maskCount = info.compression == kAlphaBitFields ? 4 : 3;
        if (headerSize >= 52) {
            for (uint32_t i = 0; i < 4 && 40 + 4 * i + 4 <= headerSize; ++i) info.masks[i] = U32(h + 40 + 4 * i);
            if (maskCount == 3 && headerSize < 56) info.masks[3] = 0;
        } else {
            uint8_t m[16];
            if (file.ReadAt(paletteStart, m, 4 * maskCount) != 4 * maskCount) return Bad("the colour masks are cut short");
            for (uint32_t i = 0; i < maskCount; ++i) info.masks[i] = U32(m + 4 * i);
            paletteStart += 4 * maskCount;
        }
        const uint64_t limit = info.bpp == 16 ? 0xFFFFu : 0xFFFFFFFFu;
        for (uint32_t mask : info.masks)
            if (mask > limit) return Bad("a colour mask is wider than the pixel");
        info.format = BitFieldFormat(info.bpp, info.masks);
        if (info.format == PixelFormatUndefined) {
            info.generalBitFields = true;
            info.format = info.masks[3] ? PixelFormat32bppARGB : PixelFormat24bppRGB;
        }
        break;
    }
    default: return Unsupported("compression");
    }

    if (info.dataOffset < paletteStart || info.dataOffset >= fileSize) return Bad("the pixel data offset is wrong");
    if (info.bpp <= 8) {
        const uint32_t capacity = 1u << info.bpp;
        const uint32_t used = core ? 0 : U32(h + 32);
        uint32_t count = used > 0 && used < capacity ? used : capacity;
        const uint32_t entrySize = core ? 3 : 4;
        count = static_cast<uint32_t>(std::min<uint64_t>(count, (info.dataOffset - paletteStart) / entrySize));
        std::vector<uint8_t> raw(static_cast<size_t>(count) * entrySize);
        if (file.ReadAt(paletteStart, raw.data(), raw.size()) != raw.size()) return Bad("the palette is cut short");
        info.palette.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* e = raw.data() + static_cast<size_t>(i) * entrySize;
            info.palette[i] = 0xFF000000u | uint32_t{e[2]} << 16 | uint32_t{e[1]} << 8 | e[0];
        }
    }
    if (info.compression != kRle4 && info.compression != kRle8) {
        // The last row may lack its padding; everything before it must be there.
        const uint64_t stride = (uint64_t{static_cast<uint32_t>(info.width)} * info.bpp + 31) / 32 * 4;
        const uint64_t lastRow = (uint64_t{static_cast<uint32_t>(info.width)} * info.bpp + 7) / 8;
        if (info.dataOffset + stride * (static_cast<uint64_t>(info.height) - 1) + lastRow > fileSize)
            return Bad("the pixel data is cut short");
    }
    return CheckDecodeMemory(info.width, info.height, info.format, 0, 0, &info.decodeBytes);
}

void SetIndex(PixelBuffer& pixels, int32_t x, int32_t y, uint32_t index) {
    uint8_t* row = pixels.Row(y);
    if (pixels.format == PixelFormat8bppIndexed) {
        row[x] = static_cast<uint8_t>(index);
    } else {
        const int shift = (x & 1) ? 0 : 4;
        row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & ~(0x0F << shift)) | ((index & 15u) << shift));
    }
}

// Run-length rows, bottom-up. Pixels the runs skip stay index 0; runs past the right edge are
// clipped, and decoding ends at the end-of-bitmap code or the top row. Data that ends before either
// leaves the picture incomplete: false.
bool DecodeRle(const uint8_t* data, size_t size, bool four, PixelBuffer& pixels) {
    const int32_t width = pixels.width, height = pixels.height;
    uint64_t x = 0, y = 0;
    size_t pos = 0;
    while (pos + 1 < size && y < static_cast<uint64_t>(height)) {
        const uint32_t count = data[pos], value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (uint32_t i = 0; i < count && x + i < static_cast<uint64_t>(width); ++i)
                SetIndex(pixels, static_cast<int32_t>(x + i), height - 1 - static_cast<int32_t>(y),
                         four ? ((i & 1) ? value & 15 : value >> 4) : value);
            x += count;
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            return true;
        } else if (value == 2) {  // move right and up
            if (pos + 1 >= size) return false;
            x += data[pos];
            y += data[pos + 1];
            pos += 2;
        } else {  // value literal pixels, padded to a whole word
            const size_t bytes = four ? (value + 1) / 2 : value;
            if (pos + bytes > size) return false;
            for (uint32_t i = 0; i < value && x + i < static_cast<uint64_t>(width); ++i) {
                const uint8_t b = data[pos + (four ? i / 2 : i)];
                SetIndex(pixels, static_cast<int32_t>(x + i), height - 1 - static_cast<int32_t>(y),
                         four ? ((i & 1) ? b & 15 : b >> 4) : b);
            }
            x += value;
            pos += (bytes + 1) & ~size_t{1};
        }
    }
    return y >= static_cast<uint64_t>(height);
}

DecodeResult ReadRows(const ByteReader& file, const BmpInfo& info, PixelBuffer& pixels) {
    const size_t fileStride = (static_cast<size_t>(info.width) * info.bpp + 31) / 32 * 4;
    const size_t rowBytes = (static_cast<size_t>(info.width) * info.bpp + 7) / 8;
    std::unique_ptr<uint8_t[]> line;
    if (info.generalBitFields) {
        line.reset(new (std::nothrow) uint8_t[rowBytes]);
        if (!line) return DecodeResult::Failure(Status::OutOfMemory, "Not enough memory to decode the BMP image");
    }
    const Channel r = Channel::Of(info.masks[0]), g = Channel::Of(info.masks[1]), b = Channel::Of(info.masks[2]),
                  a = Channel::Of(info.masks[3]);
    for (int32_t row = 0; row < info.height; ++row) {
        const int32_t y = info.topDown ? row : info.height - 1 - row;
        const uint64_t at = info.dataOffset + static_cast<uint64_t>(row) * fileStride;
        if (!info.generalBitFields) {
            if (file.ReadAt(at, pixels.Row(y), rowBytes) != rowBytes) return Bad("the pixel data is cut short");
            continue;
        }
        if (file.ReadAt(at, line.get(), rowBytes) != rowBytes) return Bad("the pixel data is cut short");
        uint8_t* out = pixels.Row(y);
        const bool alpha = pixels.format == PixelFormat32bppARGB;
        for (int32_t x = 0; x < info.width; ++x) {
            const uint32_t v = info.bpp == 16 ? U16(line.get() + 2 * x) : U32(line.get() + 4 * x);
            *out++ = b.Extract(v, 0);
            *out++ = g.Extract(v, 0);
            *out++ = r.Extract(v, 0);
            if (alpha) *out++ = a.Extract(v, 255);
        }
    }
    return DecodeResult::Success();
}

}  // namespace

DecodeResult ProbeBmp(const ByteReader& file, ImageHeader& header) {
    BmpInfo info;
    if (auto parsed = Parse(file, info); !parsed.ok()) return parsed;
    header.format = ImageFormat::Bmp;
    header.width = info.width;
    header.height = info.height;
    header.pixelFormat = info.format;
    header.flags = FlagsForPixelFormat(info.format) | ImageFlagsHasRealPixelSize | (info.realDpi ? uint32_t{ImageFlagsHasRealDPI} : 0u);
    header.dpiX = info.dpiX;
    header.dpiY = info.dpiY;
    header.decodeBytes = info.decodeBytes;
    return DecodeResult::Success();
}

DecodeResult DecodeBmp(const ByteReader& file, PixelBuffer& pixels) {
    pixels = PixelBuffer{};
    BmpInfo info;
    if (auto parsed = Parse(file, info); !parsed.ok()) return parsed;
    if (!AllocatePixels(pixels, info.width, info.height, info.format))
        return DecodeResult::Failure(Status::OutOfMemory, "Not enough memory to decode the BMP image");
    if (IsIndexedPixelFormat(info.format)) pixels.palette = info.palette;

    DecodeResult result;
    if (info.compression == kRle4 || info.compression == kRle8) {
        const uint64_t available = file.Size() - info.dataOffset;
        const auto* memory = file.Memory();
        std::vector<uint8_t> copy;
        const uint8_t* data = nullptr;
        if (memory) {
            data = memory->data() + info.dataOffset;
        } else {
            // Compressed data is never larger than the file; the file reader read it in one piece.
            if (available > std::numeric_limits<size_t>::max() / 2) return Bad("the file is too large");
            copy.resize(static_cast<size_t>(available));
            if (file.ReadAt(info.dataOffset, copy.data(), copy.size()) != copy.size()) return Bad("the pixel data is cut short");
            data = copy.data();
        }
        if (!DecodeRle(data, static_cast<size_t>(available), info.compression == kRle4, pixels))
            result = Bad("the run-length data ends before the picture does");
    } else {
        result = ReadRows(file, info, pixels);
    }
    if (!result.ok()) pixels = PixelBuffer{};
    return result;
}

}  // namespace kv
