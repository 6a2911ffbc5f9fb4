#include "ui/bridge/GuiCommandTarget.h"

#include <QMetaObject>

#include "engine/Progress.h"

namespace kv::ui {

void GuiCommandTarget::PostCommand(int id) {
    {
        std::lock_guard lock(mutex_);
        if (id == CommandId::ID_RESIZE_PROGRESS) {
            if (progressQueued_) return;
            progressQueued_ = true;
        }
        queued_.push_back(id);
        if (wakeQueued_) return;
        wakeQueued_ = true;
    }
    QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
}

int32_t ResizeProgressPercent() { return OverallPercent.load(); }

void GuiCommandTarget::Drain() {
    std::vector<int> ids;
    {
        std::lock_guard lock(mutex_);
        ids.swap(queued_);
        wakeQueued_ = false;
        progressQueued_ = false;
    }
    for (int id : ids)
        if (handler_) handler_(id);
}

}  // namespace kv::ui
