#include <cstring>
#include <limits>

#include "imageio/EncoderParts.h"
#include "imageio/PixelConvert.h"

namespace kv {
namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kV5HeaderSize = 124;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kSrgbColourSpace = 0x73524742;  // 'sRGB'

// How a pixel format is stored: bits per pixel, the header it needs, and where the rows come from.
struct BmpLayout {
    uint16_t bits = 24;
    uint32_t compression = kBiRgb;
    uint32_t headerSize = kInfoHeaderSize;
    uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    enum class Feed { Direct, Bgr24, Bgra32 } feed = Feed::Direct;
};

BmpLayout LayoutOf(PixelFormat format) {
    BmpLayout l;
    switch (format) {
        case PixelFormat1bppIndexed:
        case PixelFormat4bppIndexed:
        case PixelFormat8bppIndexed:
            l.bits = static_cast<uint16_t>(GetPixelFormatSize(format));
            break;
        case PixelFormat16bppRGB555:
            l.bits = 16;  // the plain 16-bit layout is 5-5-5
            break;
        case PixelFormat16bppRGB565:
            l.bits = 16;
            l.compression = kBiBitfields;
            l.masks[0] = 0xF800;
            l.masks[1] = 0x07E0;
            l.masks[2] = 0x001F;
            break;
        case PixelFormat24bppRGB:
            break;
        case PixelFormat32bppRGB:
            l.bits = 32;
            break;
        case PixelFormat32bppARGB:
        case PixelFormat32bppPARGB:
        case PixelFormat16bppARGB1555:
        case PixelFormat64bppARGB:
        case PixelFormat64bppPARGB:
            // Alpha needs a header that names its mask.
            l.bits = 32;
            l.compression = kBiBitfields;
            l.headerSize = kV5HeaderSize;
            l.masks[0] = 0x00FF0000;
            l.masks[1] = 0x0000FF00;
            l.masks[2] = 0x000000FF;
            l.masks[3] = 0xFF000000;
            if (format != PixelFormat32bppARGB) l.feed = BmpLayout::Feed::Bgra32;
            break;
        default:  // 16-bit grey, 48-bit, CMYK
            l.feed = BmpLayout::Feed::Bgr24;
            break;
    }
    return l;
}

void Put16(uint8_t*& p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p += 2;
}

void Put32(uint8_t*& p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
    p += 4;
}

}  // namespace

bool EncodeBmp(const PixelBuffer& pixels, float dpiX, float dpiY, std::vector<uint8_t>& out, std::string& error) {
    const BmpLayout layout = LayoutOf(pixels.format);
    const bool indexed = IsIndexedPixelFormat(pixels.format);
    const uint32_t paletteEntries = indexed ? (1u << layout.bits) : 0;
    const uint32_t maskBytes = layout.compression == kBiBitfields && layout.headerSize == kInfoHeaderSize ? 12 : 0;
    const uint64_t stride = (static_cast<uint64_t>(pixels.width) * layout.bits + 31) / 32 * 4;
    const uint64_t imageBytes = stride * static_cast<uint64_t>(pixels.height);
    const uint64_t offset = kFileHeaderSize + layout.headerSize + maskBytes + paletteEntries * 4;
    const uint64_t fileSize = offset + imageBytes;
    if (fileSize > std::numeric_limits<uint32_t>::max()) {
        error = "The image is too large for a BMP file.";
        return false;
    }
    out.assign(static_cast<size_t>(fileSize), 0);

    uint8_t* p = out.data();
    *p++ = 'B';
    *p++ = 'M';
    Put32(p, static_cast<uint32_t>(fileSize));
    Put32(p, 0);
    Put32(p, static_cast<uint32_t>(offset));

    Put32(p, layout.headerSize);
    Put32(p, static_cast<uint32_t>(pixels.width));
    Put32(p, static_cast<uint32_t>(pixels.height));  // positive: rows bottom-up
    Put16(p, 1);
    Put16(p, layout.bits);
    Put32(p, layout.compression);
    Put32(p, static_cast<uint32_t>(imageBytes));
    Put32(p, PixelsPerMetre(dpiX));
    Put32(p, PixelsPerMetre(dpiY));
    Put32(p, paletteEntries);
    Put32(p, 0);
    if (layout.compression == kBiBitfields) {
        Put32(p, layout.masks[0]);
        Put32(p, layout.masks[1]);
        Put32(p, layout.masks[2]);
    }
    if (layout.headerSize == kV5HeaderSize) {
        Put32(p, layout.masks[3]);
        Put32(p, kSrgbColourSpace);
        p = out.data() + kFileHeaderSize + kV5HeaderSize;  // end points, gamma and intent stay zero
    }
    for (uint32_t i = 0; i < paletteEntries; ++i) {
        // A BMP palette has no alpha: a transparent entry shows as its colour on white.
        const uint32_t entry = i < pixels.palette.size() ? pixels.palette[i] : 0xFF000000u;
        const uint32_t a = entry >> 24;
        const uint32_t argb = uint32_t{OnWhite((entry >> 16) & 255, a)} << 16 | uint32_t{OnWhite((entry >> 8) & 255, a)} << 8 |
                              OnWhite(entry & 255, a);
        *p++ = static_cast<uint8_t>(argb);
        *p++ = static_cast<uint8_t>(argb >> 8);
        *p++ = static_cast<uint8_t>(argb >> 16);
        *p++ = 0;
    }

    const size_t rowBytes = static_cast<size_t>((static_cast<uint64_t>(pixels.width) * layout.bits + 7) / 8);
    for (int32_t y = 0; y < pixels.height; ++y) {
        uint8_t* dst = out.data() + offset + static_cast<uint64_t>(pixels.height - 1 - y) * stride;
        const uint8_t* src = pixels.Row(y);
        switch (layout.feed) {
            case BmpLayout::Feed::Direct: std::memcpy(dst, src, rowBytes); break;
            case BmpLayout::Feed::Bgr24: RowToBgr24(pixels.format, src, 0, pixels.width, pixels.palette, dst); break;
            case BmpLayout::Feed::Bgra32: RowToBgra32(pixels.format, src, 0, pixels.width, pixels.palette, dst); break;
        }
        // Bits past the width in the last byte of a packed row are cleared.
        if (layout.bits < 8 && (static_cast<uint64_t>(pixels.width) * layout.bits) % 8 != 0) {
            const int used = static_cast<int>((static_cast<uint64_t>(pixels.width) * layout.bits) % 8);
            dst[rowBytes - 1] &= static_cast<uint8_t>(0xFF << (8 - used));
        }
    }
    return true;
}

}  // namespace kv
