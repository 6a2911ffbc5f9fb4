#pragma once

#include <span>

namespace kv {

// Something WaitAny can wait on: an auto-reset event (consumed by the wait that reports it) or any
// readable file descriptor (left for its owner to read), such as an inotify descriptor.
struct WaitSource {
    int fd = -1;
    bool consume = false;
};

inline constexpr int kWaitTimeout = -1;
inline constexpr int kWaitInfinite = -1;

// An event that stays signalled until one wait sees it, then resets itself. Setting a signalled
// event again changes nothing. Built on an eventfd so that it can be polled beside other
// descriptors.
class AutoResetEvent {
public:
    explicit AutoResetEvent(bool initiallySet = false);
    ~AutoResetEvent();
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    void Set();
    void Reset();
    // True when the event was signalled within timeoutMs (kWaitInfinite waits forever).
    bool Wait(int timeoutMs);

    WaitSource Source() const { return {fd_, true}; }

private:
    int fd_;
};

inline WaitSource DescriptorSource(int fd) { return {fd, false}; }

// Waits until one of the sources is ready and returns its index (the lowest ready one), or
// kWaitTimeout when timeoutMs passed first. An auto-reset event that is reported is reset.
int WaitAny(std::span<const WaitSource> sources, int timeoutMs);

}  // namespace kv
