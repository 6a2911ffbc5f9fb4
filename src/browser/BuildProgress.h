#pragma once

#include <atomic>

namespace kv {

// What a thumbnail build is handed to report on and ask whether it may go on.
class CProgress {
public:
    virtual ~CProgress() = default;
    virtual void Start() = 0;
    virtual void Step() = 0;
    // True while the work may go on.
    virtual bool Continue() = 0;
};

// The builder threads' progress: the work may go on while the stage that runs the build has not
// been cancelled.
class CThumbsBrowserThreadsProgress final : public CProgress {
public:
    explicit CThumbsBrowserThreadsProgress(const std::atomic<bool>& cancel) : cancel_(cancel) {}
    void Start() override {}
    void Step() override {}
    bool Continue() override { return !cancel_.load(std::memory_order_relaxed); }

private:
    const std::atomic<bool>& cancel_;
};

// The browser's own progress for builds it runs itself: each start clears its stop flag.
class CThumbsBrowserProgress final : public CProgress {
public:
    void Start() override { stop_.store(false, std::memory_order_relaxed); }
    void Step() override {}
    bool Continue() override { return !stop_.load(std::memory_order_relaxed); }
    void Stop() { stop_.store(true, std::memory_order_relaxed); }

private:
    std::atomic<bool> stop_{false};
};

}  // namespace kv
