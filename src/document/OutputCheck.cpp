#include "document/OutputCheck.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kv {

namespace {

IoResult Failure(const std::filesystem::path& path, int err) {
    return IoResult::Failure(err, path.string() + ": " + std::strerror(err));
}

}  // namespace

IoResult CheckOutputWritable(const std::filesystem::path& path) {
    struct stat existing{};
    if (::stat(path.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) return Failure(path, EISDIR);
        // A file the user protected stays protected, even though the folder would let us put a
        // new file in its place.
        if (::access(path.c_str(), W_OK) != 0) return Failure(path, errno);
    } else if (errno != ENOENT) {
        return Failure(path, errno);
    }
    // The result is written beside its destination and renamed over it.
    const std::filesystem::path folder = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return Failure(folder, errno);
    return IoResult::Success();
}

}  // namespace kv
