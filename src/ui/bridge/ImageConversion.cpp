// The task library first: its headers use a name that Qt defines as a macro.
#include <oneapi/tbb/task_arena.h>

#include "ui/bridge/ImageConversion.h"

#include <algorithm>
#include <cstring>

#include "engine/StandardResample.h"
#include "imageio/AlphaResize.h"
#include "imageio/Bitmap.h"

namespace kv::ui {

namespace {

// Reads the whole bitmap as 24-bit rows and hands them to use; false when it cannot be locked.
template <typename Use>
bool WithPixels(Bitmap& bitmap, Use use) {
    BitmapData data;
    const Rect whole{0, 0, bitmap.GetWidth(), bitmap.GetHeight()};
    if (bitmap.LockBits(whole, ImageLockMode::Read, PixelFormat24bppRGB, &data) != Status::Ok) return false;
    use(data.AsRaster());
    bitmap.UnlockBits(&data);
    return true;
}

// Reads a bitmap that may hold transparency as two 24-bit images of its size: the colour
// premultiplied by alpha (the colour stored under a transparent pixel counts for nothing) and the
// alpha as grey. Both then go through the same drawing, and the board is laid under at the end.
template <typename Use>
bool WithAlphaPlanes(Bitmap& bitmap, Use use) {
    BitmapData data;
    const Rect whole{0, 0, bitmap.GetWidth(), bitmap.GetHeight()};
    if (bitmap.LockBits(whole, ImageLockMode::Read, PixelFormat32bppARGB, &data) != Status::Ok) return false;
    QImage colour(data.width, data.height, QImage::Format_BGR888);
    QImage alpha(data.width, data.height, QImage::Format_BGR888);
    const bool made = !colour.isNull() && !alpha.isNull();
    for (int y = 0; made && y < colour.height(); ++y) {
        const uint8_t* in = static_cast<const uint8_t*>(data.scan0) + static_cast<ptrdiff_t>(y) * data.stride;
        uint8_t* c = colour.scanLine(y);
        uint8_t* a = alpha.scanLine(y);
        for (int x = 0; x < colour.width(); ++x, in += 4, c += 3, a += 3) {
            for (int i = 0; i < 3; ++i) c[i] = static_cast<uint8_t>((in[i] * in[3] + 127) / 255);
            a[0] = a[1] = a[2] = in[3];
        }
    }
    bitmap.UnlockBits(&data);
    if (made) use(colour, alpha);
    return made;
}

// Blue, green, red bytes are what QImage calls BGR888; the window draws 32-bit pixels fastest.
QImage Finished(const QImage& bgr) { return bgr.convertToFormat(QImage::Format_RGB32); }

// Where a picture is transparent it shows a board of light squares, as image viewers do, so that
// its transparent parts are told from the white around it: premultiplied colour plus the board
// under what alpha leaves.
constexpr int kBoardSquare = 8;
constexpr int kBoardLight = 0xFF;
constexpr int kBoardDark = 0xCC;

QImage OverBoard(const QImage& colour, const QImage& alpha) {
    QImage result(colour.size(), QImage::Format_RGB32);
    if (result.isNull()) return result;
    for (int y = 0; y < result.height(); ++y) {
        const uint8_t* c = colour.constScanLine(y);
        const uint8_t* a = alpha.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x, c += 3, a += 3) {
            const int board = ((x / kBoardSquare + y / kBoardSquare) & 1) ? kBoardDark : kBoardLight;
            const int under = (255 - a[0]) * board;
            const auto channel = [&](int i) { return std::min(255, c[i] + (under + 127) / 255); };
            out[x] = qRgb(channel(2), channel(1), channel(0));
        }
    }
    return result;
}

Raster RasterOf(QImage& image) {
    return {image.bits(), static_cast<int32_t>(image.bytesPerLine()), image.width(), image.height()};
}

// Draws the source part of raster into target, whose size is the drawing's.
bool DrawPart(const Raster& raster, const PixelRect& source, QImage& target, InterpolationMode mode) {
    const int width = target.width();
    const int height = target.height();
    if (source.Width() == width && source.Height() == height) {
        // At one to one every interpolation gives the pixels themselves.
        if (source.right > raster.width || source.bottom > raster.height || source.left < 0 || source.top < 0)
            return false;
        const Raster part = raster.Sub(source.left, source.top, width, height);
        for (int y = 0; y < height; ++y) std::memcpy(target.scanLine(y), part.Row(y), static_cast<size_t>(width) * 3);
        return true;
    }
    const SourceRect rect{double(source.left), double(source.top), double(source.Width()), double(source.Height())};
    // The drawing's parallel rows run isolated: while it waits for them, the window's thread must
    // not pick up a slice of a preview job that runs in the same task pool, which could keep it
    // busy far longer than the drawing itself.
    bool drawn = false;
    oneapi::tbb::this_task_arena::isolate([&] { drawn = DrawResampled(RasterOf(target), raster, rect, mode); });
    return drawn;
}

}  // namespace

