#pragma once

#include <QObject>
#include <atomic>
#include <functional>

#include "base/CommandTarget.h"

namespace kv::ui {

// Receives the commands that worker threads post and runs them on the thread that owns this object
// (the user-interface thread), in the order they were posted. Progress notices are folded: while
// one waits to be handled, another adds nothing, because the handler reads the newest percentage
// anyway. Notices still queued when this object goes are dropped.
class GuiCommandTarget final : public QObject, public ICommandTarget {
public:
    explicit GuiCommandTarget(QObject* parent = nullptr) : QObject(parent) {}

    // Set on the user-interface thread before any worker can post.
    void SetHandler(std::function<void(int)> handler) { handler_ = std::move(handler); }

    void PostCommand(int id) override;

private:
    std::function<void(int)> handler_;
    std::atomic<bool> progressQueued_{false};
};

}  // namespace kv::ui
