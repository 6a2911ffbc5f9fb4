#include "engine/advanced/SmoothAlongEdges.h"

#include <algorithm>
#include <array>
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

namespace {

struct Vote {
    uint8_t coherence;
    uint8_t direction;
};

// The winner of a count of votes: the largest count, a tie going to the higher direction.
Vote Decide(const int32_t (&votes)[4]) {
    int32_t best = 0;
    for (int32_t d = 1; d < 4; ++d)
        if (votes[d] >= votes[best]) best = d;
    return {static_cast<uint8_t>(11 * votes[best]), static_cast<uint8_t>(best)};
}

// An inner pixel's vote depends only on the three directions of the column to its left (3 votes
// each), so all 64 outcomes are tabulated, indexed by 16 above + 4 beside + below.
const std::array<Vote, 64>& LeftColumnVotes() {
    static const std::array<Vote, 64> table = [] {
        std::array<Vote, 64> t{};
        for (int32_t i = 0; i < 64; ++i) {
            int32_t votes[4] = {};
            votes[i >> 4] += 3;
            votes[(i >> 2) & 3] += 3;
            votes[i & 3] += 3;
            t[static_cast<size_t>(i)] = Decide(votes);
        }
        return t;
    }();
    return table;
}

}  // namespace

void EdgeCoherence(const PlaneRef& magnitude, const PlaneRef& direction, const PlaneRef& coherence,
                   const PlaneRef& winner, int32_t coherenceThreshold, int32_t magnitudeThreshold,
                   const StopFlag& stop) {
    const int32_t width = magnitude.width;
    const int32_t height = magnitude.height;
    const bool keepCoherence = coherence.data != nullptr;
    const auto& leftColumn = LeftColumnVotes();
    // The final direction of a pixel from its magnitude and its vote.
    const auto settle = [&](int32_t x, int32_t y, uint8_t mag, Vote vote) {
        if (mag == 0) vote = {0, kNoEdge};
        if (keepCoherence) coherence.Row(y)[x] = vote.coherence;
        winner.Row(y)[x] =
            (vote.coherence < coherenceThreshold || mag < magnitudeThreshold) ? kNoEdge : vote.direction;
    };
    const auto border = [&](int32_t x, int32_t y) {
        int32_t votes[4] = {};
        for (int32_t dy = -1; dy <= 1; ++dy) {
            const uint8_t* row = direction.Row(std::clamp(y + dy, 0, height - 1));
            for (int32_t dx = -1; dx <= 1; ++dx) ++votes[row[std::clamp(x + dx, 0, width - 1)]];
        }
        settle(x, y, magnitude.Row(y)[x], Decide(votes));
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
            for (int32_t x = 1; x < width - 1; ++x)
                settle(x, y, mag[x], leftColumn[static_cast<size_t>(16 * up[x - 1] + 4 * mid[x - 1] + dn[x - 1])]);
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
    OwnedPlane winner;
    if (!magnitude.Allocate(luma.width, luma.height) || !direction.Allocate(luma.width, luma.height) ||
        !winner.Allocate(luma.width, luma.height))
        return false;
    if (!EdgeGradients(luma, magnitude.ref(), direction.ref(), stop)) return false;
    if (Stopped(stop)) return true;
    // The coherence is only compared with its threshold, so it is never stored.
    EdgeCoherence(magnitude.ref(), direction.ref(), PlaneRef{}, winner.ref(), coherenceThreshold, magnitudeThreshold,
                  stop);
    if (Stopped(stop)) return true;
    direction.Free();
    // The magnitudes are spent; their plane holds the rounds' alternate copy.
    SmoothRounds(luma, winner.ref(), magnitude.ref(), rounds, stop);
    return true;
}

}  // namespace kv::advanced
