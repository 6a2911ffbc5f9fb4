#pragma once

#include <mutex>

namespace kv {

// The one listener that a worker thread calls, which its owner may replace or take away at any
// moment. A call runs under the slot's lock, so once Set returns no call into the old listener is
// running or can start: the owner may destroy it. Calls made while the slot is empty go nowhere.
// The lock is recursive, so a listener may empty the slot from inside its own call.
template <class Listener>
class ListenerSlot {
public:
    explicit ListenerSlot(Listener* listener = nullptr) : listener_(listener) {}
    ListenerSlot(const ListenerSlot&) = delete;
    ListenerSlot& operator=(const ListenerSlot&) = delete;

    void Set(Listener* listener) {
        std::lock_guard guard(mutex_);
        listener_ = listener;
    }

    // Runs call(listener) when there is a listener; false when there is none.
    template <class Call>
    bool Notify(Call&& call) {
        std::lock_guard guard(mutex_);
        if (!listener_) return false;
        call(*listener_);
        return true;
    }

private:
    std::recursive_mutex mutex_;
    Listener* listener_;
};

}  // namespace kv
