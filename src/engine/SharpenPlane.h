#pragma once

#include <cstdint>

namespace kv {

class CRSProgress;

// Sharpens the interior of a plane (border rows and columns keep their values) by pushing every
// pixel away from the mean of its 3x3 neighbourhood: (100 * pixel - amount * mean) / (100 - amount),
// all in integers, clamped to 0..255. Reads see the plane as it was before the step. Reports
// 100 * y / (height - 1) after each interior row y; a plane of fewer than three rows reports
// nothing. The amount is meant to be 0..99; one outside is taken as the nearer end.
bool SharpenPlane(uint8_t* plane, int32_t width, int32_t height, int32_t amount, CRSProgress* progress);

}  // namespace kv
