#pragma once

#include "engine/Progress.h"
#include "engine/ResizeAlgorithm.h"
#include "imageio/ImagingTypes.h"

namespace kv {

class Bitmap;

// Whether a pixel format can hold pixels that are not fully opaque: the alpha formats, and the
// indexed ones (a palette entry may be transparent).
bool MayHoldTransparency(PixelFormat format);

// The pixel format a resized copy of source is drawn into: 32-bit with alpha when some pixel of the
// source is not fully opaque, else 24-bit. An image that cannot hold transparency is answered from
// its format alone; one that can is decoded and looked at (a fully opaque one takes the 24-bit road
// every opaque image takes).
PixelFormat ResizeResultFormat(Bitmap& source);

// Resizes the whole source into target (32-bit with alpha) with its colour premultiplied by alpha,
// so that the colour stored under transparent pixels never bleeds into the result: the colour goes
// through the algorithm, the alpha plane beside it with the same geometry (the standard modes
// resample it as they resample colour; the own algorithms work on colour only, so alpha takes the
// High Quality Bicubic result), and the colour is divided by the resized alpha afterwards. False
// when a lock or the memory fails, the pixels do not decode, or the routine was stopped.
bool ResizeWithAlpha(Bitmap& source, Bitmap& target, ResizeAlgorithm algorithm, CRSProgress* progress);

}  // namespace kv
