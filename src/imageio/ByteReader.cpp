#include "imageio/ByteReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>

namespace kv {

size_t MemoryReader::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    if (offset >= bytes_->size()) return 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(size, bytes_->size() - offset));
    if (n == 0) return 0;  // an empty read may come with no buffer at all
    std::memcpy(buffer, bytes_->data() + offset, n);
    return n;
}

std::unique_ptr<FileReader> FileReader::Open(const std::filesystem::path& path) {
    // Not blocking: opening a named pipe would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = err;
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::unique_ptr<FileReader>(new FileReader(fd, static_cast<uint64_t>(st.st_size)));
}

FileReader::~FileReader() { ::close(fd_); }

size_t FileReader::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < size) {
        const ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

}  // namespace kv
