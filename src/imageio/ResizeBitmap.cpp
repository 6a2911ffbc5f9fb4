#include "imageio/ResizeBitmap.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "engine/OwnAlgorithm.h"
#include "engine/Progress.h"
#include "imageio/AlphaResize.h"
#include "imageio/Bitmap.h"

namespace kv {

namespace {

// Holds a lock for the length of a scope, 24-bit unless another format is asked for.
class ScopedLock {
public:
    ScopedLock(Bitmap& bitmap, ImageLockMode mode, PixelFormat format = PixelFormat24bppRGB) : bitmap_(bitmap) {
        const Rect whole{0, 0, bitmap.GetWidth(), bitmap.GetHeight()};
        locked_ = bitmap.LockBits(whole, mode, format, &data_) == Status::Ok;
    }
    ~ScopedLock() {
        if (locked_) bitmap_.UnlockBits(&data_);
    }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

    bool locked() const { return locked_; }
    Raster raster() const { return data_.AsRaster(); }
    const BitmapData& data() const { return data_; }

private:
    Bitmap& bitmap_;
    BitmapData data_;
    bool locked_ = false;
};

}  // namespace

PixelSize CropCoverSize(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight) {
    // 64-bit products: a 40000-pixel side times another overflows 32 bits.
    // A cover side past 32 bits cannot be made: report it as empty so the resize fails.
    const int64_t dw = dstWidth, dh = dstHeight, sw = srcWidth, sh = srcHeight;
    if (sw <= 0 || sh <= 0) return {0, 0};
    const auto side = [](int64_t v) { return v > INT32_MAX ? 0 : static_cast<int32_t>(v); };
    if (dw * sh > dh * sw) return {dstWidth, side(dw * sh / sw)};
    return {side(dh * sw / sh), dstHeight};
}

bool ResizeBitmap(Bitmap& source, Bitmap& destination, ResizeAlgorithm algorithm, bool crop, CRSProgress* progress) {
    const int32_t srcWidth = source.GetWidth();
    const int32_t srcHeight = source.GetHeight();
    if (srcWidth <= 0 || srcHeight <= 0 || destination.GetWidth() <= 0 || destination.GetHeight() <= 0) return false;
    algorithm = ValidResizeAlgorithm(algorithm);
    // A destination with alpha takes the premultiplied road; every other one the road of opaque
    // images, untouched.
    const bool alpha = destination.GetPixelFormat() == PixelFormat32bppARGB;

    std::unique_ptr<Bitmap> temporary;
    Bitmap* target = &destination;
    if (crop) {
        const PixelSize cover = CropCoverSize(destination.GetWidth(), destination.GetHeight(), srcWidth, srcHeight);
        if (cover.width <= 0 || cover.height <= 0) return false;
        temporary = std::make_unique<Bitmap>(cover.width, cover.height, alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB);
        if (temporary->GetLastStatus() != Status::Ok) return false;
        target = temporary.get();
    }

    if (alpha) {
        if (!ResizeWithAlpha(source, *target, algorithm, progress)) return false;
        return !temporary || CopyCentre(std::move(temporary), destination);
    }

    const ResizeAlgorithmInfo& info = kResizeAlgorithms[static_cast<size_t>(algorithm)];
    if (info.routine == ResizeRoutine::Standard) {
        // A drawing that failed (pixels that do not decode, memory that runs out) leaves the
        // target black or partly drawn: that is a failed resize, never a result.
        if (!ResizeStandard(source, *target, algorithm)) return false;
        return !temporary || CopyCentre(std::move(temporary), destination);
    }

    bool done = false;
    {
        ScopedLock sourceLock(source, ImageLockMode::Read);
        if (!sourceLock.locked()) return false;
        ScopedLock targetLock(*target, ImageLockMode::Write);
        if (!targetLock.locked()) return false;
        done = RunOwnAlgorithm(algorithm, targetLock.raster(), sourceLock.raster(), progress);
    }
    if (done && temporary) return CopyCentre(std::move(temporary), destination);
    return done;
}

bool ResizeStandard(Bitmap& source, Bitmap& target, ResizeAlgorithm algorithm) {
    const InterpolationMode mode = kResizeAlgorithms[static_cast<size_t>(ValidResizeAlgorithm(algorithm))].mode;
    const SourceRect whole{0, 0, static_cast<double>(source.GetWidth()), static_cast<double>(source.GetHeight())};
    return target.DrawImage(source, Rect{0, 0, target.GetWidth(), target.GetHeight()}, whole, mode) == Status::Ok;
}

bool CopyCentre(std::unique_ptr<Bitmap> temporary, Bitmap& destination) {
    // Colour with alpha is copied with its alpha.
    const PixelFormat format =
        destination.GetPixelFormat() == PixelFormat32bppARGB ? PixelFormat32bppARGB : PixelFormat24bppRGB;
    const size_t bytes = static_cast<size_t>(GetPixelFormatSize(format) / 8);
    ScopedLock from(*temporary, ImageLockMode::Read, format);
    ScopedLock to(destination, ImageLockMode::Write, format);
    if (!from.locked() || !to.locked()) return false;
    const BitmapData& src = from.data();
    const BitmapData& dst = to.data();
    const int32_t top = (src.height - dst.height) / 2;
    const int32_t left = (src.width - dst.width) / 2;
    if (top < 0 || left < 0) return false;
    for (int32_t y = 0; y < dst.height; ++y)
        std::memcpy(dst.scan0 + static_cast<ptrdiff_t>(y) * dst.stride,
                    src.scan0 + static_cast<ptrdiff_t>(top + y) * src.stride + bytes * static_cast<size_t>(left),
                    bytes * static_cast<size_t>(dst.width));
    return true;
}

DibImagePtr MakeDibImage(Bitmap* bitmap) {
    if (!bitmap || bitmap->GetType() != ImageType::Bitmap) throw std::invalid_argument("invalid Bitmap");
    if (bitmap->GetWidth() == 0 || bitmap->GetHeight() == 0)
        throw std::invalid_argument("invalid width or height argument: \t\t\t\t\t\t\t\t trying to create an empty dib");
    ScopedLock lock(*bitmap, ImageLockMode::Read);
    if (!lock.locked()) throw std::invalid_argument("invalid Bitmap");
    return DibImagePtr(
        new DibImage(lock.raster(), bitmap->GetHorizontalResolution(), bitmap->GetVerticalResolution()));
}

}  // namespace kv
