#include "engine/SharpenPlane.h"

#include <algorithm>
#include <cstring>

#include "engine/BandedPass.h"

namespace kv {

bool SharpenPlane(uint8_t* plane, int32_t width, int32_t height, int32_t amount, CRSProgress* progress) {
    if (height < 3) return true;
    // 100 would divide by zero; only a sharpness far beyond the algorithm table's gets there.
    amount = std::min(amount, 99);
    const size_t w = static_cast<size_t>(width);
    auto original = TryAllocate<uint8_t>(w * static_cast<size_t>(height));
    if (!original) {
        OutOfMemoryFlag.store(1);
        return false;
    }
    std::memcpy(original.get(), plane, w * static_cast<size_t>(height));

    // The result depends only on the pixel and the truncated mean: one table of 256 x 256 answers
    // instead of a division per pixel.
    auto table = TryAllocate<uint8_t>(256 * 256);
    if (!table) {
        OutOfMemoryFlag.store(1);
        return false;
    }
    for (int32_t p = 0; p < 256; ++p)
        for (int32_t mean = 0; mean < 256; ++mean)
            table[static_cast<size_t>(p) * 256 + static_cast<size_t>(mean)] =
                static_cast<uint8_t>(std::clamp((100 * p - amount * mean) / (100 - amount), 0, 255));

    const int32_t interiorRows = height - 2;
    const auto rows = [&](int32_t begin, int32_t end) {
        for (int32_t i = begin; i < end; ++i) {
            const size_t y = static_cast<size_t>(i) + 1;
            const uint8_t* above = original.get() + (y - 1) * w;
            const uint8_t* here = above + w;
            const uint8_t* below = here + w;
            uint8_t* out = plane + y * w;
            for (size_t x = 1; x + 1 < w; ++x) {
                const int32_t sum = above[x - 1] + above[x] + above[x + 1] + here[x - 1] + here[x] + here[x + 1] +
                                    below[x - 1] + below[x] + below[x + 1];
                out[x] = table[static_cast<size_t>(here[x]) * 256 + static_cast<size_t>(sum / 9)];
            }
        }
        return true;
    };
    return RunBanded(
        interiorRows, BandLength(interiorRows), progress,
        [&](int32_t begin, int32_t end) { return ParallelRange(begin, end, 16, rows); },
        [&](int32_t i) { return PercentOf(i + 1, height - 1); });
}

}  // namespace kv
