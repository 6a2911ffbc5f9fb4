#include "engine/DibImage.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "engine/StandardResample.h"

namespace kv {

namespace {

constexpr const char* kEmptyDibMessage =
    "invalid width or height argument: \t\t\t\t\t\t\t\t trying to create an empty dib";

// The block size of a DIB, or 0 when it would not fit in memory sizes.
size_t BlockSize(int32_t width, int32_t height, int32_t bitsPerPixel) {
    const int64_t stride = DibImage::StrideFor(bitsPerPixel, width);
    const int64_t rows = std::abs(static_cast<int64_t>(height));
    if (stride <= 0 || rows == 0 || stride > std::numeric_limits<int64_t>::max() / rows) return 0;
    const int64_t total = 40 + 4 * int64_t{DibImage::PaletteEntriesFor(bitsPerPixel)} + stride * rows;
    return total > (int64_t{1} << 40) ? 0 : static_cast<size_t>(total);
}

int32_t PelsPerMetre(float dpi) { return (static_cast<int32_t>(dpi) * 10000 + 127) / 254; }

}  // namespace

DibImage::DibImage(BitmapInfoHeader* header, bool copy) {
    if (!header) throw std::invalid_argument("invalid pbmi argument: NULL pointer");
    if (header->biSize != 40) throw std::invalid_argument("invalid pbmi argument");
    const int32_t bpp = header->biBitCount;
    // A header whose sizes describe no addressable image would make every later row access wrong.
    if (header->biWidth <= 0 || header->biHeight == 0 || header->biHeight == std::numeric_limits<int32_t>::min() ||
        !(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32))
        throw std::invalid_argument("invalid pbmi argument");
    const size_t size = BlockSize(header->biWidth, header->biHeight, bpp);
    if (size == 0) throw std::invalid_argument("invalid pbmi argument");
    if (copy) {
        void* block = std::malloc(size);
        if (!block) throw std::bad_alloc();
        std::memcpy(block, header, size);
        Adopt(block);
    } else {
        Adopt(header);
    }
}

DibImage::DibImage(int32_t width, int32_t height, int32_t bitsPerPixel, const RgbQuad* palette) {
    if (width == 0 || height == 0) throw std::invalid_argument(kEmptyDibMessage);
    if (!(bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 24))
        throw std::invalid_argument("invalid argument: \t\t\t\t\t\t\t\t unsupported bits per pixel");
    if (bitsPerPixel <= 8 && !palette) throw std::invalid_argument("invalid palette argument");
    if (width < 0 || height < 0) throw std::invalid_argument(kEmptyDibMessage);
    const size_t size = BlockSize(width, height, bitsPerPixel);
    if (size == 0) throw std::invalid_argument(kEmptyDibMessage);
    void* block = std::calloc(1, size);
    if (!block) throw std::bad_alloc();
    auto* h = static_cast<BitmapInfoHeader*>(block);
    const int32_t entries = PaletteEntriesFor(bitsPerPixel);
    h->biSize = 40;
    h->biWidth = width;
    h->biHeight = height;
    h->biPlanes = 1;
    h->biBitCount = static_cast<uint16_t>(bitsPerPixel);
    h->biSizeImage = static_cast<uint32_t>(static_cast<int64_t>(height) * StrideFor(bitsPerPixel, width));
    h->biClrUsed = h->biClrImportant = static_cast<uint32_t>(entries);
    auto* pal = reinterpret_cast<RgbQuad*>(h + 1);
    for (int32_t i = 0; i < entries; ++i) pal[i] = {palette[i].blue, palette[i].green, palette[i].red, 0};
    Adopt(block);
}

DibImage::DibImage(const Raster& source, float dpiX, float dpiY) : DibImage(source.width, source.height, 24, nullptr) {
    header_->biXPelsPerMeter = PelsPerMetre(dpiX);
    header_->biYPelsPerMeter = PelsPerMetre(dpiY);
    const size_t bytes = static_cast<size_t>(std::min(stride_, source.stride));
    for (int32_t y = 0; y < source.height; ++y)
        std::memcpy(bits_ + static_cast<size_t>(y) * stride_, source.Row(source.height - 1 - y), bytes);
}

DibImage::~DibImage() { std::free(block_); }

void DibImage::Adopt(void* block) {
    block_ = block;
    header_ = static_cast<BitmapInfoHeader*>(block);
    stride_ = StrideFor(header_->biBitCount, header_->biWidth);
    bits_ = reinterpret_cast<uint8_t*>(header_ + 1) + 4 * PaletteEntriesFor(header_->biBitCount);
}

int32_t DibImage::paletteEntries() const { return header_ ? PaletteEntriesFor(header_->biBitCount) : 0; }

size_t DibImage::packedSize() const {
    return header_ ? BlockSize(header_->biWidth, header_->biHeight, header_->biBitCount) : 0;
}

namespace {

// One DIB row as blue, green, red bytes.
void RowToBgr(const DibImage& dib, const uint8_t* row, uint8_t* out) {
    const int32_t w = dib.width();
    const RgbQuad* pal = dib.palette();
    switch (dib.bitsPerPixel()) {
        case 1:
        case 4:
        case 8: {
            const int bpp = dib.bitsPerPixel();
            const int perByte = 8 / bpp;
            const int mask = (1 << bpp) - 1;
            for (int32_t x = 0; x < w; ++x) {
                const int shift = 8 - bpp * (x % perByte + 1);
                const RgbQuad& c = pal[(row[x / perByte] >> shift) & mask];
                out[3 * x] = c.blue;
                out[3 * x + 1] = c.green;
                out[3 * x + 2] = c.red;
            }
            break;
        }
        case 16:
            for (int32_t x = 0; x < w; ++x) {
                const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
                out[3 * x] = static_cast<uint8_t>(((v & 31) * 255 + 15) / 31);
                out[3 * x + 1] = static_cast<uint8_t>((((v >> 5) & 31) * 255 + 15) / 31);
                out[3 * x + 2] = static_cast<uint8_t>((((v >> 10) & 31) * 255 + 15) / 31);
            }
            break;
        case 24:
            std::memcpy(out, row, 3 * static_cast<size_t>(w));
            break;
        case 32:
            for (int32_t x = 0; x < w; ++x) std::memcpy(out + 3 * x, row + 4 * x, 3);
            break;
    }
}

}  // namespace

bool DibImage::Resize(int32_t width, int32_t height) {
    if (!bits_) return false;
    if (width == header_->biWidth && height == header_->biHeight) return true;
    if (width <= 0 || height <= 0) return false;
    const size_t size = BlockSize(width, height, 24);
    if (size == 0) return false;
    void* block = std::calloc(1, size);
    if (!block) return false;
    auto* h = static_cast<BitmapInfoHeader*>(block);
    h->biSize = 40;
    h->biWidth = width;
    h->biHeight = height;
    h->biPlanes = 1;
    h->biBitCount = 24;
    const int32_t newStride = StrideFor(24, width);
    Raster target{reinterpret_cast<uint8_t*>(h + 1), newStride, width, height};

    // Rows stay bottom-up on both sides: resizing the upside-down views gives the upside-down result.
    const int32_t oldHeight = std::abs(header_->biHeight);
    Raster source{bits_, stride_, header_->biWidth, oldHeight};
    OwnedRaster converted;
    if (header_->biBitCount != 24) {
        converted = OwnedRaster::Allocate(header_->biWidth, oldHeight);
        if (!converted) {
            std::free(block);
            return false;
        }
        source = converted.view();
        for (int32_t y = 0; y < oldHeight; ++y) RowToBgr(*this, bits_ + static_cast<size_t>(y) * stride_, source.Row(y));
    }
    if (header_->biHeight < 0) {
        // A top-down block: flip the target view so the new block is bottom-up.
        target = {target.Row(height - 1), -newStride, width, height};
    }
    if (target.stride < 0) {
        OwnedRaster flipped = OwnedRaster::Allocate(width, height);
        if (!flipped) {
            std::free(block);
            return false;
        }
        AreaAverageResize(flipped.view(), source);
        for (int32_t y = 0; y < height; ++y)
            std::memcpy(target.Row(y), flipped.view().Row(y), 3 * static_cast<size_t>(width));
    } else {
        AreaAverageResize(target, source);
    }
    std::free(block_);
    Adopt(block);
    return true;
}

}  // namespace kv
