#pragma once

#include <QImage>

#include "document/PixelRect.h"
#include "engine/ResizeAlgorithm.h"

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

}  // namespace kv::ui
