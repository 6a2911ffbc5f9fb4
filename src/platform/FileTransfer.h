#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "base/AtomicFile.h"
#include "base/AutoResetEvent.h"

namespace kv {

enum class TransferKind { Copy, Move };

// How far a transfer has come. Bytes count what has to be copied: a move within one file system
// renames and copies nothing.
struct TransferProgress {
    uint64_t totalBytes = 0;
    uint64_t doneBytes = 0;
    size_t totalItems = 0;
    size_t doneItems = 0;
    std::filesystem::path current;  // the item being transferred
};

class ITransferProgress {
public:
    // Called on the thread that runs the transfer before each item and while a large file is
    // copied. False stops the transfer: the file being copied is dropped, the items already done
    // stay where they went.
    virtual bool OnTransferProgress(const TransferProgress& progress) = 0;

protected:
    ~ITransferProgress() = default;
};

struct TransferredItem {
    std::filesystem::path source;
    std::filesystem::path target;  // where the item (or its copy) is now
};

struct TransferFailure {
    std::filesystem::path source;
    IoResult result;  // the message names the file and says why
};

struct TransferOutcome {
    std::vector<TransferredItem> done;
    std::vector<TransferFailure> failures;
    bool cancelled = false;

    bool ok() const { return failures.empty() && !cancelled; }
};

// The name an item takes in a folder where its own name may be taken: the name itself, then
// "stem (2).ext", "stem (3).ext", ... (folders keep dots in their names: "a.b (2)").
std::filesystem::path NumberedName(const std::filesystem::path& name, int number, bool isFolder);
// The first of those names that is free in the folder.
std::filesystem::path FreeNameIn(const std::filesystem::path& folder, const std::filesystem::path& name, bool isFolder);

// Whether two existing paths lie on one file system (a move between them is a rename).
bool OnSameFileSystem(const std::filesystem::path& a, const std::filesystem::path& b);

// Copies or moves files and folders into a folder, never replacing anything there: an item whose
// name is taken gets the first free numbered name. Every item is done whole or not at all: a copy
// is written beside its final name and named only once complete and on the disk, a move to another
// file system removes the original only after its copy is complete, and a failure or a stop drops
// what was begun for that item. Each item that cannot be done is reported and the others go on.
// Moving an item into the folder it is in changes nothing.
TransferOutcome TransferFiles(TransferKind kind, const std::vector<std::filesystem::path>& sources,
                              const std::filesystem::path& targetFolder, ITransferProgress* progress = nullptr);

// A transfer on a thread of its own, for a window that shows its progress and may stop it.
class FileTransferJob final : private ITransferProgress {
public:
    FileTransferJob(TransferKind kind, std::vector<std::filesystem::path> sources, std::filesystem::path targetFolder);
    // Stops the transfer and waits for its thread.
    ~FileTransferJob();
    FileTransferJob(const FileTransferJob&) = delete;
    FileTransferJob& operator=(const FileTransferJob&) = delete;

    void Start();
    void Cancel() { cancel_.store(true); }
    // True once the transfer ended within timeoutMs.
    bool WaitFinished(int timeoutMs);
    bool finished() const { return finished_.load(); }
    TransferProgress progress() const;
    // Valid once finished.
    const TransferOutcome& outcome() const { return outcome_; }

private:
    bool OnTransferProgress(const TransferProgress& progress) override;

    const TransferKind kind_;
    const std::vector<std::filesystem::path> sources_;
    const std::filesystem::path target_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> finished_{false};
    AutoResetEvent done_;
    mutable std::mutex lock_;  // guards progress_
    TransferProgress progress_;
    TransferOutcome outcome_;
    std::thread thread_;
};

}  // namespace kv
