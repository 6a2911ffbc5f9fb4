#include "engine/Progress.h"

namespace kv {

std::atomic<uint8_t> CancelRequested{0};
std::atomic<int32_t> BatchRunsActive{0};
std::atomic<int32_t> OverallPercent{0};
std::atomic<uint8_t> OutOfMemoryFlag{0};

namespace {
std::atomic<ICommandTarget*> g_mainFrame{nullptr};
}

void SetMainFrameTarget(ICommandTarget* target) { g_mainFrame.store(target); }
ICommandTarget* MainFrameTarget() { return g_mainFrame.load(); }

CRSProgress::CRSProgress() : CRSProgress(MainFrameTarget()) {}

CRSProgress::CRSProgress(ICommandTarget* target) : target_(target) {
    PostCommandTo(target_, CommandId::ID_RESIZE_STARTED);
}

CRSProgress::~CRSProgress() { PostCommandTo(target_, CommandId::ID_RESIZE_DONE); }

bool CRSProgress::Advance(int32_t percent) {
    if (percent < lastPercent_) ++currentStage_;
    const bool changed = percent != lastPercent_;
    lastPercent_ = percent;
    return changed;
}

int32_t CRSProgress::OverallOf(int32_t percent) const {
    const int32_t stages = stages_ > 0 ? stages_ : 1;
    return (100 / stages) * currentStage_ + percent / stages;
}

bool CRSProgress::OnProgress(int32_t percent) {
    if (CancelRequested.load(std::memory_order_relaxed)) return false;
    if (!Advance(percent)) return true;
    OverallPercent.store(OverallOf(percent), std::memory_order_relaxed);
    PostCommandTo(target_, CommandId::ID_RESIZE_PROGRESS);
    return true;
}

}  // namespace kv
