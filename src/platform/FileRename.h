#pragma once

#include <filesystem>

#include "base/AtomicFile.h"

namespace kv {

// Renames a file or folder without ever replacing another: when the new name is taken the result
// is EEXIST and both stay as they were. On file systems without a no-replace rename a hard link
// claims the new name first (a folder cannot be linked, so there the result is that error).
IoResult RenameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace kv
