// The task library first: its headers use a name that Qt defines as a macro.
#include <oneapi/tbb/task_arena.h>

#include "ui/bridge/ImageConversion.h"

#include <cstring>

#include "engine/StandardResample.h"
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

// Blue, green, red bytes are what QImage calls BGR888; the window draws 32-bit pixels fastest.
QImage Finished(const QImage& bgr) { return bgr.convertToFormat(QImage::Format_RGB32); }

Raster RasterOf(QImage& image) {
    return {image.bits(), static_cast<int32_t>(image.bytesPerLine()), image.width(), image.height()};
}

}  // namespace

QImage ToQImage(Bitmap& bitmap) {
    QImage result;
    WithPixels(bitmap, [&](const Raster& raster) {
        const QImage view(raster.pixels, raster.width, raster.height, raster.stride, QImage::Format_BGR888);
        result = Finished(view);
    });
    return result;
}

QImage Thumbnail(Bitmap& bitmap, int width, int height) {
    if (width <= 0 || height <= 0) return {};
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
    if (source.Width() == width && source.Height() == height) {
        // At one to one every interpolation gives the pixels themselves.
        WithPixels(bitmap, [&](const Raster& raster) {
            if (source.right > raster.width || source.bottom > raster.height || source.left < 0 || source.top < 0) return;
            const Raster part = raster.Sub(source.left, source.top, width, height);
            for (int y = 0; y < height; ++y) std::memcpy(bgr.scanLine(y), part.Row(y), static_cast<size_t>(width) * 3);
            drawn = true;
        });
        return drawn ? Finished(bgr) : QImage();
    }
    WithPixels(bitmap, [&](const Raster& raster) {
        const SourceRect rect{double(source.left), double(source.top), double(source.Width()), double(source.Height())};
        // The drawing's parallel rows run isolated: while it waits for them, the window's thread must
        // not pick up a slice of a preview job that runs in the same task pool, which could keep it
        // busy far longer than the drawing itself.
        oneapi::tbb::this_task_arena::isolate([&] { drawn = DrawResampled(RasterOf(bgr), raster, rect, mode); });
    });
    return drawn ? Finished(bgr) : QImage();
}

}  // namespace kv::ui
