#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <new>

#include <tbb/blocked_range.h>
#include "engine/ParallelFor.h"

#include "engine/Progress.h"

namespace kv {

// How the passes of the own algorithms share out their work. A pass reports progress once per unit
// (a row, a column or a line) on the calling thread, in order; the work itself runs on all cores
// in bands of units between those calls. Every unit's result is computed the same way whichever
// thread computes it and however the band is split, so the output does not depend on the number
// of threads.

// A pass reports into no sink when nobody listens; nothing can stop it then.
inline bool ReportProgress(CRSProgress* progress, int32_t percent) {
    return progress == nullptr || progress->OnProgress(percent);
}

// scale * index / count with integer truncation, in 64 bits so that large sizes cannot overflow.
inline int32_t PercentOf(int64_t index, int64_t count, int64_t scale = 100) {
    return static_cast<int32_t>(scale * index / count);
}

// A working buffer that reports a failed allocation as an empty pointer instead of throwing.
template <class T>
std::unique_ptr<T[]> TryAllocate(size_t count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[count == 0 ? 1 : count]);
}

// Runs body(begin, end) over [begin, end) on the cores, in pieces of at least `grain` units. False
// when a piece reported a failure (a scratch buffer it could not get) or the scheduler itself
// failed; no exception leaves.
template <class Body>
bool ParallelRange(int32_t begin, int32_t end, int32_t grain, const Body& body) {
    if (begin >= end) return true;
    std::atomic<bool> ok{true};
    try {
        ParallelFor(tbb::blocked_range<int32_t>(begin, end, static_cast<size_t>(std::max(grain, 1))),
                          [&](const tbb::blocked_range<int32_t>& r) {
                              if (!body(r.begin(), r.end())) ok.store(false, std::memory_order_relaxed);
                          });
    } catch (...) {
        return false;
    }
    return ok.load(std::memory_order_relaxed);
}

// Number of progress bands a pass is cut into: enough that a stop is seen soon, few enough that
// the synchronisation between bands costs nothing.
inline constexpr int32_t kBandsPerPass = 32;

// Band length for `count` units, rounded up to a multiple of `multiple`.
inline int32_t BandLength(int32_t count, int32_t multiple = 1) {
    const int32_t band = std::max<int32_t>(1, (count + kBandsPerPass - 1) / kBandsPerPass);
    return (band + multiple - 1) / multiple * multiple;
}

// The shape of every pass: work(begin, end) computes units [begin, end) (usually with
// ParallelRange), then percent(unit) is reported for each of them in order. Returns false at the
// first progress call that answers false, or when the work failed; a failed work is a missing
// buffer and sets OutOfMemoryFlag.
template <class Work, class Percent>
bool RunBanded(int32_t count, int32_t band, CRSProgress* progress, const Work& work, const Percent& percent) {
    for (int32_t begin = 0; begin < count; begin += band) {
        const int32_t end = std::min(count, begin + band);
        if (!work(begin, end)) {
            OutOfMemoryFlag.store(1);
            return false;
        }
        for (int32_t unit = begin; unit < end; ++unit)
            if (!ReportProgress(progress, percent(unit))) return false;
    }
    return true;
}

}  // namespace kv
