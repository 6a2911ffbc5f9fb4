#include "platform/FileRename.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kv {

IoResult RenameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    int err = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
    if (err == EINVAL || err == ENOSYS || err == EOPNOTSUPP) {
        err = ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
        if (err == 0 && ::unlink(from.c_str()) != 0) {
            err = errno;
            ::unlink(to.c_str());
        }
    }
    if (err == 0) return IoResult::Success();
    return IoResult::Failure(err, "Cannot rename " + from.string() + " to " + to.filename().string() + ": " +
                                      std::strerror(err));
}

}  // namespace kv
