#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "base/CommandTarget.h"

namespace kv::ui {

// Receives the commands that worker threads post and runs them on the thread that owns this object
// (the user-interface thread), in the order they were posted. Progress notices are folded: while
// one waits to be handled, another adds nothing, because the handler reads the newest percentage
// anyway. Notices still queued when this object goes are dropped.
//
// The posted numbers pass through a queue under our own lock, and the event that wakes the
// user-interface thread carries nothing: every hand-over between the threads is one the thread
// checker can see.
class GuiCommandTarget final : public QObject, public ICommandTarget {
    Q_OBJECT
public:
    explicit GuiCommandTarget(QObject* parent = nullptr) : QObject(parent) {}

    // Set on the user-interface thread before any worker can post.
    void SetHandler(std::function<void(int)> handler) { handler_ = std::move(handler); }

    void PostCommand(int id) override;

private:
    Q_INVOKABLE void Drain();

    std::function<void(int)> handler_;
    std::mutex mutex_;
    std::vector<int> queued_;
    bool wakeQueued_ = false;
    bool progressQueued_ = false;
};

// The resize's overall progress, 0 to 100, which ID_RESIZE_PROGRESS says has moved.
int32_t ResizeProgressPercent();

}  // namespace kv::ui
