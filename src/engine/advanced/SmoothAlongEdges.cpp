#include "engine/advanced/SmoothAlongEdges.h"

#include <algorithm>
#include <cstring>

#include "engine/advanced/AdvancedTables.h"

namespace kv::advanced {

namespace {

// Rows of the edge passes per parallel band.
constexpr int32_t kBandRows = kTile;

// The 1-2-1 sum along a row, the first and last samples repeated beyond the ends.
void SmoothAlongRow(const uint8_t* in, int32_t width, int16_t* out) {
    out[0] = static_cast<int16_t>(3 * in[0] + in[1]);
    for (int32_t x = 1; x < width - 1; ++x) out[x] = static_cast<int16_t>(in[x - 1] + 2 * in[x] + in[x + 1]);
    out[width - 1] = static_cast<int16_t>(3 * in[width - 1] + in[width - 2]);
}

}  // namespace

bool EdgeGradients(const PlaneRef& luma, const PlaneRef& magnitude, const PlaneRef& direction, const StopFlag& stop) {
    const int32_t width = luma.width;
    const int32_t height = luma.height;
    const auto& sqrtTable = SqrtTable();
    const DirectionTable& directions = Directions();
    return ForEachBand(height, kBandRows, [&](int32_t first, int32_t end) {
        // The 1-2-1 sums across rows y - 1 and y + 1 (for the vertical gradient) and down the columns
        // at row y (for the horizontal one).
        auto scratch = TryAllocate<int16_t>(3 * static_cast<size_t>(width));
        if (!scratch) return false;
        int16_t* above = scratch.get();
        int16_t* below = above + width;
        int16_t* down = below + width;
        for (int32_t y = first; y < end; ++y) {
            if (Stopped(stop)) return true;
            const uint8_t* up = luma.Row(std::max(y - 1, 0));
            const uint8_t* mid = luma.Row(y);
            const uint8_t* dn = luma.Row(std::min(y + 1, height - 1));
            SmoothAlongRow(up, width, above);
            SmoothAlongRow(dn, width, below);
            for (int32_t x = 0; x < width; ++x) down[x] = static_cast<int16_t>(up[x] + 2 * mid[x] + dn[x]);
            uint8_t* mag = magnitude.Row(y);
            uint8_t* dir = direction.Row(y);
            for (int32_t x = 0; x < width; ++x) {
                const int32_t gx = (down[std::min(x + 1, width - 1)] - down[std::max(x - 1, 0)]) / 4;
                const int32_t gy = (below[x] - above[x]) / 4;
                mag[x] = sqrtTable[static_cast<size_t>(std::min(gx * gx + gy * gy, 9999))];
                dir[x] = directions(gx, gy);
            }
        }
        return true;
    });
}

void EdgeCoherence(const PlaneRef& magnitude, const PlaneRef& direction, const PlaneRef& coherence,
                   const PlaneRef& winner, const StopFlag& stop) {
    const int32_t width = magnitude.width;
    const int32_t height = magnitude.height;
    // Counts the votes, picks the largest count (a tie goes to the higher direction) and writes.
    const auto decide = [](const int32_t (&votes)[4], uint8_t& coh, uint8_t& dir) {
        int32_t best = 0;
        for (int32_t d = 1; d < 4; ++d)
            if (votes[d] >= votes[best]) best = d;
        coh = static_cast<uint8_t>(11 * votes[best]);
        dir = static_cast<uint8_t>(best);
    };
    const auto border = [&](int32_t x, int32_t y) {
        uint8_t& coh = coherence.Row(y)[x];
        uint8_t& dir = winner.Row(y)[x];
        if (magnitude.Row(y)[x] == 0) {
            coh = 0;
            dir = kNoEdge;
            return;
        }
        int32_t votes[4] = {};
        for (int32_t dy = -1; dy <= 1; ++dy) {
            const uint8_t* row = direction.Row(std::clamp(y + dy, 0, height - 1));
            for (int32_t dx = -1; dx <= 1; ++dx) ++votes[row[std::clamp(x + dx, 0, width - 1)]];
        }
        decide(votes, coh, dir);
    };
    ForEachBand(height, kBandRows, [&](int32_t first, int32_t end) {
        for (int32_t y = first; y < end; ++y) {
            if (Stopped(stop)) return true;
            if (y == 0 || y == height - 1) {
                for (int32_t x = 0; x < width; ++x) border(x, y);
                continue;
            }
            border(0, y);
            const uint8_t* mag = magnitude.Row(y);
            const uint8_t* up = direction.Row(y - 1);
            const uint8_t* mid = direction.Row(y);
            const uint8_t* dn = direction.Row(y + 1);
            uint8_t* coh = coherence.Row(y);
            uint8_t* dir = winner.Row(y);
            for (int32_t x = 1; x < width - 1; ++x) {
                if (mag[x] == 0) {
                    coh[x] = 0;
                    dir[x] = kNoEdge;
                    continue;
                }
                int32_t votes[4] = {};
                votes[up[x - 1]] += 3;
                votes[mid[x - 1]] += 3;
                votes[dn[x - 1]] += 3;
                decide(votes, coh[x], dir[x]);
            }
            border(width - 1, y);
        }
        return true;
    });
}

void SmoothRounds(const PlaneRef& luma, const PlaneRef& direction, const PlaneRef& scratch, int32_t rounds,
                  const StopFlag& stop) {
    const int32_t width = luma.width;
    const int32_t height = luma.height;
    PlaneRef from = luma;
    PlaneRef to = scratch;
    for (int32_t round = 0; round < rounds; ++round) {
        ForEachBand(height, kBandRows, [&](int32_t first, int32_t end) {
            for (int32_t y = first; y < end; ++y) {
                if (Stopped(stop)) return true;
                const ptrdiff_t down = (y == 0 || y == height - 1) ? 0 : width;
                // Offset of the second neighbour along each direction (the first is the mirror
                // image), for an inner column and for the first and last column.
                const ptrdiff_t inner[5] = {down, down - 1, 1, down + 1, 0};
                const ptrdiff_t side[5] = {down, down, 0, down, 0};
                const uint8_t* in = from.Row(y);
                const uint8_t* dir = direction.Row(y);
                uint8_t* out = to.Row(y);
                const auto average = [&](int32_t x, ptrdiff_t o) {
                    out[x] = static_cast<uint8_t>((in[x - o] + in[x + o] + in[x] + 1) / 3);
                };
                average(0, side[dir[0]]);
                for (int32_t x = 1; x < width - 1; ++x) average(x, inner[dir[x]]);
                average(width - 1, side[dir[width - 1]]);
            }
            return true;
        });
        std::swap(from, to);
    }
    if (from.data != luma.data) std::memcpy(luma.data, from.data, luma.Size());
}

bool SmoothAlongEdges(const PlaneRef& luma, int32_t coherenceThreshold, int32_t magnitudeThreshold, int32_t rounds,
                      const StopFlag& stop) {
    OwnedPlane magnitude;
    OwnedPlane direction;
    OwnedPlane coherence;
    OwnedPlane winner;
    if (!magnitude.Allocate(luma.width, luma.height) || !direction.Allocate(luma.width, luma.height) ||
        !coherence.Allocate(luma.width, luma.height) || !winner.Allocate(luma.width, luma.height))
        return false;
    if (!EdgeGradients(luma, magnitude.ref(), direction.ref(), stop)) return false;
    if (Stopped(stop)) return true;
    EdgeCoherence(magnitude.ref(), direction.ref(), coherence.ref(), winner.ref(), stop);
    if (Stopped(stop)) return true;
    direction.Free();
    ForEachBand(luma.height, kBandRows, [&](int32_t first, int32_t end) {
        for (int32_t y = first; y < end; ++y) {
            const uint8_t* mag = magnitude.ref().Row(y);
            const uint8_t* coh = coherence.ref().Row(y);
            uint8_t* dir = winner.ref().Row(y);
            for (int32_t x = 0; x < luma.width; ++x)
                if (coh[x] < coherenceThreshold || mag[x] < magnitudeThreshold) dir[x] = kNoEdge;
        }
        return true;
    });
    coherence.Free();
    // The magnitudes are spent; their plane holds the rounds' alternate copy.
    SmoothRounds(luma, winner.ref(), magnitude.ref(), rounds, stop);
    return true;
}

}  // namespace kv::advanced
