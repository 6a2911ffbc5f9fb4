#pragma once

#include <filesystem>

#include "base/AtomicFile.h"

namespace kv {

// Whether a result could be written to a path, asked without creating anything there: the folder
// must let us create and rename files, and a file already at the path must be one we may write.
// The failure carries the system's error number.
IoResult CheckOutputWritable(const std::filesystem::path& path);

}  // namespace kv
