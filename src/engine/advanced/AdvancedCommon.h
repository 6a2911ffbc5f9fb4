#pragma once

// What the steps of the advanced enlarger share: the stop flag they poll, the padded planes they
// work on, buffers that report a failed allocation instead of throwing, and the banded parallel
// loop.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include <tbb/blocked_range.h>

#include "base/CpuFeatures.h"
#include "engine/ParallelFor.h"

namespace kv::advanced {

// The flag the steps poll inside their loops: the process-wide CancelRequested when a progress sink
// watches the resize, otherwise a flag of the call that nothing sets. A byte read without locking.
using StopFlag = std::atomic<uint8_t>;

inline bool Stopped(const StopFlag& stop) { return stop.load(std::memory_order_relaxed) != 0; }

// The planes are padded to whole 16 x 16 tiles, so every width and height here is a multiple of 16
// (at least 16) and rows of 16 bytes never need a remainder loop.
inline constexpr int32_t kTile = 16;

// The caller keeps sizes below 2^30, so the rounding cannot overflow.
inline int32_t PaddedSize(int32_t size) { return (size + kTile - 1) / kTile * kTile; }

// The hot loops come as plain code and as vector code for processors that have AVX2; both give the
// same bytes. The fastest available is decided once, when first asked.
enum class KernelPath { Plain, Vector };
bool KernelPathAvailable(KernelPath path);
KernelPath DefaultKernelPath();

// A view of one byte plane with rows `width` bytes apart.
struct PlaneRef {
    uint8_t* data = nullptr;
    int32_t width = 0;
    int32_t height = 0;

    uint8_t* Row(int32_t y) const { return data + static_cast<ptrdiff_t>(y) * width; }
    size_t Size() const { return static_cast<size_t>(width) * static_cast<size_t>(height); }
};

// A working buffer; empty when the memory is not available.
template <class T>
std::unique_ptr<T[]> TryAllocate(size_t count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[count == 0 ? 1 : count]);
}

// A plane of its own, freed with the owner.
class OwnedPlane {
public:
    // False when the memory is not available.
    bool Allocate(int32_t width, int32_t height) {
        bytes_ = TryAllocate<uint8_t>(static_cast<size_t>(width) * static_cast<size_t>(height));
        ref_ = bytes_ ? PlaneRef{bytes_.get(), width, height} : PlaneRef{};
        return bytes_ != nullptr;
    }
    void Free() {
        bytes_.reset();
        ref_ = {};
    }
    const PlaneRef& ref() const { return ref_; }
    explicit operator bool() const { return bytes_ != nullptr; }

private:
    std::unique_ptr<uint8_t[]> bytes_;
    PlaneRef ref_;
};

// Runs body(first, end) for the bands [first, end) of `count` rows, `band` rows each, on the
// calling thread's task scheduler. Bands write disjoint rows, and every row is computed the same
// way whichever worker takes it, so the result does not depend on the number of threads. A body
// answers false when it could not get a scratch buffer; the call then answers false once all bands
// are done.
template <class Body>
bool ForEachBand(int32_t count, int32_t band, const Body& body) {
    if (count <= 0) return true;
    band = std::max(band, 1);
    const int32_t bands = static_cast<int32_t>((static_cast<int64_t>(count) + band - 1) / band);
    std::atomic<bool> ok{true};
    ParallelFor(tbb::blocked_range<int32_t>(0, bands, 1), [&](const tbb::blocked_range<int32_t>& r) {
        for (int32_t b = r.begin(); b != r.end(); ++b) {
            const int32_t first = static_cast<int32_t>(static_cast<int64_t>(b) * band);
            const int32_t end = static_cast<int32_t>(std::min<int64_t>(count, static_cast<int64_t>(first) + band));
            if (!body(first, end)) ok.store(false, std::memory_order_relaxed);
        }
    });
    return ok.load(std::memory_order_relaxed);
}

}  // namespace kv::advanced
