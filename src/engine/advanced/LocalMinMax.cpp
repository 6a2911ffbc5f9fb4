#include "engine/advanced/LocalMinMax.h"

#include <algorithm>
#include <cstring>

namespace kv::advanced {

namespace {

constexpr int32_t kStrip = kTile;

// A line of `count` elements of `bytes` bytes each (one byte, or one row of a strip), padded with
// `radius` neutral elements on either side so that a window reaching past an end sees only the
// samples inside. The window extreme is found by doubling: after k steps element i holds the
// extreme of the 2^k elements from i on, and two overlapping spans cover any window. That costs
// log2(window) steps whatever the radius.
class WindowLine {
public:
    bool Allocate(int32_t count, int32_t radius, int32_t bytes) {
        count_ = count;
        radius_ = radius;
        bytes_ = bytes;
        const size_t size = static_cast<size_t>(count + 2 * radius) * static_cast<size_t>(bytes);
        storage_ = TryAllocate<uint8_t>(4 * size);
        if (!storage_) return false;
        for (int32_t i = 0; i < 4; ++i) buffer_[i] = storage_.get() + static_cast<size_t>(i) * size;
        return true;
    }

    // Starts a new line: the doubling of the previous one overwrote the padding.
    void Reset() {
        const size_t pad = Offset(radius_);
        const size_t tail = Offset(radius_ + count_);
        std::memset(buffer_[0], 255, pad);
        std::memset(buffer_[0] + tail, 255, pad);
        std::memset(buffer_[2], 0, pad);
        std::memset(buffer_[2] + tail, 0, pad);
    }

    // Where element i of the line goes, for the minimum and for the maximum.
    uint8_t* MinInput(int32_t i) const { return buffer_[0] + Offset(i + radius_); }
    uint8_t* MaxInput(int32_t i) const { return buffer_[2] + Offset(i + radius_); }

    // Runs the doubling; afterwards Extremes gives the window extremes.
    void Run() {
        const int32_t window = 2 * radius_ + 1;
        const size_t elements = static_cast<size_t>(count_ + 2 * radius_);
        span_ = 1;
        int32_t step = 0;
        while (2 * span_ <= window) {
            // Element i of the current step is valid for i <= elements - span; of the next one for
            // i <= elements - 2 span.
            const size_t shift = static_cast<size_t>(span_) * static_cast<size_t>(bytes_);
            const size_t n = (elements - 2 * static_cast<size_t>(span_) + 1) * static_cast<size_t>(bytes_);
            Combine<true>(buffer_[(step & 1) ^ 1], buffer_[step & 1], shift, n);
            Combine<false>(buffer_[2 + ((step & 1) ^ 1)], buffer_[2 + (step & 1)], shift, n);
            span_ *= 2;
            ++step;
        }
        min_ = buffer_[step & 1];
        max_ = buffer_[2 + (step & 1)];
        second_ = Offset(window - span_);
    }

    // The window extremes of elements first .. first + count - 1, written contiguously.
    void Extremes(int32_t first, int32_t count, uint8_t* __restrict outMin, uint8_t* __restrict outMax) const {
        const uint8_t* a = min_ + Offset(first);
        const uint8_t* b = max_ + Offset(first);
        const size_t n = Offset(count);
        for (size_t k = 0; k < n; ++k) outMin[k] = std::min(a[k], a[k + second_]);
        for (size_t k = 0; k < n; ++k) outMax[k] = std::max(b[k], b[k + second_]);
    }

private:
    size_t Offset(int32_t element) const { return static_cast<size_t>(element) * static_cast<size_t>(bytes_); }

    template <bool kMin>
    static void Combine(uint8_t* __restrict out, const uint8_t* __restrict in, size_t shift, size_t n) {
        for (size_t j = 0; j < n; ++j) out[j] = kMin ? std::min(in[j], in[j + shift]) : std::max(in[j], in[j + shift]);
    }

    int32_t count_ = 0;
    int32_t radius_ = 0;
    int32_t bytes_ = 0;
    int32_t span_ = 1;
    size_t second_ = 0;
    std::unique_ptr<uint8_t[]> storage_;
    uint8_t* buffer_[4] = {};
    const uint8_t* min_ = nullptr;
    const uint8_t* max_ = nullptr;
};

}  // namespace

bool LocalMinMax(const PlaneRef& minimum, const PlaneRef& maximum, const PlaneRef& luma, int32_t radius,
                 const StopFlag& stop) {
    const int32_t width = luma.width;
    const int32_t height = luma.height;
    if (radius <= 0) {
        std::memcpy(minimum.data, luma.data, luma.Size());
        std::memcpy(maximum.data, luma.data, luma.Size());
        return true;
    }
    const bool rowsDone = ForEachBand(height, kTile, [&](int32_t first, int32_t end) {
        WindowLine line;
        if (!line.Allocate(width, radius, 1)) return false;
        for (int32_t y = first; y < end; ++y) {
            if (Stopped(stop)) return true;
            line.Reset();
            std::memcpy(line.MinInput(0), luma.Row(y), static_cast<size_t>(width));
            std::memcpy(line.MaxInput(0), luma.Row(y), static_cast<size_t>(width));
            line.Run();
            line.Extremes(0, width, minimum.Row(y), maximum.Row(y));
        }
        return true;
    });
    if (!rowsDone) return false;
    if (Stopped(stop)) return true;
    return ForEachBand(width / kStrip, 1, [&](int32_t first, int32_t end) {
        WindowLine line;
        if (!line.Allocate(height, radius, kStrip)) return false;
        for (int32_t s = first; s < end; ++s) {
            if (Stopped(stop)) return true;
            const ptrdiff_t column = static_cast<ptrdiff_t>(s) * kStrip;
            line.Reset();
            for (int32_t y = 0; y < height; ++y) {
                std::memcpy(line.MinInput(y), minimum.Row(y) + column, kStrip);
                std::memcpy(line.MaxInput(y), maximum.Row(y) + column, kStrip);
            }
            line.Run();
            for (int32_t y = 0; y < height; ++y) line.Extremes(y, 1, minimum.Row(y) + column, maximum.Row(y) + column);
        }
        return true;
    });
}

}  // namespace kv::advanced
