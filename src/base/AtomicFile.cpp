#include "base/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>
#include <set>

namespace kv {

namespace {

constexpr std::string_view kTempPrefix = ".kvsc-";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr size_t kTempLetters = 10;

std::atomic<bool> g_interrupted{false};
std::atomic<bool> g_allowUnnamed{true};

std::string Describe(const char* what, const std::filesystem::path& path, int err) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(err);
}

std::string TemporaryName() {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string name(kTempPrefix);
    for (size_t i = 0; i < kTempLetters; ++i) name += digits[rng() % 36];
    name += kTempSuffix;
    return name;
}

std::filesystem::path FolderOf(const std::filesystem::path& destination) {
    const std::filesystem::path folder = destination.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

int SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int rc = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return rc;
}

// Each folder is cleaned once per process: a batch writing thousands of files into one folder
// reads it once.
void SweepOnce(const std::filesystem::path& folder) {
    static std::mutex mutex;
    static std::set<std::string> swept;
    std::error_code error;
    const std::string key = std::filesystem::weakly_canonical(folder, error).string();
    {
        std::lock_guard lock(mutex);
        if (!swept.insert(error ? folder.string() : key).second) return;
    }
    RemoveStaleTemporaries(folder);
}

// The unnamed file behind a descriptor, as a path linkat can follow.
std::string DescriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Gives the unnamed file a name; EEXIST when the name is taken.
int LinkUnnamed(int fd, const std::filesystem::path& name) {
    if (::linkat(AT_FDCWD, DescriptorPath(fd).c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    return errno;
}

}  // namespace

void AtomicFile::AllowUnnamedTemporaries(bool allow) { g_allowUnnamed.store(allow); }

void InterruptWrites() { g_interrupted.store(true); }
bool WritesInterrupted() { return g_interrupted.load(); }

bool IsTemporaryName(std::string_view name) {
    if (name.size() != kTempPrefix.size() + kTempLetters + kTempSuffix.size()) return false;
    if (name.substr(0, kTempPrefix.size()) != kTempPrefix || name.substr(name.size() - kTempSuffix.size()) != kTempSuffix)
        return false;
    return std::all_of(name.begin() + static_cast<ptrdiff_t>(kTempPrefix.size()),
                       name.end() - static_cast<ptrdiff_t>(kTempSuffix.size()),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

size_t RemoveStaleTemporaries(const std::filesystem::path& folder, int64_t maxAgeSeconds) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    size_t removed = 0;
    const time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTemporaryName(entry->d_name)) continue;
        const std::filesystem::path path = folder / entry->d_name;
        struct stat named{};
        if (::lstat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode) || named.st_uid != ::geteuid()) continue;
        if (now - named.st_mtime <= maxAgeSeconds) continue;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        // A writer holds its lock as long as it lives; a free lock on an old file means its writer
        // is gone. The name must still be that file when it goes.
        struct stat opened{};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 && opened.st_ino == named.st_ino &&
            opened.st_dev == named.st_dev && ::unlink(path.c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

AtomicFile::~AtomicFile() { Abort(); }

IoResult AtomicFile::Open(const std::filesystem::path& destination) {
    Abort();
    destination_ = destination;
    failure_ = {};
    synced_ = false;
    const std::filesystem::path folder = FolderOf(destination);
    mode_t mode = 0666;
    struct stat existing{};
    const bool replacing = ::stat(destination.c_str(), &existing) == 0;
    if (replacing) {
        if (S_ISDIR(existing.st_mode)) return IoResult::Failure(EISDIR, Describe("Cannot write", destination, EISDIR));
        mode = existing.st_mode & 07777;
    }
    SweepOnce(folder);

    if (g_allowUnnamed.load()) {
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, replacing ? 0600 : mode);
        if (fd >= 0) {
            if (replacing) ::fchmod(fd, mode);
            ::flock(fd, LOCK_EX | LOCK_NB);
            fd_ = fd;
            return IoResult::Success();
        }
        // Only a file system without unnamed files makes us fall back to a named one.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return IoResult::Failure(errno, Describe("Cannot create a file in", folder, errno));
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path temp = folder / TemporaryName();
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, replacing ? 0600 : mode);
        if (fd >= 0) {
            // A replaced file keeps its permissions; a new one gets the umask's, which open applied.
            if (replacing) ::fchmod(fd, mode);
            ::flock(fd, LOCK_EX | LOCK_NB);
            fd_ = fd;
            temp_ = std::move(temp);
            return IoResult::Success();
        }
        if (errno != EEXIST) return IoResult::Failure(errno, Describe("Cannot create a file in", folder, errno));
    }
    return IoResult::Failure(EEXIST, Describe("Cannot create a temporary file for", destination, EEXIST));
}

IoResult AtomicFile::Write(const void* data, size_t size) {
    if (fd_ < 0) return IoResult::Failure(EBADF, "No file is open for writing");
    if (!failure_.ok()) return failure_;
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        if (WritesInterrupted()) {
            failure_ = IoResult::Failure(ECANCELED, Describe("Stopped writing", destination_, ECANCELED));
            return failure_;
        }
        // Large blocks go in pieces, so that an interrupt is noticed while they are written.
        const ssize_t n = ::write(fd_, p, std::min<size_t>(size, size_t{8} << 20));
        if (n < 0) {
            if (errno == EINTR) continue;
            failure_ = IoResult::Failure(errno, Describe("Cannot write", destination_, errno));
            return failure_;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return IoResult::Success();
}

// Ready to be named: everything written and on the disk, and no interrupt pending.
IoResult AtomicFile::Finish() {
    if (fd_ < 0) return IoResult::Failure(EBADF, "No file is open for writing");
    if (!failure_.ok()) return failure_;
    if (WritesInterrupted()) return IoResult::Failure(ECANCELED, Describe("Stopped writing", destination_, ECANCELED));
    if (!synced_) {
        if (::fsync(fd_) != 0) return IoResult::Failure(errno, Describe("Cannot write", destination_, errno));
        synced_ = true;
    }
    return IoResult::Success();
}

IoResult AtomicFile::Fail(IoResult result) {
    Abort();
    return result;
}

IoResult AtomicFile::Commit() {
    if (IoResult ready = Finish(); !ready.ok()) return Fail(ready);
    const std::filesystem::path folder = FolderOf(destination_);
    if (temp_.empty()) {
        // An unnamed file is named straight as the destination when that is free, else under a
        // temporary name that then replaces the destination.
        const int linked = LinkUnnamed(fd_, destination_);
        if (linked != 0 && linked != EEXIST) return Fail(IoResult::Failure(linked, Describe("Cannot replace", destination_, linked)));
        if (linked == EEXIST) {
            for (int attempt = 0; attempt < 100 && temp_.empty(); ++attempt) {
                std::filesystem::path temp = folder / TemporaryName();
                const int err = LinkUnnamed(fd_, temp);
                if (err == 0) temp_ = std::move(temp);
                else if (err != EEXIST) return Fail(IoResult::Failure(err, Describe("Cannot replace", destination_, err)));
            }
            if (temp_.empty()) return Fail(IoResult::Failure(EEXIST, Describe("Cannot replace", destination_, EEXIST)));
        }
    }
    const int fd = fd_;
    fd_ = -1;
    IoResult result;
    if (::close(fd) != 0) result = IoResult::Failure(errno, Describe("Cannot write", destination_, errno));
    if (result.ok() && !temp_.empty() && ::rename(temp_.c_str(), destination_.c_str()) != 0)
        result = IoResult::Failure(errno, Describe("Cannot replace", destination_, errno));
    if (!result.ok()) {
        Abort();
        return result;
    }
    temp_.clear();
    if (const int err = SyncFolder(folder); err != 0)
        return IoResult::Failure(err, Describe("Cannot sync the folder of", destination_, err));
    return result;
}

IoResult AtomicFile::CommitNew(const std::filesystem::path& destination) {
    if (IoResult ready = Finish(); !ready.ok()) return Fail(ready);
    if (FolderOf(destination) != FolderOf(destination_))
        return Fail(IoResult::Failure(EXDEV, Describe("Cannot write", destination, EXDEV)));
    int err = 0;
    if (temp_.empty()) {
        err = LinkUnnamed(fd_, destination);
    } else if (::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0) {
        temp_.clear();
    } else {
        err = errno;
        // A file system without the no-replace rename: a second link fails just the same when the
        // name is taken.
        if (err == EINVAL || err == ENOSYS) {
            err = ::link(temp_.c_str(), destination.c_str()) == 0 ? 0 : errno;
            if (err == 0) {
                ::unlink(temp_.c_str());
                temp_.clear();
            }
        }
    }
    if (err == EEXIST) return IoResult::Failure(EEXIST, Describe("Cannot write", destination, EEXIST));
    if (err != 0) return Fail(IoResult::Failure(err, Describe("Cannot write", destination, err)));
    destination_ = destination;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return IoResult::Failure(errno, Describe("Cannot write", destination, errno));
    if (const int synced = SyncFolder(FolderOf(destination)); synced != 0)
        return IoResult::Failure(synced, Describe("Cannot sync the folder of", destination, synced));
    return IoResult::Success();
}

void AtomicFile::Abort() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

IoResult WriteFileAtomically(const std::filesystem::path& destination, std::span<const uint8_t> bytes) {
    AtomicFile file;
    if (IoResult r = file.Open(destination); !r.ok()) return r;
    if (IoResult r = file.Write(bytes.data(), bytes.size()); !r.ok()) return r;
    return file.Commit();
}

IoResult ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes, uint64_t maxBytes) {
    bytes.clear();
    // Not blocking: opening a named pipe would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return IoResult::Failure(errno, Describe("Cannot open", path, errno));
    struct stat st{};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return IoResult::Failure(err, Describe("Cannot read", path, err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        if (S_ISDIR(st.st_mode)) return IoResult::Failure(EISDIR, Describe("Cannot read", path, EISDIR));
        return IoResult::Failure(EINVAL, "Cannot read " + path.string() + ": it is not a regular file");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return IoResult::Failure(EFBIG, Describe("Cannot read", path, EFBIG));
    }
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    // The file may shrink or grow while it is read: stop at its end, whatever the size said.
    for (;;) {
        if (done == bytes.size()) {
            if (bytes.size() >= maxBytes) {
                uint8_t probe;
                if (::read(fd, &probe, 1) > 0) {
                    ::close(fd);
                    bytes.clear();
                    return IoResult::Failure(EFBIG, Describe("Cannot read", path, EFBIG));
                }
                break;
            }
            bytes.resize(std::min<uint64_t>(maxBytes, bytes.size() + 65536));
        }
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            bytes.clear();
            return IoResult::Failure(err, Describe("Cannot read", path, err));
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    bytes.resize(done);
    return IoResult::Success();
}

}  // namespace kv
