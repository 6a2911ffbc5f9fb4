#include "imageio/Orientation.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "engine/ParallelFor.h"
#include "imageio/Bitmap.h"
#include "imageio/PixelConvert.h"

namespace kv {

namespace {

std::atomic<bool> g_turnUpright{true};

// An orientation as the three steps that undo it, taken on destination coordinates: the pixel at
// (x, y) of the upright picture comes from stored pixel (a, b), where (a, b) is (y, x) when the
// sides swap and (x, y) otherwise, then a is counted from the right and b from the bottom as the
// mirrors say.
struct Turn {
    bool swap = false;
    bool mirrorX = false;
    bool mirrorY = false;
};

Turn TurnOf(int orientation) {
    switch (orientation) {
        case 2: return {false, true, false};
        case 3: return {false, true, true};
        case 4: return {false, false, true};
        case 5: return {true, false, false};
        case 6: return {true, false, true};
        case 7: return {true, true, true};
        case 8: return {true, true, false};
        default: return {};
    }
}

bool WholeBytes(PixelFormat format) { return GetPixelFormatSize(format) % 8 == 0; }

// Rows are turned in square tiles: a quarter turn reads the source down its columns, and a tile of
// this many rows keeps the source rows it walks in the cache.
constexpr int32_t kTile = 32;

// One destination row range of a turn of N-byte pixels: each destination row is a walk through the
// source with a fixed step (a pixel along a row, or a row down a column).
template <int N>
void TurnTileRows(const uint8_t* source, ptrdiff_t sourceStride, int32_t width, int32_t height, const Turn& t,
                  uint8_t* destination, ptrdiff_t destinationStride, int32_t rowBegin, int32_t rowEnd) {
    const int32_t outWidth = t.swap ? height : width;
    const ptrdiff_t alongA = t.mirrorX ? -N : N;                        // a step in a
    const ptrdiff_t alongB = t.mirrorY ? -sourceStride : sourceStride;  // a step in b
    const ptrdiff_t step = t.swap ? alongB : alongA;                    // a step in destination x
    for (int32_t x0 = 0; x0 < outWidth; x0 += kTile) {
        const int32_t x1 = std::min(outWidth, x0 + kTile);
        for (int32_t y = rowBegin; y < rowEnd; ++y) {
            int32_t a = t.swap ? y : x0, b = t.swap ? x0 : y;
            if (t.mirrorX) a = width - 1 - a;
            if (t.mirrorY) b = height - 1 - b;
            const uint8_t* in = source + static_cast<ptrdiff_t>(b) * sourceStride + static_cast<ptrdiff_t>(a) * N;
            uint8_t* out = destination + static_cast<ptrdiff_t>(y) * destinationStride + static_cast<ptrdiff_t>(x0) * N;
            for (int32_t x = x0; x < x1; ++x, in += step, out += N) std::memcpy(out, in, N);
        }
    }
}

template <int N>
void TurnWhole(const uint8_t* source, ptrdiff_t sourceStride, int32_t width, int32_t height, const Turn& t,
               uint8_t* destination, ptrdiff_t destinationStride) {
    const int32_t outHeight = t.swap ? width : height;
    ParallelFor(tbb::blocked_range<int32_t>(0, (outHeight + kTile - 1) / kTile), [&](const tbb::blocked_range<int32_t>& tiles) {
        for (int32_t tile = tiles.begin(); tile < tiles.end(); ++tile)
            TurnTileRows<N>(source, sourceStride, width, height, t, destination, destinationStride, tile * kTile,
                            std::min(outHeight, (tile + 1) * kTile));
    });
}

// Pixels of 1, 2 or 4 bits, packed high bits first: one at a time, each destination row by one
// thread (rows share no byte).
void TurnPacked(const PixelBuffer& in, const Turn& t, PixelBuffer& out) {
    const int bits = GetPixelFormatSize(in.format);
    const uint32_t mask = (1u << bits) - 1;
    ParallelFor(tbb::blocked_range<int32_t>(0, out.height), [&](const tbb::blocked_range<int32_t>& rows) {
        for (int32_t y = rows.begin(); y < rows.end(); ++y) {
            uint8_t* row = out.Row(y);
            for (int32_t x = 0; x < out.width; ++x) {
                int32_t a = t.swap ? y : x, b = t.swap ? x : y;
                if (t.mirrorX) a = in.width - 1 - a;
                if (t.mirrorY) b = in.height - 1 - b;
                const int64_t from = int64_t{a} * bits, to = int64_t{x} * bits;
                const uint32_t value = (in.Row(b)[from / 8] >> (8 - bits - from % 8)) & mask;
                row[to / 8] = static_cast<uint8_t>(row[to / 8] | value << (8 - bits - to % 8));
            }
        }
    });
}

// Mirrors and the half turn of whole-byte pixels, in place: rows trade places with their mirror
// rows and pixels with their mirror pixels.
template <int N>
void FlipInPlace(PixelBuffer& p, const Turn& t) {
    const auto reverse = [&](uint8_t* row) {
        for (int32_t i = 0, j = p.width - 1; i < j; ++i, --j) {
            uint8_t keep[N];
            std::memcpy(keep, row + static_cast<ptrdiff_t>(i) * N, N);
            std::memcpy(row + static_cast<ptrdiff_t>(i) * N, row + static_cast<ptrdiff_t>(j) * N, N);
            std::memcpy(row + static_cast<ptrdiff_t>(j) * N, keep, N);
        }
    };
    const size_t used = static_cast<size_t>(p.width) * N;
    const int32_t pairs = t.mirrorY ? (p.height + 1) / 2 : p.height;
    ParallelFor(tbb::blocked_range<int32_t>(0, pairs), [&](const tbb::blocked_range<int32_t>& rows) {
        for (int32_t y = rows.begin(); y < rows.end(); ++y) {
            uint8_t* top = p.Row(y);
            if (!t.mirrorY) {
                reverse(top);
                continue;
            }
            uint8_t* bottom = p.Row(p.height - 1 - y);
            if (top != bottom) {
                for (size_t i = 0; i < used; ++i) std::swap(top[i], bottom[i]);
                if (t.mirrorX) reverse(bottom);
            }
            if (t.mirrorX) reverse(top);
        }
    });
}

template <class Action>
bool ForPixelBytes(int bytes, const Action& action) {
    switch (bytes) {
        case 1: action(std::integral_constant<int, 1>{}); return true;
        case 2: action(std::integral_constant<int, 2>{}); return true;
        case 3: action(std::integral_constant<int, 3>{}); return true;
        case 4: action(std::integral_constant<int, 4>{}); return true;
        case 6: action(std::integral_constant<int, 6>{}); return true;
        case 8: action(std::integral_constant<int, 8>{}); return true;
        default: return false;
    }
}

}  // namespace

int ValidOrientation(uint32_t value) { return value >= 1 && value <= 8 ? static_cast<int>(value) : kUprightOrientation; }

bool OrientationSwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

void SetTurnPicturesUpright(bool upright) { g_turnUpright.store(upright, std::memory_order_relaxed); }
bool TurnPicturesUpright() { return g_turnUpright.load(std::memory_order_relaxed); }

uint64_t TurnExtraBytes(int32_t width, int32_t height, PixelFormat format, int orientation) {
    if (orientation <= kUprightOrientation || orientation > 8) return 0;
    if (!OrientationSwapsSides(orientation) && WholeBytes(format)) return 0;
    const Turn t = TurnOf(orientation);
    const int32_t stride = PixelRowStride(format, t.swap ? height : width);
    return static_cast<uint64_t>(std::max(stride, 0)) * static_cast<uint64_t>(std::max(t.swap ? width : height, 0));
}

void TurnRows(const uint8_t* source, ptrdiff_t sourceStride, int32_t width, int32_t height, int bytesPerPixel,
              int orientation, uint8_t* destination, ptrdiff_t destinationStride) {
    const Turn t = TurnOf(ValidOrientation(static_cast<uint32_t>(orientation)));
    ForPixelBytes(bytesPerPixel, [&](auto n) {
        TurnWhole<decltype(n)::value>(source, sourceStride, width, height, t, destination, destinationStride);
    });
}

bool TurnPixelsUpright(PixelBuffer& pixels, int orientation) {
    if (orientation <= kUprightOrientation || orientation > 8 || !pixels.data) return true;
    const Turn t = TurnOf(orientation);
    const int bits = GetPixelFormatSize(pixels.format);
    if (!t.swap && WholeBytes(pixels.format))
        return ForPixelBytes(bits / 8, [&](auto n) { FlipInPlace<decltype(n)::value>(pixels, t); });

    PixelBuffer turned;
    if (!AllocatePixels(turned, t.swap ? pixels.height : pixels.width, t.swap ? pixels.width : pixels.height,
                        pixels.format, !WholeBytes(pixels.format)))
        return false;
    turned.palette = pixels.palette;
    if (WholeBytes(pixels.format)) {
        TurnRows(pixels.data.get(), pixels.stride, pixels.width, pixels.height, bits / 8, orientation, turned.data.get(),
                 turned.stride);
        // The padding at the end of each row is no pixel, but a file written from it must not
        // carry what the memory held before.
        const size_t used = static_cast<size_t>(turned.width) * static_cast<size_t>(bits / 8);
        if (static_cast<size_t>(turned.stride) > used)
            for (int32_t y = 0; y < turned.height; ++y) std::memset(turned.Row(y) + used, 0, turned.stride - used);
    } else {
        TurnPacked(pixels, t, turned);
    }
    pixels = std::move(turned);
    return true;
}

std::unique_ptr<Bitmap> TurnedBitmap(Bitmap& bitmap, int orientation) {
    const int32_t width = bitmap.GetWidth(), height = bitmap.GetHeight();
    if (width <= 0 || height <= 0) return nullptr;
    const bool swap = OrientationSwapsSides(orientation);
    auto turned = std::make_unique<Bitmap>(swap ? height : width, swap ? width : height, PixelFormat24bppRGB);
    if (turned->GetLastStatus() != Status::Ok) return nullptr;
    const float dpiX = bitmap.GetHorizontalResolution(), dpiY = bitmap.GetVerticalResolution();
    turned->SetResolution(swap ? dpiY : dpiX, swap ? dpiX : dpiY);
    BitmapData in, out;
    if (bitmap.LockBits({0, 0, width, height}, ImageLockMode::Read, PixelFormat24bppRGB, &in) != Status::Ok) return nullptr;
    if (turned->LockBits({0, 0, turned->GetWidth(), turned->GetHeight()}, ImageLockMode::Write, PixelFormat24bppRGB, &out) !=
        Status::Ok) {
        bitmap.UnlockBits(&in);
        return nullptr;
    }
    TurnRows(in.scan0, in.stride, width, height, 3, orientation, out.scan0, out.stride);
    turned->UnlockBits(&out);
    bitmap.UnlockBits(&in);
    return turned;
}

}  // namespace kv
