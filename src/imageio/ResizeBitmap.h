#pragma once

#include <memory>

#include "base/Geometry.h"
#include "engine/DibImage.h"
#include "engine/ResizeAlgorithm.h"
#include "imageio/AlphaResize.h"

namespace kv {

class Bitmap;
class CRSProgress;

// Resizes the whole source bitmap into the destination, which already has the output size (callers
// make it in ResizeResultFormat: 24-bit, or 32-bit with alpha for an image with transparent pixels,
// which is resized with its colour premultiplied). With crop, the source is first resized to cover the destination with its own
// aspect ratio and the centre is copied. False when a lock or a temporary fails, the source's pixels
// do not decode, or the routine was stopped or ran out of memory; with crop the destination is
// then untouched. Every algorithm reports a failure this way, the standard ones included.
bool ResizeBitmap(Bitmap& source, Bitmap& destination, ResizeAlgorithm algorithm, bool crop, CRSProgress* progress);

// The standard algorithms 0 to 4: draws the whole source onto the whole target with the algorithm's
// interpolation mode and mirrored edges. False when the drawing failed: the source's pixels do not
// decode, or memory ran out.
bool ResizeStandard(Bitmap& source, Bitmap& target, ResizeAlgorithm algorithm);

// Copies the centre of a temporary into the destination and releases the temporary. False, with the
// destination untouched, when either cannot be locked or the temporary does not cover it.
bool CopyCentre(std::unique_ptr<Bitmap> temporary, Bitmap& destination);

// The size of the crop temporary: the destination covered with the source's aspect ratio. Empty
// when a side would not fit in 32 bits.
PixelSize CropCoverSize(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight);

// A 24-bit DIB copy of a bitmap. Throws std::invalid_argument ("invalid Bitmap", or the empty-DIB
// message for a bitmap without pixels).
DibImagePtr MakeDibImage(Bitmap* bitmap);

}  // namespace kv
