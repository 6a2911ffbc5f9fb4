#include "platform/FileTransfer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <system_error>

namespace kv {

namespace fs = std::filesystem;

namespace {

constexpr size_t kCopyBlock = size_t{1} << 20;
// Numbered names are tried this far before the folder counts as full.
constexpr int kMaxNumber = 100000;

std::string Describe(const char* what, const fs::path& path, int err) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(err);
}

IoResult Failure(const char* what, const fs::path& path, int err) { return IoResult::Failure(err, Describe(what, path, err)); }

bool Lstat(const fs::path& path, struct stat& st) { return ::lstat(path.c_str(), &st) == 0; }

// A path without "." and ".." parts and without a trailing slash, for comparing folders.
fs::path Normal(const fs::path& path) {
    fs::path normal = path.lexically_normal();
    if (normal.has_filename() || normal == normal.root_path()) return normal;
    return normal.parent_path();
}

bool IsInside(const fs::path& inner, const fs::path& outer) {
    const fs::path in = Normal(inner), out = Normal(outer);
    auto i = in.begin();
    for (auto o = out.begin(); o != out.end(); ++o, ++i)
        if (i == in.end() || *i != *o) return false;
    return true;
}

uint64_t TreeBytes(const fs::path& path) {
    struct stat st{};
    if (!Lstat(path, st)) return 0;
    if (S_ISREG(st.st_mode)) return static_cast<uint64_t>(st.st_size);
    if (!S_ISDIR(st.st_mode)) return 0;
    uint64_t total = 0;
    std::error_code ec;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) total += TreeBytes(it->path());
    return total;
}

