#include "engine/advanced/BoxMean.h"

#include <algorithm>
#include <cstring>

namespace kv::advanced {

namespace {

// Index i of a line of n samples continued by mirroring with the edge sample repeated: -1 is 0,
// -2 is 1, n is n - 1. The radius never exceeds (n - 1) / 2, so one reflection suffices.
int32_t Mirror(int32_t i, int32_t n) { return i < 0 ? -i - 1 : (i >= n ? 2 * n - 1 - i : i); }

// Sum is wide enough for a whole window's sum.
template <class Sum>
bool BoxMeanRows(const PlaneRef& target, const PlaneRef& source, int32_t q, const StopFlag& stop) {
    const int32_t width = source.width;
    const int32_t height = source.height;
    const int32_t span = 2 * q + 1;
    const Sum area = static_cast<Sum>(span) * static_cast<Sum>(span);
    const Sum half = (area + 1) / 2;
    // A band sums its first window of rows from scratch and slides it from there, so bands at
    // least as tall as the window keep that start cheap.
    const int32_t band = std::max(kTile, (span + kTile - 1) / kTile * kTile);
    return ForEachBand(height, band, [&](int32_t first, int32_t end) {
        auto columns = TryAllocate<uint32_t>(static_cast<size_t>(width));
        auto prefix = TryAllocate<Sum>(static_cast<size_t>(width + 2 * q + 1));
        if (!columns || !prefix) return false;
        uint32_t* col = columns.get();
        Sum* sums = prefix.get();
        std::fill(col, col + width, 0u);
        for (int32_t k = -q; k <= q; ++k) {
            const uint8_t* row = source.Row(Mirror(first + k, height));
            for (int32_t x = 0; x < width; ++x) col[x] += row[x];
        }
        for (int32_t y = first; y < end; ++y) {
            if (Stopped(stop)) return true;
            sums[0] = 0;
            for (int32_t i = 0; i < width + 2 * q; ++i) sums[i + 1] = sums[i] + col[Mirror(i - q, width)];
            uint8_t* out = target.Row(y);
            for (int32_t x = 0; x < width; ++x) out[x] = static_cast<uint8_t>((sums[x + span] - sums[x] + half) / area);
            if (y + 1 < end) {
                const uint8_t* enter = source.Row(Mirror(y + q + 1, height));
                const uint8_t* leave = source.Row(Mirror(y - q, height));
                for (int32_t x = 0; x < width; ++x) col[x] = col[x] + enter[x] - leave[x];
            }
        }
        return true;
    });
}

}  // namespace

int32_t BoxMeanRadius(int32_t width, int32_t height, int32_t window) {
    const int32_t w = window >= width ? width - 1 : window;
    return std::min(w, height - 1) / 2;
}

bool BoxMean(const PlaneRef& target, const PlaneRef& source, int32_t window, const StopFlag& stop) {
    const int32_t q = BoxMeanRadius(source.width, source.height, window);
    if (q <= 0) {
        std::memcpy(target.data, source.data, source.Size());
        return true;
    }
    // A window of 255s, plus the rounding half, must fit the sum type: 32 bits up to a 4095-wide
    // window, 64 bits beyond.
    const int64_t span = 2 * static_cast<int64_t>(q) + 1;
    if (span * span * 256 < (int64_t{1} << 32)) return BoxMeanRows<uint32_t>(target, source, q, stop);
    return BoxMeanRows<uint64_t>(target, source, q, stop);
}

}  // namespace kv::advanced
