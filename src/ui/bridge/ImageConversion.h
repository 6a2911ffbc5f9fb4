#pragma once

#include <QImage>

#include "document/PixelRect.h"
#include "engine/ResizeAlgorithm.h"

#include <future>
#include <memory>

namespace kv {
class Bitmap;
}

namespace kv::ui {

// The only place where the window meets the imaging layer's pixels. Both calls read the bitmap
// under its shared read lock, so a preview job may read the same image at the same time.

// A whole bitmap as an image the window can draw; a null image when it cannot be read.
QImage ToQImage(Bitmap& bitmap);

// A rectangle of a bitmap scaled to width x height with an interpolation mode, as the view's quick
// drawing and the navigator need it.
QImage DrawScaled(Bitmap& bitmap, const PixelRect& source, int width, int height, InterpolationMode mode);

// The whole bitmap fitted into width x height, for a small picture of it. A JPEG not decoded yet is
// decoded at a reduced scale, which is much quicker than decoding it whole.
QImage Thumbnail(Bitmap& bitmap, int width, int height);

// Decodes a freshly opened image on another thread, so that the pixels are ready (or nearly) when
// the window first draws them instead of being decoded then. The task holds the image.
std::future<void> DecodeAhead(std::shared_ptr<Bitmap> bitmap);

}  // namespace kv::ui