void SetTimesAndMode(const fs::path& path, const struct stat& source) {
    ::chmod(path.c_str(), source.st_mode & 07777);
    const timespec times[2] = {source.st_atim, source.st_mtim};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// Removes what a failed or stopped copy of a folder had made.
void RemoveTree(const fs::path& path) {
    std::error_code ec;
    fs::remove_all(path, ec);
}

// One transfer: the running totals and the caller's sink.
class Transfer {
public:
    Transfer(TransferKind kind, const fs::path& target, ITransferProgress* sink) : kind_(kind), target_(target), sink_(sink) {}

    TransferOutcome Run(const std::vector<fs::path>& sources);

private:
    struct Item {
        fs::path source;
        struct stat st{};
        bool rename = false;  // a move within one file system
    };

    bool Report() {
        if (stopped_) return false;
        if (sink_ && !sink_->OnTransferProgress(progress_)) stopped_ = true;
        return !stopped_;
    }
    void Fail(const fs::path& source, IoResult result) { outcome_.failures.push_back({source, std::move(result)}); }

    // Each returns the new path, or a failure; a stop is a failure with ECANCELED.
    IoResult RenameInto(const Item& item, fs::path& placed);
    IoResult CopyInto(const fs::path& source, const struct stat& st, const fs::path& folder, bool numbered, fs::path& placed);
    IoResult CopyFile(const fs::path& source, const struct stat& st, const fs::path& folder, bool numbered, fs::path& placed);
    IoResult CopyFolder(const fs::path& source, const struct stat& st, const fs::path& folder, bool numbered, fs::path& placed);
    IoResult CopyLink(const fs::path& source, const fs::path& folder, bool numbered, fs::path& placed);
    IoResult RemoveOriginal(const Item& item);

    const TransferKind kind_;
    const fs::path target_;
    ITransferProgress* const sink_;
    TransferProgress progress_;
    TransferOutcome outcome_;
    bool stopped_ = false;
};

TransferOutcome Transfer::Run(const std::vector<fs::path>& sources) {
    const char* verb = kind_ == TransferKind::Copy ? "Cannot copy" : "Cannot move";
    struct stat folder{};
    int err = 0;
    if (::stat(target_.c_str(), &folder) != 0) err = errno;
    else if (!S_ISDIR(folder.st_mode)) err = ENOTDIR;
    if (err != 0) {
        for (const auto& source : sources) Fail(source, IoResult::Failure(err, Describe(verb, source, err) + " (" + target_.string() + ")"));
        return std::move(outcome_);
    }

    std::vector<Item> items;
    std::set<fs::path> seen;
    for (const auto& source : sources) {
        const fs::path normal = Normal(source);
        if (!seen.insert(normal).second) continue;
        Item item{normal};
        if (!Lstat(normal, item.st)) {
            Fail(source, Failure(verb, source, errno));
            continue;
        }
        if (S_ISDIR(item.st.st_mode) && IsInside(target_, normal)) {
            Fail(source, IoResult::Failure(EINVAL, std::string(verb) + " " + source.string() + " into itself"));
            continue;
        }
        if (kind_ == TransferKind::Move && Normal(normal.parent_path()) == Normal(target_)) {
            // Already there: nothing to move, nothing to rename.
            outcome_.done.push_back({normal, normal});
            continue;
        }
        item.rename = kind_ == TransferKind::Move && item.st.st_dev == folder.st_dev;
        if (!item.rename) progress_.totalBytes += TreeBytes(normal);
        items.push_back(std::move(item));
    }
    progress_.totalItems = items.size();

    for (Item& item : items) {
        progress_.current = item.source;
        if (!Report()) break;
        fs::path placed;
        IoResult result = item.rename ? RenameInto(item, placed) : IoResult::Failure(EXDEV, {});
        if (item.rename && result.error == EXDEV) {
            // One device, two mounts (a bind mount): the data has to be copied after all.
            item.rename = false;
            progress_.totalBytes += TreeBytes(item.source);
        }
        if (!item.rename) {
            result = CopyInto(item.source, item.st, target_, true, placed);
            if (result.ok() && kind_ == TransferKind::Move) {
                // The copy is whole and on the disk; only now may the original go. When it cannot,
                // both stay: the user has the file twice rather than not at all.
                if (IoResult removed = RemoveOriginal(item); !removed.ok()) {
                    outcome_.done.push_back({item.source, placed});
                    Fail(item.source, std::move(removed));
                    ++progress_.doneItems;
                    continue;
                }
            }
        }
        if (result.error == ECANCELED && stopped_) break;
        if (result.ok()) outcome_.done.push_back({item.source, placed});
        else Fail(item.source, std::move(result));
        ++progress_.doneItems;
    }
    outcome_.cancelled = stopped_;
    if (!stopped_ && sink_) {
        progress_.current.clear();
        sink_->OnTransferProgress(progress_);
    }
    return std::move(outcome_);
}

IoResult Transfer::RenameInto(const Item& item, fs::path& placed) {
    const bool isFolder = S_ISDIR(item.st.st_mode);
    const fs::path name = item.source.filename();
    for (int number = 1; number <= kMaxNumber; ++number) {
        const fs::path candidate = target_ / NumberedName(name, number, isFolder);
        if (::renameat2(AT_FDCWD, item.source.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) == 0) {
            placed = candidate;
            return IoResult::Success();
        }
        const int err = errno;
        if (err == EEXIST) continue;
        if (err == EINVAL || err == ENOSYS) {
            // No no-replace rename here: a file can still claim its name with a second link. A
            // folder cannot, so it is copied.
            if (isFolder) return IoResult::Failure(EXDEV, {});
            if (::link(item.source.c_str(), candidate.c_str()) == 0) {
                ::unlink(item.source.c_str());
                placed = candidate;
                return IoResult::Success();
            }
            if (errno == EEXIST) continue;
            if (errno == EXDEV || errno == EPERM) return IoResult::Failure(EXDEV, {});
            return Failure("Cannot move", item.source, errno);
        }
        if (err == EXDEV) return IoResult::Failure(EXDEV, {});
        return Failure("Cannot move", item.source, err);
    }
    return Failure("Cannot move", item.source, EEXIST);
}

IoResult Transfer::CopyInto(const fs::path& source, const struct stat& st, const fs::path& folder, bool numbered, fs::path& placed) {
    if (S_ISREG(st.st_mode)) return CopyFile(source, st, folder, numbered, placed);
    if (S_ISDIR(st.st_mode)) return CopyFolder(source, st, folder, numbered, placed);
    if (S_ISLNK(st.st_mode)) return CopyLink(source, folder, numbered, placed);
    return IoResult::Failure(ENOTSUP, "Cannot copy " + source.string() + ": it is neither a file nor a folder");
}

IoResult Transfer::CopyFile(const fs::path& source, const struct stat& st, const fs::path& folder, bool numbered, fs::path& placed) {
    const int in = ::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) return Failure("Cannot copy", source, errno);
    ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
    const fs::path name = source.filename();
    AtomicFile out;
    IoResult result = out.Open(folder / name);
    std::vector<char> block(kCopyBlock);
    while (result.ok()) {
        const ssize_t n = ::read(in, block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result = Failure("Cannot copy", source, errno);
            break;
        }
        if (n == 0) break;
        result = out.Write(block.data(), static_cast<size_t>(n));
        progress_.doneBytes += static_cast<uint64_t>(n);
        if (result.ok() && !Report()) result = IoResult::Failure(ECANCELED, "Stopped copying " + source.string());
    }
    ::close(in);
    if (!result.ok()) {
        out.Abort();
        return result;
    }
    for (int number = 1; number <= (numbered ? kMaxNumber : 1); ++number) {
        const fs::path candidate = folder / NumberedName(name, number, false);
        result = out.CommitNew(candidate);
        if (result.error == EEXIST && out.isOpen()) continue;
        if (result.ok()) {
            SetTimesAndMode(candidate, st);
            placed = candidate;
        }
        return result;
    }
    out.Abort();
    return Failure("Cannot copy", source, EEXIST);
}

