#include "imageio/Decoders.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "imageio/Bitmap.h"
#include "imageio/PixelConvert.h"

namespace kv {
namespace {

std::atomic<uint64_t> g_pixelLimit{uint64_t{1} << 30};

}  // namespace

void SetDecodePixelLimit(uint64_t pixels) { g_pixelLimit.store(pixels, std::memory_order_relaxed); }
uint64_t DecodePixelLimit() { return g_pixelLimit.load(std::memory_order_relaxed); }

DecodeResult CheckPixelLimit(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX)
        return DecodeResult::Failure(Status::InvalidParameter, "The image has an invalid size");
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (pixels > DecodePixelLimit())
        return DecodeResult::Failure(Status::OutOfMemory,
                                     "The image is too large to decode (" + std::to_string(width) + " x " +
                                         std::to_string(height) + " pixels; the limit is " +
                                         std::to_string(DecodePixelLimit()) + " pixels)");
    return DecodeResult::Success();
}

DecodeResult CheckDecodeMemory(int64_t width, int64_t height, PixelFormat format, uint64_t extraBytesPerRow,
                               uint64_t extraBytes, uint64_t* bytes) {
    if (auto pixels = CheckPixelLimit(width, height); !pixels.ok()) return pixels;
    const int32_t stride = PixelRowStride(format, static_cast<int32_t>(width));
    const int32_t bits = GetPixelFormatSize(format);
    if (stride <= 0 || bits <= 0) return DecodeResult::Failure(Status::InvalidParameter, "The image has an invalid size");
    // Every term stays far below 2^64: stride and the extras per row are below 2^33, height below 2^31.
    const uint64_t perRow = static_cast<uint64_t>(stride) + std::min<uint64_t>(extraBytesPerRow, uint64_t{1} << 32);
    const uint64_t extra = std::min<uint64_t>(extraBytes, uint64_t{1} << 62);
    const uint64_t total = perRow * static_cast<uint64_t>(height) + extra;
    const uint64_t equivalent = total / static_cast<uint64_t>(bits) * 8 + (total % static_cast<uint64_t>(bits) ? 8 : 0);
    if (equivalent > DecodePixelLimit())
        return DecodeResult::Failure(Status::OutOfMemory,
                                     "The image is too large to decode (" + std::to_string(width) + " x " +
                                         std::to_string(height) + " pixels taking " + std::to_string(total >> 20) +
                                         " MB of memory; the limit is " + std::to_string(DecodePixelLimit()) +
                                         " pixels)");
    if (bytes) *bytes = total;
    return DecodeResult::Success();
}

uint32_t FlagsForPixelFormat(PixelFormat format) {
    if (format == PixelFormatUndefined) return 0;
    uint32_t flags = format == PixelFormat32bppCMYK ? ImageFlagsColorSpaceCMYK : ImageFlagsColorSpaceRGB;
    if (IsAlphaPixelFormat(format)) flags |= ImageFlagsHasAlpha;
    return flags;
}

ImageFormat SniffImageFormat(const ByteReader& file) {
    uint8_t b[8] = {};
    const size_t n = file.ReadAt(0, b, sizeof b);
    if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return ImageFormat::Jpeg;
    if (n >= 8 && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0) return ImageFormat::Png;
    if (n >= 6 && (std::memcmp(b, "GIF87a", 6) == 0 || std::memcmp(b, "GIF89a", 6) == 0)) return ImageFormat::Gif;
    if (n >= 2 && b[0] == 'B' && b[1] == 'M') return ImageFormat::Bmp;
    if (n >= 4 && ((b[0] == 'I' && b[1] == 'I' && (b[2] == 42 || b[2] == 43) && b[3] == 0) ||
                   (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && (b[3] == 42 || b[3] == 43))))
        return ImageFormat::Tiff;
    return ImageFormat::Unknown;
}

DecodeResult ProbeImage(const ByteReader& file, ImageHeader& header) {
    header = ImageHeader{};
    DecodeResult result;
    switch (SniffImageFormat(file)) {
    case ImageFormat::Jpeg: result = ProbeJpeg(file, header); break;
    case ImageFormat::Png: result = ProbePng(file, header); break;
    case ImageFormat::Gif: result = ProbeGif(file, header); break;
    case ImageFormat::Bmp: result = ProbeBmp(file, header); break;
    case ImageFormat::Tiff: result = ProbeTiff(file, header); break;
    default:
        return DecodeResult::Failure(Status::UnknownImageFormat,
                                     file.Size() == 0 ? "The file is empty" : "The file is not an image in a known format");
    }
    if (!result.ok()) header = ImageHeader{};
    return result;
}

DecodeResult DecodeImage(const ByteReader& file, ImageFormat format, PixelBuffer& pixels) {
    switch (format) {
    case ImageFormat::Jpeg: return DecodeJpeg(file, 8, pixels);
    case ImageFormat::Png: return DecodePng(file, pixels);
    case ImageFormat::Gif: return DecodeGif(file, pixels);
    case ImageFormat::Bmp: return DecodeBmp(file, pixels);
    case ImageFormat::Tiff: return DecodeTiff(file, pixels);
    default: return DecodeResult::Failure(Status::UnknownImageFormat, "The file is not an image in a known format");
    }
}

}  // namespace kv
