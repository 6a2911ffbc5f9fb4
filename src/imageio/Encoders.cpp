#include "imageio/Encoders.h"

#include <array>
#include <cmath>
#include <new>

#include "imageio/Bitmap.h"
#include "imageio/EncoderParts.h"
#include "imageio/PixelConvert.h"

namespace kv {
namespace {

struct EncoderEntry {
    std::string_view mimeType;
    ImageFormat format;
};

// In the order the platform lists its encoders.
constexpr std::array<EncoderEntry, kEncoderCount> kEncoders{{
    {"image/bmp", ImageFormat::Bmp},
    {"image/jpeg", ImageFormat::Jpeg},
    {"image/gif", ImageFormat::Gif},
    {"image/tiff", ImageFormat::Tiff},
    {"image/png", ImageFormat::Png},
}};

}  // namespace

int32_t FindEncoder(std::string_view mimeType) {
    for (size_t i = 0; i < kEncoders.size(); ++i)
        if (kEncoders[i].mimeType == mimeType) return static_cast<int32_t>(i);
    return -1;
}

ImageFormat EncoderFormat(int32_t index) {
    return index >= 0 && index < kEncoderCount ? kEncoders[static_cast<size_t>(index)].format : ImageFormat::Unknown;
}

std::string_view EncoderMimeType(int32_t index) {
    return index >= 0 && index < kEncoderCount ? kEncoders[static_cast<size_t>(index)].mimeType : std::string_view();
}

Status Encode(const PixelBuffer& pixels, ImageFormat format, int32_t quality, float dpiX, float dpiY,
              std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    if (!pixels.data || pixels.width <= 0 || pixels.height <= 0 || !IsKnownPixelFormat(pixels.format) ||
        PixelRowStride(pixels.format, pixels.width) == 0 ||
        pixels.stride < (static_cast<int64_t>(pixels.width) * GetPixelFormatSize(pixels.format) + 7) / 8) {
        error = "The image has no pixels to write.";
        return Status::InvalidParameter;
    }
    bool ok = false;
    try {
        switch (format) {
            case ImageFormat::Jpeg: ok = EncodeJpeg(pixels, quality, dpiX, dpiY, out, error); break;
            case ImageFormat::Png: ok = EncodePng(pixels, dpiX, dpiY, out, error); break;
            case ImageFormat::Tiff: ok = EncodeTiff(pixels, dpiX, dpiY, out, error); break;
            case ImageFormat::Gif: ok = EncodeGif(pixels, out, error); break;
            case ImageFormat::Bmp: ok = EncodeBmp(pixels, dpiX, dpiY, out, error); break;
            default:
                error = "There is no encoder for this file format.";
                return Status::InvalidParameter;
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        error = "There is not enough memory to write the image.";
        return Status::OutOfMemory;
    }
    if (ok) return Status::Ok;
    out.clear();
    if (error.empty()) error = "The image could not be encoded.";
    return Status::GenericError;
}

const PixelBuffer& StraightAlpha16(const PixelBuffer& pixels, PixelBuffer& scratch) {
    if (pixels.format != PixelFormat64bppPARGB) return pixels;
    if (!ConvertPixels(pixels, Rect{0, 0, pixels.width, pixels.height}, PixelFormat64bppARGB, scratch))
        throw std::bad_alloc();
    return scratch;
}

uint32_t PixelsPerMetre(float dpi) {
    if (!(dpi > 0) || !std::isfinite(dpi)) return 0;
    const double ppm = std::round(dpi / 0.0254);
    return ppm >= 1 && ppm <= 0x7FFFFFFF ? static_cast<uint32_t>(ppm) : 0;
}

int32_t PaletteEntriesUsed(const PixelBuffer& pixels) {
    const int32_t bits = GetPixelFormatSize(pixels.format);
    const int32_t limit = 1 << bits;
    int32_t used = std::min<int32_t>(static_cast<int32_t>(pixels.palette.size()), limit);
    if (used == limit) return used;
    for (int32_t y = 0; y < pixels.height; ++y) {
        const uint8_t* row = pixels.Row(y);
        for (int32_t x = 0; x < pixels.width; ++x) used = std::max<int32_t>(used, IndexAt(row, x, bits) + 1);
        if (used == limit) break;
    }
    return std::max(used, 1);
}

std::vector<int32_t> GreyLevels(std::span<const uint32_t> palette) {
    std::vector<int32_t> levels;
    levels.reserve(palette.size());
    for (const uint32_t argb : palette) {
        const int32_t r = (argb >> 16) & 0xFF;
        if (r != static_cast<int32_t>((argb >> 8) & 0xFF) || r != static_cast<int32_t>(argb & 0xFF)) return {};
        levels.push_back(r);
    }
    return levels;
}

}  // namespace kv
