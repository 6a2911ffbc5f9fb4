#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "engine/Progress.h"

namespace kv::test {

// A plane (or raster) of reproducible noise over a smooth ramp, so that every pass has both edges
// and flat parts to work on.
inline std::vector<uint8_t> NoisyBytes(size_t count, uint32_t seed, int32_t width = 0) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-40, 40);
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) {
        const int ramp = width > 0 ? static_cast<int>((i % static_cast<size_t>(width)) * 255 / static_cast<size_t>(width)) : 128;
        bytes[i] = static_cast<uint8_t>(std::clamp(ramp + noise(rng), 0, 255));
    }
    return bytes;
}

// Records every progress value, and the threads it was called on, and answers false at call
// number stopAt (1-based; 0 never stops).
class RecordingSink : public CRSProgress {
public:
    explicit RecordingSink(size_t stopAt = 0) : CRSProgress(nullptr), stopAt_(stopAt) {}
    bool OnProgress(int32_t percent) override {
        values.push_back(percent);
        if (std::this_thread::get_id() != owner_) foreignCalls++;
        return values.size() != stopAt_;
    }
    std::vector<int32_t> values;
    int foreignCalls = 0;

private:
    size_t stopAt_;
    std::thread::id owner_ = std::this_thread::get_id();
};

// Where the passes of a recorded run begin: each pass counts up from a small value, so a drop of
// the reported value starts the next one. Returns the 0-based index of each pass's first call.
inline std::vector<size_t> PassStarts(const std::vector<int32_t>& values) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < values.size(); ++i)
        if (i == 0 || values[i] < values[i - 1]) starts.push_back(i);
    return starts;
}

}  // namespace kv::test
