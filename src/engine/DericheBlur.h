#pragma once

#include <cstdint>

namespace kv {

class CRSProgress;

// The terms of Deriche's fourth-order recursive approximation of a Gaussian: causal numerators
// np, anticausal numerators nm, the shared denominators d, and the factors b (causal) and e
// (anticausal) that stand in for the taps beyond the two ends of a line.
struct DericheTerms {
    double np[5];
    double nm[5];
    double d[5];
    double b[5];
    double e[5];
};

DericheTerms DericheCoefficients(double sigma);

// The sigma of an extent d: the Gaussian falls to 1/255 at the distance |d / 10| + 1, with
// d / 10 rounded to a 32-bit float first. Extent 10 gives 0.6007733, extent 8 gives 0.5406959.
double DericheSigma(int32_t extent);

// Blurs a plane in place with the recursive Gaussian, down the columns (vertical extent) and then
// along the rows (horizontal extent). Each output is the sum of the causal and anticausal passes
// rounded to a 32-bit float, then to the nearest integer (ties to even), clamped to 0..255. At the
// ends of a line the taps beyond it are replaced by the end sample weighted by np - b (causal) or
// nm - e (anticausal); since b and e use 1 - beta, a constant line is not kept at its two ends.
// Reports 50 * c / width after each column c, then 50 * r / height + 50 after each row r.
bool DericheBlur(uint8_t* plane, int32_t width, int32_t height, int32_t horizontalExtent, int32_t verticalExtent,
                 CRSProgress* progress);

}  // namespace kv
