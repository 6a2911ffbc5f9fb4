#pragma once

#include <cstdint>

#include "engine/Progress.h"

namespace kv {

// Where a batch run shows the progress of an own algorithm: the progress dialog's bar.
class IBatchProgressBar {
public:
    // Called on the worker thread; the window sets its bar before returning. The bar's range is
    // 0 to 90, so positions above 90 show it full.
    virtual void SetProgressPosition(int32_t position) = 0;

protected:
    ~IBatchProgressBar() = default;
};

inline constexpr int32_t kBatchProgressRange = 90;

// The progress sink of a batch run. It counts the passes an algorithm has finished (a value below
// the last one starts the next) and shows 100 / passes x finished + value / passes. It asks the
// routine to stop once the process-wide cancel flag is set.
class CBatchProgress final : public CRSProgress {
public:
    explicit CBatchProgress(IBatchProgressBar& bar) : CRSProgress(nullptr), bar_(bar) {}

    bool OnProgress(int32_t percent) override;
    // Before each report of the worker: no pass finished, no value yet.
    void Reset() {
        finishedPasses_ = 0;
        last_ = 0;
    }

    int32_t finishedPasses() const { return finishedPasses_; }
    int32_t lastValue() const { return last_; }

private:
    IBatchProgressBar& bar_;
    int32_t finishedPasses_ = 0;
    int32_t last_ = 0;
};

}  // namespace kv
