#include "browser/FileWriteProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <optional>
#include <thread>

namespace kv {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

int64_t Nanoseconds(const timespec& t) { return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; }

// Asks the kernel whether anyone holds the file open for writing. Nothing when leases are not
// permitted here.
std::optional<bool> OpenForWritingElsewhere(int fd) {
    // A lease holder is told with a signal when someone opens the file for writing, and SIGIO, the
    // default, ends the process. SIGURG is ignored unless somebody asks for it.
    (void)::fcntl(fd, F_SETSIG, SIGURG);
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        (void)::fcntl(fd, F_SETLEASE, F_UNLCK);
        return false;
    }
    if (errno == EAGAIN) return true;
    return std::nullopt;  // EACCES or EPERM for another user's file, EINVAL where leases do not exist
}

// Without leases: a file whose modification time lies further back than the settle time has not
// changed within it; a newer one is watched for that long.
bool ChangesWithin(int fd, const struct stat& first, std::chrono::milliseconds settle) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const int64_t settleNs = static_cast<int64_t>(settle.count()) * 1'000'000;
    if (Nanoseconds(now) - Nanoseconds(first.st_mtim) >= settleNs) return false;
    std::this_thread::sleep_for(settle);
    struct stat second{};
    if (::fstat(fd, &second) != 0) return true;
    return second.st_size != first.st_size || Nanoseconds(second.st_mtim) != Nanoseconds(first.st_mtim);
}

}  // namespace

FileAccess ProbeFileAccess(const std::filesystem::path& path, const FileWriteProbeOptions& options) {
    // O_NONBLOCK: a FIFO opens at once, and a file under another process's write lease fails with
    // EWOULDBLOCK instead of waiting for the lease to break.
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) return errno == EWOULDBLOCK ? FileAccess::BeingWritten : FileAccess::Unreadable;
    struct stat status{};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return FileAccess::Unreadable;
    if (options.useLeases) {
        if (const auto writing = OpenForWritingElsewhere(fd.get()))
            return *writing ? FileAccess::BeingWritten : FileAccess::Free;
    }
    return ChangesWithin(fd.get(), status, options.settleTime) ? FileAccess::BeingWritten : FileAccess::Free;
}

}  // namespace kv
