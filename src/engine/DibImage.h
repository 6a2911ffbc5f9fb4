#pragma once

#include <atomic>
#include <cstdint>

#include "engine/Raster.h"

namespace kv {

#pragma pack(push, 1)
// The 40-byte bitmap information header of a packed device-independent bitmap, little-endian.
struct BitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
struct RgbQuad {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t reserved;
};
#pragma pack(pop)
static_assert(sizeof(BitmapInfoHeader) == 40);

// A reference-counted packed device-independent bitmap: header, palette (4 bytes an entry) and
// bottom-up rows of ((bits per pixel * width + 31) / 32) * 4 bytes in one block. Created with a
// count of one; Release frees it when the count reaches zero, so it always lives on the heap.
class DibImage {
public:
    // Takes a packed DIB. With copy the bytes are copied; without it the block is adopted and must
    // have been allocated with malloc. Throws std::invalid_argument.
    DibImage(BitmapInfoHeader* header, bool copy);
    // An empty DIB of 1, 4, 8 or 24 bits per pixel; the palette is required up to 8 bits. Throws
    // std::invalid_argument.
    DibImage(int32_t width, int32_t height, int32_t bitsPerPixel, const RgbQuad* palette);
    // A 24-bit DIB holding a copy of a raster (top row first) at a resolution in dots per inch.
    DibImage(const Raster& source, float dpiX, float dpiY);

    DibImage(const DibImage&) = delete;
    DibImage& operator=(const DibImage&) = delete;

    void AddRef() { refs_.fetch_add(1, std::memory_order_relaxed); }
    void Release() {
        if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }
    int32_t refCount() const { return refs_.load(std::memory_order_relaxed); }

    // Resizes to a 24-bit DIB of the new size by area averaging. False when there are no bits or the
    // memory is not available (nothing changes then); true at once when the size is unchanged.
    bool Resize(int32_t width, int32_t height);

    const BitmapInfoHeader* header() const { return header_; }
    const RgbQuad* palette() const { return reinterpret_cast<const RgbQuad*>(header_ + 1); }
    uint8_t* bits() const { return bits_; }
    int32_t stride() const { return stride_; }
    int32_t width() const { return header_ ? header_->biWidth : 0; }
    int32_t height() const { return header_ ? header_->biHeight : 0; }
    int32_t bitsPerPixel() const { return header_ ? header_->biBitCount : 0; }
    int32_t paletteEntries() const;
    // Header, palette and bits: the size of the packed block.
    size_t packedSize() const;

    static int32_t StrideFor(int32_t bitsPerPixel, int32_t width) {
        return static_cast<int32_t>(((static_cast<int64_t>(bitsPerPixel) * width + 31) >> 3) & ~int64_t{3});
    }
    static int32_t PaletteEntriesFor(int32_t bitsPerPixel) { return bitsPerPixel <= 8 ? 1 << bitsPerPixel : 0; }

private:
    ~DibImage();
    void Adopt(void* block);

    std::atomic<int32_t> refs_{1};
    void* block_ = nullptr;
    BitmapInfoHeader* header_ = nullptr;
    uint8_t* bits_ = nullptr;
    int32_t stride_ = 0;
};

// Holds one reference of a DibImage.
class DibImagePtr {
public:
    DibImagePtr() = default;
    // Takes over the reference the caller holds.
    explicit DibImagePtr(DibImage* dib) : dib_(dib) {}
    DibImagePtr(const DibImagePtr& other) : dib_(other.dib_) {
        if (dib_) dib_->AddRef();
    }
    DibImagePtr(DibImagePtr&& other) noexcept : dib_(other.dib_) { other.dib_ = nullptr; }
    DibImagePtr& operator=(DibImagePtr other) noexcept {
        std::swap(dib_, other.dib_);
        return *this;
    }
    ~DibImagePtr() {
        if (dib_) dib_->Release();
    }
    DibImage* get() const { return dib_; }
    DibImage* operator->() const { return dib_; }
    explicit operator bool() const { return dib_ != nullptr; }

private:
    DibImage* dib_ = nullptr;
};

}  // namespace kv
