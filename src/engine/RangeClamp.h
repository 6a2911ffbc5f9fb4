#pragma once

#include <cstdint>

namespace kv {

class CRSProgress;

// The edge-aware range stretch. For every pixel it takes the largest (mx) and smallest (mn) value
// of the guide in a (2 * (windowWidth / 2) + 1) x (2 * (windowHeight / 2) + 1) window, the middle
// mid = (mx + mn + 1) / 2 and the half range t = mx - mid (1 when that is 0). The gain is
// u = ((t / strength) / q4) * 0.5 with q4 = (wr * hr)^(1/4), raised to 1 if smaller. Where u is 1
// the result is the guide's pixel; elsewhere the plane's pixel v is pushed away from mid by the
// gain, trunc(mid + u * (v - mid)), and clipped to mx or mn when it would leave the range
// (|v - mid| / t > 1 / u, a real division). Pixels too near the edge for a whole window use the
// window of the nearest pixel that has one; where the plane is too small for any window in a
// direction, the window is the whole row or column. Reads see the plane and the guide as they
// were before the step; the guide may be the plane itself. A non-zero grain adds
// GrainValue(trunc(u * grain)) to every stretched pixel, drawing from rand() in memory order.
// Reports 100 * y / height after each row y.
bool RangeClamp(uint8_t* plane, const uint8_t* guide, int32_t width, int32_t height, int32_t windowWidth,
                int32_t windowHeight, double wr, double hr, double strength, CRSProgress* progress, int32_t grain = 0);

}  // namespace kv
