#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace kv {

// The outcome of a file operation: the error number and a message naming the file.
struct IoResult {
    int error = 0;
    std::string message;

    bool ok() const { return error == 0; }
    static IoResult Success() { return {}; }
    static IoResult Failure(int err, std::string text) { return {err ? err : 5 /* EIO */, std::move(text)}; }
};

// Writes a file so that its destination holds either its old bytes or the complete new file at
// every moment: the bytes go to a fresh temporary file in the destination folder, which is synced
// and renamed over the destination only on Commit. A writer destroyed without a successful Commit
// removes its temporary file and leaves the destination untouched. A replaced file keeps its
// permission bits.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    IoResult Open(const std::filesystem::path& destination);
    IoResult Write(const void* data, size_t size);
    IoResult Commit();
    // Drops the temporary file; the destination stays as it was.
    void Abort();

    bool isOpen() const { return fd_ >= 0; }
    const std::filesystem::path& temporaryPath() const { return temp_; }

private:
    int fd_ = -1;
    std::filesystem::path destination_;
    std::filesystem::path temp_;
    IoResult failure_;  // the first write failure, reported again by Commit
};

// Writes bytes to a path through an AtomicFile.
IoResult WriteFileAtomically(const std::filesystem::path& destination, std::span<const uint8_t> bytes);

// Reads a whole file into memory, refusing files larger than maxBytes.
IoResult ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes,
                       uint64_t maxBytes = uint64_t{1} << 32);

}  // namespace kv
