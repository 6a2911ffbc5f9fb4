#include "imageio/AlphaResize.h"

#include <algorithm>
#include <cstring>

#include "engine/OwnAlgorithm.h"
#include "engine/ParallelFor.h"
#include "engine/Raster.h"
#include "engine/StandardResample.h"
#include "imageio/Bitmap.h"

namespace kv {

namespace {

// Rows are handed to the cores in bands of about this many pixels.
constexpr int32_t kBandPixels = 1 << 16;

tbb::blocked_range<int32_t> Rows(int32_t width, int32_t height) {
    return tbb::blocked_range<int32_t>(0, height, std::max(1, kBandPixels / std::max(width, 1)));
}

// A whole bitmap locked as 32-bit B, G, R, A for the length of a scope.
class Bgra32Lock {
public:
    Bgra32Lock(Bitmap& bitmap, ImageLockMode mode) : bitmap_(bitmap) {
        locked_ = bitmap.LockBits({0, 0, bitmap.GetWidth(), bitmap.GetHeight()}, mode, PixelFormat32bppARGB, &data_) ==
                  Status::Ok;
    }
    ~Bgra32Lock() { Unlock(); }
    Bgra32Lock(const Bgra32Lock&) = delete;
    Bgra32Lock& operator=(const Bgra32Lock&) = delete;

    void Unlock() {
        if (locked_) bitmap_.UnlockBits(&data_);
        locked_ = false;
    }
    bool locked() const { return locked_; }
    const BitmapData& data() const { return data_; }

private:
    Bitmap& bitmap_;
    BitmapData data_;
    bool locked_ = false;
};

// Colour premultiplied by alpha in a 24-bit raster, and the alpha plane beside it.
struct PremultipliedImage {
    OwnedRaster colour;
    Plane alpha;

    bool Allocate(int32_t width, int32_t height) {
        colour = OwnedRaster::Allocate(width, height);
        return colour && alpha.Allocate(width, height);
    }
    PlaneView AlphaView() const { return {alpha.data(), alpha.width(), alpha.width(), alpha.height()}; }
};

void Premultiply(const BitmapData& in, const PremultipliedImage& out) {
    const Raster& colour = out.colour.view();
    ParallelFor(Rows(in.width, in.height), [&](const tbb::blocked_range<int32_t>& rows) {
        for (int32_t y = rows.begin(); y < rows.end(); ++y) {
            const uint8_t* p = in.scan0 + static_cast<ptrdiff_t>(y) * in.stride;
            uint8_t* c = colour.Row(y);
            uint8_t* a = out.alpha.Row(y);
            for (int32_t x = 0; x < in.width; ++x, p += 4, c += 3) {
                const uint32_t alpha = p[3];
                a[x] = static_cast<uint8_t>(alpha);
                c[0] = static_cast<uint8_t>((p[0] * alpha + 127) / 255);
                c[1] = static_cast<uint8_t>((p[1] * alpha + 127) / 255);
                c[2] = static_cast<uint8_t>((p[2] * alpha + 127) / 255);
            }
        }
    });
}

// Colour divided by alpha back into straight B, G, R, A; a fully transparent pixel holds black.
void Unpremultiply(const PremultipliedImage& in, const BitmapData& out) {
    const Raster& colour = in.colour.view();
    ParallelFor(Rows(out.width, out.height), [&](const tbb::blocked_range<int32_t>& rows) {
        for (int32_t y = rows.begin(); y < rows.end(); ++y) {
            const uint8_t* c = colour.Row(y);
            const uint8_t* a = in.alpha.Row(y);
            uint8_t* p = out.scan0 + static_cast<ptrdiff_t>(y) * out.stride;
            for (int32_t x = 0; x < out.width; ++x, p += 4, c += 3) {
                const uint32_t alpha = a[x];
                p[3] = static_cast<uint8_t>(alpha);
                if (alpha == 0) {
                    p[0] = p[1] = p[2] = 0;
                    continue;
                }
                for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>(std::min<uint32_t>(255, (c[i] * 255u + alpha / 2) / alpha));
            }
        }
    });
}

bool AnyTranslucent(const BitmapData& data) {
    for (int32_t y = 0; y < data.height; ++y) {
        const uint8_t* p = data.scan0 + static_cast<ptrdiff_t>(y) * data.stride + 3;
        for (int32_t x = 0; x < data.width; ++x, p += 4)
            if (*p != 255) return true;
    }
    return false;
}

}  // namespace

bool MayHoldTransparency(PixelFormat format) {
    return IsAlphaPixelFormat(format) || IsIndexedPixelFormat(format);
}

PixelFormat ResizeResultFormat(Bitmap& source) {
    const PixelFormat format = source.GetPixelFormat();
    if (!MayHoldTransparency(format)) return PixelFormat24bppRGB;
    if (IsIndexedPixelFormat(format)) {
        const std::vector<uint32_t> palette = source.GetPalette();
        if (std::all_of(palette.begin(), palette.end(), [](uint32_t entry) { return entry >> 24 == 255; }))
            return PixelFormat24bppRGB;
    }
    // Pixels that do not decode answer 24-bit; the resize then fails on them as any other would.
    const Bgra32Lock lock(source, ImageLockMode::Read);
    return lock.locked() && AnyTranslucent(lock.data()) ? PixelFormat32bppARGB : PixelFormat24bppRGB;
}

bool ResizeWithAlpha(Bitmap& source, Bitmap& target, ResizeAlgorithm algorithm, CRSProgress* progress) {
    algorithm = ValidResizeAlgorithm(algorithm);
    PremultipliedImage from;
    {
        Bgra32Lock lock(source, ImageLockMode::Read);
        if (!lock.locked() || !from.Allocate(lock.data().width, lock.data().height)) return false;
        Premultiply(lock.data(), from);
    }
    PremultipliedImage to;
    if (!to.Allocate(target.GetWidth(), target.GetHeight())) return false;

    const ResizeAlgorithmInfo& info = kResizeAlgorithms[static_cast<size_t>(algorithm)];
    const bool standard = info.routine == ResizeRoutine::Standard;
    const SourceRect whole{0, 0, static_cast<double>(from.alpha.width()), static_cast<double>(from.alpha.height())};
    const bool colour = standard ? DrawResampled(to.colour.view(), from.colour.view(), whole, info.mode)
                                 : RunOwnAlgorithm(algorithm, to.colour.view(), from.colour.view(), progress);
    if (!colour) return false;
    const InterpolationMode alphaMode = standard ? info.mode : InterpolationMode::HighQualityBicubic;
    if (!DrawResampledPlane(to.AlphaView(), from.AlphaView(), whole, alphaMode)) return false;

    Bgra32Lock out(target, ImageLockMode::Write);
    if (!out.locked()) return false;
    Unpremultiply(to, out.data());
    return true;
}

}  // namespace kv
