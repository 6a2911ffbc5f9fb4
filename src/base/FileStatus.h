#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>

struct stat;

namespace kv {

struct FileStatus {
    uint64_t size = 0;
    timespec created{};  // status change time: Linux file systems keep no portable creation time
    timespec modified{};
    timespec accessed{};
    bool isDirectory = false;
    uint64_t device = 0;
    uint64_t inode = 0;
};

// The status of a path (symbolic links followed), or nothing when it does not exist or cannot be
// read.
std::optional<FileStatus> GetFileStatus(const std::filesystem::path& path);

// The status a stat call answered.
FileStatus FileStatusOf(const struct stat& st);

inline bool FileExists(const std::filesystem::path& path) { return GetFileStatus(path).has_value(); }

// True when both paths name the same file (same device and inode).
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace kv
