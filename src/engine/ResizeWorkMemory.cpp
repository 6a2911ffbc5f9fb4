#include "engine/ResizeWorkMemory.h"

#include <algorithm>
#include <cmath>

#include "engine/BandedPass.h"
#include "engine/ParallelFor.h"
#include "engine/StandardResample.h"

namespace kv {

namespace {

using Bytes = uint64_t;

Bytes Area(int64_t width, int64_t height) { return static_cast<Bytes>(width) * static_cast<Bytes>(height); }

// What the kernel core of a range resize takes to resample one plane (inWidth x inHeight) to
// outWidth x outHeight: its tables, the rows of doubles one band of output rows reads, a row of
// doubles per worker, and for the Lanczos core the guide, the blur's lines and the range planes
// (a copy and the two extremes), each the size of the output.
Bytes KernelCore(int64_t outWidth, int64_t outHeight, int64_t inWidth, int64_t inHeight) {
    constexpr Bytes kTaps = 16;
    const Bytes tables = static_cast<Bytes>(outWidth) * kTaps * 12 + 8 * static_cast<Bytes>(outWidth + outHeight);
    const double rowsPerOutput = std::max(1.0, static_cast<double>(inHeight) / static_cast<double>(outHeight));
    const double bandRows = std::min(static_cast<double>(inHeight),
                                     BandLength(static_cast<int32_t>(std::min<int64_t>(outHeight, INT32_MAX))) * rowsPerOutput + kTaps);
    const Bytes along = static_cast<Bytes>(bandRows) * static_cast<Bytes>(outWidth) * 8;
    const Bytes rows = static_cast<Bytes>(inWidth) * 8 * ParallelWorkers();
    const Bytes lines = static_cast<Bytes>(std::max(outWidth, outHeight)) * 16 * 16 * ParallelWorkers();
    return tables + along + rows + lines + 4 * Area(outWidth, outHeight);
}

// Algorithms 5 to 7 resize channel after channel: the channel's source plane, its destination
// plane and the staging between them are held at once.
Bytes RangeResize(int64_t dw, int64_t dh, int64_t sw, int64_t sh) {
    const double wr = static_cast<double>(dw) / static_cast<double>(sw);
    const double hr = static_cast<double>(dh) / static_cast<double>(sh);
    const double low = std::min(wr, hr);
    const double high = std::max(wr, hr);
    Bytes staging;
    if (high <= 0.5) {
        // Box areas, rows then columns, and the sharpening's kept rows.
        staging = Area(dw, sh) + 16 * static_cast<Bytes>(dw + dh + sw + sh) + 8 * static_cast<Bytes>(dw) * 64;
    } else if (high <= 1.5 || low > 1.5) {
        staging = KernelCore(dw, dh, sw, sh);
    } else {
        const bool rowsDown = hr == low;
        const int64_t midWidth = rowsDown ? dw : static_cast<int64_t>(std::trunc(1.5 * static_cast<double>(sw)));
        const int64_t midHeight = rowsDown ? static_cast<int64_t>(std::trunc(1.5 * static_cast<double>(sh))) : dh;
        staging = Area(midWidth, midHeight) + KernelCore(midWidth, midHeight, sw, sh) + 16 * static_cast<Bytes>(dw + dh);
    }
    return Area(sw, sh) + Area(dw, dh) + staging;
}

// Algorithms 8 and 9: luminance and colour-difference planes of the destination padded to whole
// tiles, the local-contrast planes of the artificial-scenes variant, the colour tables and the
// scratch of the smoothing passes.
Bytes Advanced(int64_t dw, int64_t dh, int64_t sw, bool flag) {
    constexpr int64_t kTile = 16;
    const int64_t pw = (dw + kTile - 1) / kTile * kTile;
    const int64_t ph = (dh + kTile - 1) / kTile * kTile;
    // The three planes, and at the peak as much again for the smoothing passes (measured with
    // bench/job_memory_bench); the local-contrast planes of the artificial-scenes variant come
    // after those are freed.
    (void)flag;
    const Bytes planes = 6 * Area(pw, ph) + Area(pw, ph) / 2;
    const Bytes scratch = (static_cast<Bytes>(std::max({pw, ph, sw})) * 64 * 8 + (Bytes{1} << 20)) * ParallelWorkers();
    return planes + scratch + (Bytes{1} << 20);
}

}  // namespace

uint64_t ResizeWorkingBytes(ResizeAlgorithm algorithm, int32_t dstWidth, int32_t dstHeight, int32_t srcWidth,
                            int32_t srcHeight) {
    if (dstWidth <= 0 || dstHeight <= 0 || srcWidth <= 0 || srcHeight <= 0) return 0;
    const ResizeAlgorithmInfo& info = kResizeAlgorithms[static_cast<size_t>(ValidResizeAlgorithm(algorithm))];
    switch (info.routine) {
        case ResizeRoutine::Standard:
            return DrawResampledWorkingBytes(dstWidth, dstHeight, srcWidth, srcHeight, info.mode);
        case ResizeRoutine::LanczosRange:
        case ResizeRoutine::CubicRange:
            return RangeResize(dstWidth, dstHeight, srcWidth, srcHeight);
        case ResizeRoutine::Advanced:
            return Advanced(dstWidth, dstHeight, srcWidth, info.flag);
    }
    return 0;
}

}  // namespace kv