IoResult Transfer::CopyFolder(const fs::path& source, const struct stat& st, const fs::path& folder, bool numbered, fs::path& placed) {
    DIR* dir = ::opendir(source.c_str());
    if (!dir) return Failure("Cannot copy", source, errno);
    fs::path made;
    for (int number = 1; number <= (numbered ? kMaxNumber : 1) && made.empty(); ++number) {
        const fs::path candidate = folder / NumberedName(source.filename(), number, true);
        if (::mkdir(candidate.c_str(), 0700) == 0) made = candidate;
        else if (errno != EEXIST) {
            const int err = errno;
            ::closedir(dir);
            return Failure("Cannot copy", source, err);
        }
    }
    if (made.empty()) {
        ::closedir(dir);
        return Failure("Cannot copy", source, EEXIST);
    }
    IoResult result;
    while (result.ok()) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0) result = Failure("Cannot copy", source, errno);
            break;
        }
        const std::string_view entryName = entry->d_name;
        if (entryName == "." || entryName == "..") continue;
        const fs::path child = source / entry->d_name;
        struct stat childStat{};
        if (!Lstat(child, childStat)) {
            result = Failure("Cannot copy", child, errno);
            break;
        }
        fs::path childPlaced;
        result = CopyInto(child, childStat, made, false, childPlaced);
    }
    ::closedir(dir);
    if (!result.ok()) {
        RemoveTree(made);
        return result;
    }
    SetTimesAndMode(made, st);
    placed = made;
    return result;
}

IoResult Transfer::CopyLink(const fs::path& source, const fs::path& folder, bool numbered, fs::path& placed) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(source, ec);
    if (ec) return Failure("Cannot copy", source, ec.value());
    for (int number = 1; number <= (numbered ? kMaxNumber : 1); ++number) {
        const fs::path candidate = folder / NumberedName(source.filename(), number, false);
        if (::symlink(target.c_str(), candidate.c_str()) == 0) {
            placed = candidate;
            return IoResult::Success();
        }
        if (errno != EEXIST) return Failure("Cannot copy", source, errno);
    }
    return Failure("Cannot copy", source, EEXIST);
}

IoResult Transfer::RemoveOriginal(const Item& item) {
    if (!S_ISDIR(item.st.st_mode)) {
        if (::unlink(item.source.c_str()) == 0) return IoResult::Success();
        return Failure("Copied, but cannot remove the original", item.source, errno);
    }
    std::error_code ec;
    fs::remove_all(item.source, ec);
    if (!ec) return IoResult::Success();
    return Failure("Copied, but cannot remove all of the original", item.source, ec.value());
}

}  // namespace

fs::path NumberedName(const fs::path& name, int number, bool isFolder) {
    if (number <= 1) return name;
    const std::string suffix = " (" + std::to_string(number) + ")";
    const std::string text = name.string();
    // A leading dot is part of a hidden file's name, not its extension.
    const std::string ext = isFolder || !name.has_extension() || name.stem().empty() ? std::string() : name.extension().string();
    return fs::path(text.substr(0, text.size() - ext.size()) + suffix + ext);
}

fs::path FreeNameIn(const fs::path& folder, const fs::path& name, bool isFolder) {
    struct stat st{};
    for (int number = 1; number < kMaxNumber; ++number) {
        const fs::path candidate = NumberedName(name, number, isFolder);
        if (::lstat((folder / candidate).c_str(), &st) != 0 && errno == ENOENT) return candidate;
    }
    return NumberedName(name, kMaxNumber, isFolder);
}

bool OnSameFileSystem(const fs::path& a, const fs::path& b) {
    struct stat sa{}, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
}

TransferOutcome TransferFiles(TransferKind kind, const std::vector<fs::path>& sources, const fs::path& targetFolder,
                              ITransferProgress* progress) {
    Transfer transfer(kind, targetFolder, progress);
    return transfer.Run(sources);
}

FileTransferJob::FileTransferJob(TransferKind kind, std::vector<fs::path> sources, fs::path targetFolder)
    : kind_(kind), sources_(std::move(sources)), target_(std::move(targetFolder)) {}

FileTransferJob::~FileTransferJob() {
    Cancel();
    if (thread_.joinable()) thread_.join();
}

void FileTransferJob::Start() {
    thread_ = std::thread([this] {
        outcome_ = TransferFiles(kind_, sources_, target_, this);
        finished_.store(true);
        done_.Set();
    });
}

bool FileTransferJob::WaitFinished(int timeoutMs) {
    if (finished_.load()) return true;
    if (done_.Wait(timeoutMs)) done_.Set();  // later waits see it too
    return finished_.load();
}

TransferProgress FileTransferJob::progress() const {
    std::lock_guard guard(lock_);
    return progress_;
}

bool FileTransferJob::OnTransferProgress(const TransferProgress& progress) {
    std::lock_guard guard(lock_);
    progress_ = progress;
    return !cancel_.load();
}

}  // namespace kv
