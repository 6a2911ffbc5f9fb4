#pragma once

#include <QImage>

#include <cstdint>
#include <future>
#include <memory>

#include "base/Geometry.h"
#include "engine/ResizeAlgorithm.h"

namespace kv {
class Bitmap;
}

namespace kv::ui {

// The only place where the window meets the imaging layer's pixels. Both calls read the bitmap
// under its shared read lock, so a preview job may read the same image at the same time.

// A whole bitmap as an image the window can draw; a null image when it cannot be read.
QImage ToQImage(Bitmap& bitmap);

// How the view draws a part of the image at once. The standard algorithms draw with their own
// interpolation. The own ones draw a nearest-neighbour placeholder that their exact preview
// replaces, except for a part of at most 4 x 4 image pixels, which is drawn bicubic and counts as
// algorithm 3: no preview is asked for so small a part.
struct QuickDrawing {
    int32_t algorithm;       // the algorithm the drawing counts as
    InterpolationMode mode;  // how it scales
    bool previewFollows;     // a placeholder: the exact preview of the algorithm replaces it
};
QuickDrawing QuickDrawingFor(int32_t algorithm, PixelSize imagePart);

// A rectangle of a bitmap scaled to width x height as a quick drawing draws it.
QImage DrawScaled(Bitmap& bitmap, const PixelRect& source, int width, int height, InterpolationMode mode);

// The whole bitmap fitted into width x height, for a small picture of it. A JPEG not decoded yet is
// decoded at a reduced scale, which is much quicker than decoding it whole.
QImage Thumbnail(Bitmap& bitmap, int width, int height);

// Decodes a freshly opened image on another thread, so that the pixels are ready (or nearly) when
// the window first draws them instead of being decoded then. The task holds the image.
std::future<void> DecodeAhead(std::shared_ptr<Bitmap> bitmap);

}  // namespace kv::ui
