#pragma once

#include <cstdint>

#include "engine/Raster.h"
#include "engine/ResizeAlgorithm.h"

namespace kv {

// A rectangle of the source in source pixel units; it may be fractional and may reach past the
// source's edges.
struct SourceRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

// Draws the source rectangle of src onto the whole of dst with one of the five interpolation modes.
// Samples beyond the source's edges are mirrored (the tile-flip wrap). The high-quality modes filter
// over the whole footprint of a destination pixel when reducing, so nothing aliases; the plain ones
// sample the source at the kernel's own width. Rows are spread over the cores; the result does not
// depend on how many. False, with dst untouched, for an empty raster or a rectangle that is empty,
// not finite or reaches more than four source sizes past an edge; false, with dst partly written,
// when memory runs out.
//
// Modes: nearest neighbour takes the source pixel under each destination pixel's centre; bilinear
// is the triangle of radius 1; bicubic the Keys cubic with a = -0.75 (crisp, may ring a little);
// high-quality bilinear the triangle and high-quality bicubic the Catmull-Rom cubic (a = -0.5),
// both stretched by the reduction factor when reducing.
bool DrawResampled(const Raster& dst, const Raster& src, const SourceRect& rect, InterpolationMode mode);

// The same for one 8-bit channel (an alpha plane): the same filters, weights and rounding, so a
// plane drawn beside its colour keeps the colour's geometry exactly.
bool DrawResampledPlane(const PlaneView& dst, const PlaneView& src, const SourceRect& rect, InterpolationMode mode);

// The memory DrawResampled allocates besides the two rasters to draw a whole source of one size onto
// a destination of another: the filter tables, the rows between its two passes on every worker,
// and the block averages of a reduction too strong for the tables. An upper bound.
uint64_t DrawResampledWorkingBytes(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight,
                                   InterpolationMode mode);

// Resizes the whole of src onto the whole of dst by averaging the source area under each
// destination pixel (reductions) and interpolating linearly (enlargements), each direction on its
// own. False when a raster is empty or memory runs out.
bool AreaAverageResize(const Raster& dst, const Raster& src);

}  // namespace kv
