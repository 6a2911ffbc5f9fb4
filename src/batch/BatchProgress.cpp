#include "batch/BatchProgress.h"

namespace kv {

bool CBatchProgress::OnProgress(int32_t percent) {
    if (CancelRequested.load(std::memory_order_relaxed)) return false;
    const int32_t previous = last_;
    if (percent < previous) ++finishedPasses_;
    last_ = percent;
    if (percent == previous) return true;
    const int32_t passes = stages() > 0 ? stages() : 1;
    position_.store(100 / passes * finishedPasses_ + percent / passes, std::memory_order_relaxed);
    if (moved_) moved_();
    return true;
}

void CBatchProgress::Reset() {
    finishedPasses_ = 0;
    last_ = 0;
    position_.store(0, std::memory_order_relaxed);
}

}  // namespace kv
