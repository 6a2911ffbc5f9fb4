#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "engine/Progress.h"

namespace kv {

// The progress dialog's bar runs from 0 to 90, so positions above 90 show it full.
inline constexpr int32_t kBatchProgressRange = 90;

// The progress sink of a batch run. It counts the passes an algorithm has finished (a value below
// the last one starts the next) and keeps 100 / passes x finished + value / passes as the position
// that the dialog's bar shows. The position is a value the dialog reads whenever it likes; the
// sink only tells it, through a posted notice, that the value moved. Nothing here waits for the
// dialog's thread. It asks the routine to stop once the process-wide cancel flag is set.
class CBatchProgress final : public CRSProgress {
public:
    // moved is called on the resizing thread after the position changed; it must not block.
    explicit CBatchProgress(std::function<void()> moved = {}) : CRSProgress(nullptr), moved_(std::move(moved)) {}

    bool OnProgress(int32_t percent) override;
    // Before each report of the worker: the bar back at 0, no pass finished, no value yet.
    void Reset();

    // The bar's position, from any thread.
    int32_t position() const { return position_.load(std::memory_order_relaxed); }
    int32_t finishedPasses() const { return finishedPasses_; }
    int32_t lastValue() const { return last_; }

private:
    std::function<void()> moved_;
    std::atomic<int32_t> position_{0};
    int32_t finishedPasses_ = 0;
    int32_t last_ = 0;
};

}  // namespace kv
