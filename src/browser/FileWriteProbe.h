#pragma once

#include <chrono>
#include <filesystem>

namespace kv {

// How the builders tell that another program is still writing a file.
struct FileWriteProbeOptions {
    // A read lease cannot be taken on a file that any process holds open for writing. Without
    // leases (not the file's owner, or a file system that has none) the file's size and
    // modification time are watched over settleTime instead.
    bool useLeases = true;
    std::chrono::milliseconds settleTime{100};
};

enum class FileAccess {
    Free,          // readable, and nobody is writing it
    BeingWritten,  // open for writing elsewhere, or changed within the settle time
    Unreadable,    // cannot be opened for reading, or is not a regular file
};

// Opens the file for reading and closes it again. Never blocks on another process's lease, and
// never reads from a FIFO or a device that merely carries an image's name.
FileAccess ProbeFileAccess(const std::filesystem::path& path, const FileWriteProbeOptions& options = {});

}  // namespace kv
