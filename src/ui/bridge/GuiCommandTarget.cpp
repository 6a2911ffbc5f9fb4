#include "ui/bridge/GuiCommandTarget.h"

#include <QMetaObject>

namespace kv::ui {

void GuiCommandTarget::PostCommand(int id) {
    const bool progress = id == CommandId::ID_RESIZE_PROGRESS;
    if (progress && progressQueued_.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this, id, progress] {
            if (progress) progressQueued_.store(false);
            if (handler_) handler_(id);
        },
        Qt::QueuedConnection);
}

}  // namespace kv::ui