QImage ToQImage(Bitmap& bitmap) {
    QImage result;
    if (MayHoldTransparency(bitmap.GetPixelFormat())) {
        WithAlphaPlanes(bitmap, [&](const QImage& colour, const QImage& alpha) { result = OverBoard(colour, alpha); });
        return result;
    }
    WithPixels(bitmap, [&](const Raster& raster) {
        const QImage view(raster.pixels, raster.width, raster.height, raster.stride, QImage::Format_BGR888);
        result = Finished(view);
    });
    return result;
}

QImage Thumbnail(Bitmap& bitmap, int width, int height) {
    if (width <= 0 || height <= 0) return {};
    // The small copy of the imaging layer has no alpha: a picture with transparent parts is drawn
    // small over the board instead.
    if (MayHoldTransparency(bitmap.GetPixelFormat()))
        return DrawScaled(bitmap, {0, 0, bitmap.GetWidth(), bitmap.GetHeight()}, width, height,
                          InterpolationMode::HighQualityBilinear);
    const std::unique_ptr<Bitmap> small = bitmap.GetThumbnailImage(width, height);
    return small ? ToQImage(*small) : QImage();
}

std::future<void> DecodeAhead(std::shared_ptr<Bitmap> bitmap) {
    return std::async(std::launch::async, [bitmap = std::move(bitmap)] {
        // The first lock decodes; the window's own lock waits for it under the bitmap's mutex.
        if (bitmap) WithPixels(*bitmap, [](const Raster&) {});
    });
}

QuickDrawing QuickDrawingFor(int32_t algorithm, PixelSize imagePart) {
    if (!IsOwnResizeAlgorithm(algorithm)) return {algorithm, kResizeAlgorithms[algorithm].mode, false};
    if (imagePart.width <= 4 && imagePart.height <= 4) return {3, InterpolationMode::Bicubic, false};
    return {algorithm, InterpolationMode::NearestNeighbor, true};
}

QImage DrawScaled(Bitmap& bitmap, const PixelRect& source, int width, int height, InterpolationMode mode) {
    if (width <= 0 || height <= 0 || source.IsEmpty()) return {};
    QImage bgr(width, height, QImage::Format_BGR888);
    if (bgr.isNull()) return {};
    bool drawn = false;
    if (MayHoldTransparency(bitmap.GetPixelFormat())) {
        QImage alpha(width, height, QImage::Format_BGR888);
        if (alpha.isNull()) return {};
        WithAlphaPlanes(bitmap, [&](QImage& colour, QImage& alphaPlane) {
            drawn = DrawPart(RasterOf(colour), source, bgr, mode) && DrawPart(RasterOf(alphaPlane), source, alpha, mode);
        });
        return drawn ? OverBoard(bgr, alpha) : QImage();
    }
    WithPixels(bitmap, [&](const Raster& raster) { drawn = DrawPart(raster, source, bgr, mode); });
    return drawn ? Finished(bgr) : QImage();
}

}  // namespace kv::ui
