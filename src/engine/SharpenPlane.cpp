#include "engine/SharpenPlane.h"

#include <algorithm>
#include <cstring>

#include "engine/BandedPass.h"
#include "engine/VectorUnits.h"

namespace kv {

namespace {

// One interior row. The division by 100 - amount is made in floats: the numerator is below 2^15
// and the divisor at most 100, so a quotient that is not whole lies at least 1/100 from the next
// integer, far beyond the float's rounding error, and truncating the float quotient gives the
// integer one. Written without tables or branches so that it vectorises.
KV_ALWAYS_INLINE void SharpenRowBody(const uint8_t* __restrict above, const uint8_t* __restrict here,
                                     const uint8_t* __restrict below, int32_t width, int32_t amount,
                                     uint8_t* __restrict out) {
    const float divisor = static_cast<float>(100 - amount);
    for (int32_t x = 1; x + 1 < width; ++x) {
        const int32_t sum = above[x - 1] + above[x] + above[x + 1] + here[x - 1] + here[x] + here[x + 1] +
                            below[x - 1] + below[x] + below[x + 1];
        const int32_t numerator = 100 * here[x] - amount * (sum / 9);
        const int32_t v = static_cast<int32_t>(static_cast<float>(numerator) / divisor);
        out[x] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
}

KV_VECTOR_VARIANTS(void, SharpenRow,
                   (const uint8_t* above, const uint8_t* here, const uint8_t* below, int32_t width, int32_t amount,
                    uint8_t* out),
                   (above, here, below, width, amount, out))

}  // namespace

bool SharpenPlane(uint8_t* plane, int32_t width, int32_t height, int32_t amount, CRSProgress* progress) {
    if (height < 3) return true;
    // 100 would divide by zero; only a sharpness far beyond the algorithm table's gets there.
    amount = std::clamp(amount, 0, 99);
    const size_t w = static_cast<size_t>(width);
    const int32_t interiorRows = height - 2;
    const int32_t band = BandLength(interiorRows);

    // Rows are sharpened in place, a band at a time. Every read must see the plane as it was, so
    // each band first keeps the original rows it reads: its own, the one below (not yet
    // sharpened) and the one above (sharpened by the previous band, whose kept copy still holds
    // the original). A plane-sized copy is not needed.
    auto kept = TryAllocate<uint8_t>(static_cast<size_t>(band + 2) * w);
    if (!kept) {
        OutOfMemoryFlag.store(1);
        return false;
    }
    const auto sharpenRow = KV_PICK_VARIANT(SharpenRow);
    int32_t keptFirst = -1;  // plane row held in kept row 0
    int32_t keptCount = 0;
    const auto work = [&](int32_t begin, int32_t end) {
        const int32_t first = begin;  // plane rows first .. end + 1 are read (interior rows begin + 1 .. end)
        if (keptCount == 0) {
            std::memcpy(kept.get(), plane + static_cast<size_t>(first) * w, w);
        } else {
            std::memmove(kept.get(), kept.get() + static_cast<size_t>(first - keptFirst) * w, w);
        }
        const int32_t rows = end - begin + 2;
        std::memcpy(kept.get() + w, plane + static_cast<size_t>(first + 1) * w, static_cast<size_t>(rows - 1) * w);
        keptFirst = first;
        keptCount = rows;
        return ParallelRange(begin, end, 16, [&](int32_t i0, int32_t i1) {
            for (int32_t i = i0; i < i1; ++i) {
                const uint8_t* above = kept.get() + static_cast<size_t>(i - first) * w;
                sharpenRow(above, above + w, above + 2 * w, width, amount, plane + (static_cast<size_t>(i) + 1) * w);
            }
            return true;
        });
    };
    return RunBanded(interiorRows, band, progress, work, [&](int32_t i) { return PercentOf(i + 1, height - 1); });
}

}  // namespace kv
