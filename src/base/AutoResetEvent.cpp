#include "base/AutoResetEvent.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace kv {

AutoResetEvent::AutoResetEvent(bool initiallySet) : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
    if (initiallySet) Set();
}

AutoResetEvent::~AutoResetEvent() { ::close(fd_); }

void AutoResetEvent::Set() {
    const uint64_t one = 1;
    // EAGAIN means the counter is saturated, which is still "signalled".
    while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void AutoResetEvent::Reset() {
    uint64_t value;
    while (::read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool AutoResetEvent::Wait(int timeoutMs) {
    const WaitSource source = Source();
    return WaitAny({&source, 1}, timeoutMs) == 0;
}

namespace {

// Takes the signal of an event; false when another waiter took it first.
bool Consume(int fd) {
    uint64_t value;
    for (;;) {
        if (::read(fd, &value, sizeof value) == sizeof value) return true;
        if (errno != EINTR) return false;
    }
}

}  // namespace

int WaitAny(std::span<const WaitSource> sources, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    std::vector<pollfd> fds(sources.size());
    for (;;) {
        for (size_t i = 0; i < sources.size(); ++i) fds[i] = {sources[i].fd, POLLIN, 0};
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
        const int n = ::poll(fds.data(), fds.size(), wait);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        for (size_t i = 0; i < sources.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLERR | POLLHUP))) continue;
            if (!sources[i].consume || Consume(sources[i].fd)) return static_cast<int>(i);
        }
        if (n == 0 || (timeoutMs >= 0 && Clock::now() >= deadline)) return kWaitTimeout;
    }
}

}  // namespace kv
