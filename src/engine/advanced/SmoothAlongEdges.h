#pragma once

// The edge smoothing of the advanced enlarger: it finds the edges of the luminance and averages
// each edge pixel with its two neighbours along the edge, which removes the staircases an
// enlargement leaves on slanted edges.

#include <cstdint>

#include "engine/advanced/AdvancedCommon.h"

namespace kv::advanced {

// Gradient magnitude (0 .. 99) and direction (0 .. 3, see DirectionTable) of every pixel, from a
// 1-2-1 smoothed copy across the gradient; samples beyond an edge repeat the edge. Rows run in
// parallel bands, each checking the stop flag before every row. False when a scratch buffer was
// not available.
bool EdgeGradients(const PlaneRef& luma, const PlaneRef& magnitude, const PlaneRef& direction, const StopFlag& stop);

// Coherence (0 .. 99) and the winning direction of every pixel, by a vote of the directions
// around it: the 3 x 3 neighbourhood (clamped into the plane) for a pixel on the plane's border,
// only the column to its left for any other pixel; a tie goes to the higher direction. A pixel
// without gradient gets coherence 0 and no direction (kNoEdge), and so does a pixel whose
// coherence is below `coherenceThreshold` or whose magnitude is below `magnitudeThreshold`.
// `direction` is read, `winner` is written, and `coherence` too unless it is empty.
void EdgeCoherence(const PlaneRef& magnitude, const PlaneRef& direction, const PlaneRef& coherence,
                   const PlaneRef& winner, int32_t coherenceThreshold, int32_t magnitudeThreshold,
                   const StopFlag& stop);

// Rounds of averaging along the edges: each pixel with a direction takes (a + b + c + 1) / 3 of
// itself and its two neighbours along that direction, read from the previous round. On the first
// and last row the vertical offset is 0, on the first and last column the horizontal offset is 0.
// `scratch` is a plane of the same size whose content is lost.
void SmoothRounds(const PlaneRef& luma, const PlaneRef& direction, const PlaneRef& scratch, int32_t rounds,
                  const StopFlag& stop);

// The whole step: gradients, coherence, the two thresholds (a pixel with coherence below the first
// or magnitude below the second loses its direction), then `rounds` rounds. False when a plane was
// not available; a stop leaves the luminance partly smoothed.
bool SmoothAlongEdges(const PlaneRef& luma, int32_t coherenceThreshold, int32_t magnitudeThreshold, int32_t rounds,
                      const StopFlag& stop);

}  // namespace kv::advanced
