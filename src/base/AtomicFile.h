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
// every moment: the bytes go to a temporary file in the destination folder, which is synced and
// put in place only on Commit. A writer destroyed without a successful Commit removes its
// temporary and leaves the destination untouched. A replaced file keeps its permission bits.
//
// The temporary has no name at all where the file system allows (O_TMPFILE): a process killed
// while it writes leaves nothing behind, and a destination name of any length can be written.
// Elsewhere it gets a short hidden name of its own, ".kvsc-" and ten letters or digits and ".tmp",
// locked while it is written; opening a writer in a folder removes such files there that are older
// than a minute and not locked, which is what a killed writer leaves.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    IoResult Open(const std::filesystem::path& destination);
    IoResult Write(const void* data, size_t size);
    // Puts the file in place of the destination, replacing what is there.
    IoResult Commit();
    // Puts the file in place under a name that must not exist yet, in the destination's folder: the
    // check and the naming are one step, so no other writer can slip in between. When the name is
    // taken the result is EEXIST and the file stays ready for another name.
    IoResult CommitNew(const std::filesystem::path& destination);
    // Drops the temporary file; the destination stays as it was.
    void Abort();

    bool isOpen() const { return fd_ >= 0; }
    // The temporary's name, empty when it has none.
    const std::filesystem::path& temporaryPath() const { return temp_; }

    // Whether new writers may use unnamed temporaries where the file system has them (on by
    // default; tests turn it off to see the named ones).
    static void AllowUnnamedTemporaries(bool allow);

private:
    IoResult Finish();
    IoResult Fail(IoResult result);

    int fd_ = -1;
    bool synced_ = false;
    std::filesystem::path destination_;
    std::filesystem::path temp_;
    IoResult failure_;  // the first write failure, reported again by Commit
};

// Writes bytes to a path through an AtomicFile.
IoResult WriteFileAtomically(const std::filesystem::path& destination, std::span<const uint8_t> bytes);

// Makes every writer fail from now on (ECANCELED) instead of putting a file in place: an interrupt
// asked the program to stop. Safe to call from a signal handler.
void InterruptWrites();
bool WritesInterrupted();

// Whether a name is one AtomicFile gives its named temporaries.
bool IsTemporaryName(std::string_view name);

// Removes the temporaries of killed writers in a folder: our names, regular files of this user,
// older than maxAgeSeconds and not locked. Returns how many went. Writers call it once a folder.
size_t RemoveStaleTemporaries(const std::filesystem::path& folder, int64_t maxAgeSeconds = 60);

// Reads a whole file into memory, refusing files larger than maxBytes and anything that is not a
// regular file (a named pipe is refused at once instead of waiting for a writer).
IoResult ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes,
                       uint64_t maxBytes = uint64_t{1} << 32);

}  // namespace kv
