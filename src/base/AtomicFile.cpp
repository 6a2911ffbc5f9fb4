#include "base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <random>

namespace kv {

namespace {

std::string Describe(const char* what, const std::filesystem::path& path, int err) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(err);
}

std::string RandomSuffix() {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string s(8, '0');
    for (char& c : s) c = digits[rng() % 36];
    return s;
}

int SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int rc = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return rc;
}

}  // namespace

AtomicFile::~AtomicFile() { Abort(); }

IoResult AtomicFile::Open(const std::filesystem::path& destination) {
    Abort();
    destination_ = destination;
    failure_ = {};
    const std::filesystem::path folder = destination.parent_path();
    mode_t mode = 0666;
    struct stat existing{};
    const bool replacing = ::stat(destination.c_str(), &existing) == 0;
    if (replacing) {
        if (S_ISDIR(existing.st_mode)) return IoResult::Failure(EISDIR, Describe("Cannot write", destination, EISDIR));
        mode = existing.st_mode & 07777;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path temp = folder / ("." + destination.filename().string() + "." + RandomSuffix() + ".tmp");
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : mode);
        if (fd >= 0) {
            // A replaced file keeps its permissions; a new one gets the umask's, which open applied.
            if (replacing) ::fchmod(fd, mode);
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
        const ssize_t n = ::write(fd_, p, size);
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

IoResult AtomicFile::Commit() {
    if (fd_ < 0) return IoResult::Failure(EBADF, "No file is open for writing");
    IoResult result = failure_;
    if (result.ok() && ::fsync(fd_) != 0) result = IoResult::Failure(errno, Describe("Cannot write", destination_, errno));
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && result.ok()) result = IoResult::Failure(errno, Describe("Cannot write", destination_, errno));
    if (result.ok() && ::rename(temp_.c_str(), destination_.c_str()) != 0)
        result = IoResult::Failure(errno, Describe("Cannot replace", destination_, errno));
    if (!result.ok()) {
        ::unlink(temp_.c_str());
        temp_.clear();
        return result;
    }
    temp_.clear();
    if (const int err = SyncFolder(destination_.parent_path()); err != 0)
        return IoResult::Failure(err, Describe("Cannot sync the folder of", destination_, err));
    return result;
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
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return IoResult::Failure(errno, Describe("Cannot open", path, errno));
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : (errno ? errno : EINVAL);
        ::close(fd);
        return IoResult::Failure(err, Describe("Cannot read", path, err));
    }
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
