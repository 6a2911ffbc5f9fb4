#include "base/FileStatus.h"

#include <sys/stat.h>

namespace kv {

std::optional<FileStatus> GetFileStatus(const std::filesystem::path& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileStatusOf(st);
}

FileStatus FileStatusOf(const struct stat& st) {
    FileStatus status;
    status.size = static_cast<uint64_t>(st.st_size);
    status.created = st.st_ctim;
    status.modified = st.st_mtim;
    status.accessed = st.st_atim;
    status.isDirectory = S_ISDIR(st.st_mode);
    status.device = st.st_dev;
    status.inode = st.st_ino;
    return status;
}

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    const auto sa = GetFileStatus(a);
    const auto sb = GetFileStatus(b);
    return sa && sb && sa->device == sb->device && sa->inode == sb->inode;
}

}  // namespace kv
