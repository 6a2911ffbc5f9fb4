#include "browser/ThumbnailJpeg.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "codecs/JpegCoder.h"
#include "codecs/JpegIStream.h"
#include "codecs/JpegOStream.h"
#include "codecs/SlimJpegDecoder.h"

namespace kv {

namespace {

constexpr int32_t kPixelsPerMetre72Dpi = 2835;
// Colour with 2x2 luminance sampling, the two tables in separate segments, 300 dots per inch.
constexpr bool kColour = true;
constexpr bool kChroma422 = false;
constexpr bool kSingleDqt = false;
constexpr int kDotsPerInch = 2;
constexpr uint16_t kDensity = 300;
// Thumbnails are a few hundred pixels; a bitmap this large is a damaged size, never a thumbnail.
constexpr int32_t kMaxSide = 32767;

// A zeroed 24-bit bitmap at 72 dots per inch.
DibImagePtr NewBlackDib(int32_t width, int32_t height) {
    const int32_t stride = DibImage::StrideFor(24, width);
    const size_t imageBytes = static_cast<size_t>(stride) * static_cast<size_t>(height);
    auto* header = static_cast<BitmapInfoHeader*>(std::calloc(1, sizeof(BitmapInfoHeader) + imageBytes));
    if (!header) throw std::bad_alloc();
    header->biSize = sizeof(BitmapInfoHeader);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biSizeImage = static_cast<uint32_t>(imageBytes);
    header->biXPelsPerMeter = kPixelsPerMetre72Dpi;
    header->biYPelsPerMeter = kPixelsPerMetre72Dpi;
    try {
        return DibImagePtr(new DibImage(header, false));
    } catch (...) {
        std::free(header);
        throw;
    }
}

}  // namespace

std::vector<uint8_t> EncodeThumbnailJpeg(const DibImage& thumbnail) {
    if (thumbnail.bitsPerPixel() != 24 || thumbnail.width() <= 0 || thumbnail.height() <= 0) return {};
    try {
        OQZStream stream;
        auto coder = SlimJpeg::CreateCoder(stream, static_cast<unsigned>(thumbnail.width()),
                                           static_cast<unsigned>(thumbnail.height()), kColour,
                                           kThumbnailJpegQuality, kChroma422, kSingleDqt, kDotsPerInch, kDensity,
                                           kDensity);
        for (int32_t row = 0; row < thumbnail.height(); ++row)
            coder->WriteRow(thumbnail.bits() + static_cast<size_t>(row) * static_cast<size_t>(thumbnail.stride()));
        return stream.TakeBytes();
    } catch (const SlimJpeg::Error&) {
        return {};
    }
}

DibImagePtr DecodeThumbnailJpeg(std::span<const uint8_t> stream, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || stream.empty()) return {};
    try {
        IQZStreamMem source(stream.data(), stream.size());
        unsigned streamWidth = 0;
        unsigned streamHeight = 0;
        uint8_t isColour = 0;
        auto decoder = SlimJpeg::CreateDecoder(source, &streamWidth, &streamHeight, &isColour, nullptr, nullptr,
                                               nullptr);
        DibImagePtr dib = NewBlackDib(width, height);
        const int32_t rows = static_cast<int32_t>(std::min<unsigned>(streamHeight, static_cast<unsigned>(height)));
        const int32_t pixels = static_cast<int32_t>(std::min<unsigned>(streamWidth, static_cast<unsigned>(width)));
        for (int32_t row = 0; row < rows; ++row) {
            const uint8_t* in = decoder->ReadRow();
            uint8_t* out = dib->bits() + static_cast<size_t>(row) * static_cast<size_t>(dib->stride());
            if (isColour) {
                std::memcpy(out, in, static_cast<size_t>(pixels) * 3);
            } else {
                for (int32_t x = 0; x < pixels; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = in[x];
            }
        }
        return dib;
    } catch (const SlimJpeg::Error&) {
        return {};
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace kv
