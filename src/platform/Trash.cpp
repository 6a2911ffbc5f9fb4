#include "platform/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <system_error>

#include "base/FileStatus.h"
#include "platform/FileTransfer.h"
#include "platform/SpecialFolders.h"

namespace kv {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kInfoSuffix = ".trashinfo";

IoResult Failure(const fs::path& path, int err, const char* why = nullptr) {
    return IoResult::Failure(err, "Cannot move " + path.string() + " to the Trash: " + (why ? why : std::strerror(err)));
}

std::string Uid() { return std::to_string(::getuid()); }

QString ToQt(const fs::path& path) { return QFile::decodeName(QByteArray::fromStdString(path.string())); }
fs::path FromQt(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

// A folder of ours for the trash: made when missing, and only taken when it is a real folder (not
// a link someone planted) that belongs to this user.
bool OwnFolder(const fs::path& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st{};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

fs::path InfoFileOf(const fs::path& inTrash) {
    return inTrash.parent_path().parent_path() / "info" / (inTrash.filename().string() + std::string(kInfoSuffix));
}

std::string DeletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return ::fsync(fd) == 0;
}

}  // namespace

Trash::Trash(fs::path dataHome) : dataHome_(std::move(dataHome)) {}

bool Trash::IsInTrash(const fs::path& path) const {
    const fs::path files = path.parent_path();
    if (files.filename() != "files") return false;
    const fs::path can = files.parent_path();
    if (can == HomeTrash()) return true;
    const std::string name = can.filename().string();
    return name == ".Trash-" + Uid() || (name == Uid() && can.parent_path().filename() == ".Trash");
}

TrashOutcome Trash::MoveToTrash(const fs::path& path) const {
    const fs::path source = fs::absolute(path).lexically_normal();
    struct stat st{};
    if (::lstat(source.c_str(), &st) != 0) return {Failure(source, errno), {}};
    // Qt finds the data home itself; it must be ours, and it must exist, or Qt goes astray.
    const fs::path qtHome = FromQt(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    if (!EnsureFolder(dataHome_) || qtHome.lexically_normal() != dataHome_.lexically_normal()) return MoveOwn(source);

    QString qtPlace;
    if (!QFile::moveToTrash(ToQt(source), &qtPlace)) return MoveOwn(source);
    const fs::path placed = FromQt(qtPlace);
    TrashedItem item{source, placed, InfoFileOf(placed)};
    if (placed.is_absolute() && IsInTrash(placed) && FileExists(item.infoFile)) return {IoResult::Success(), item};

    // Qt said it worked but put the item elsewhere: take it back, and do it properly.
    const fs::path misplaced = placed.is_absolute() ? placed : fs::absolute(placed);
    if (::renameat2(AT_FDCWD, misplaced.c_str(), AT_FDCWD, source.c_str(), RENAME_NOREPLACE) != 0)
        return {Failure(source, errno, "it went to the wrong place and could not be taken back"), {}};
    const fs::path strayInfo = InfoFileOf(misplaced);
    ::unlink(strayInfo.c_str());
    ::rmdir(strayInfo.parent_path().c_str());
    ::rmdir(misplaced.parent_path().c_str());
    return MoveOwn(source);
}

fs::path Trash::TrashFor(const fs::path& path, int& error) const {
    struct stat item{}, home{};
    if (::lstat(path.c_str(), &item) != 0) {
        error = errno;
        return {};
    }
    if (EnsureFolder(dataHome_) && ::stat(dataHome_.c_str(), &home) == 0 && home.st_dev == item.st_dev) {
        const fs::path can = HomeTrash();
        if (OwnFolder(can)) return can;
        error = errno ? errno : EACCES;
        return {};
    }
    // The top of the item's file system: the last folder up the path on its device.
    fs::path top = path.parent_path();
    for (fs::path up = top.parent_path(); up != top; up = up.parent_path()) {
        struct stat st{};
        if (::stat(up.c_str(), &st) != 0 || st.st_dev != item.st_dev) break;
        top = up;
        if (up == up.root_path()) break;
    }
    // An administrator's shared trash: a real folder with the sticky bit, holding one folder per user.
    struct stat shared{};
    const fs::path sharedCan = top / ".Trash";
    if (::lstat(sharedCan.c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) && (shared.st_mode & S_ISVTX) &&
        OwnFolder(sharedCan / Uid()))
        return sharedCan / Uid();
    const fs::path can = top / (".Trash-" + Uid());
    if (OwnFolder(can)) return can;
    error = errno ? errno : EACCES;
    return {};
}

TrashOutcome Trash::MoveOwn(const fs::path& path) const {
    const fs::path source = fs::absolute(path).lexically_normal();
    struct stat st{};
    if (::lstat(source.c_str(), &st) != 0) return {Failure(source, errno), {}};
    if (IsInTrash(source)) return {Failure(source, EINVAL, "it is in the Trash already"), {}};
    int error = 0;
    const fs::path can = TrashFor(source, error);
    if (can.empty()) return {Failure(source, error), {}};
    if (!OwnFolder(can / "files") || !OwnFolder(can / "info")) return {Failure(source, errno ? errno : EACCES), {}};

    // Items of a trash at the top of a file system name their place relative to that top, so that
    // they can be put back wherever the file system is mounted next time.
    const bool home = can == HomeTrash();
    const fs::path top = can.filename() == Uid() ? can.parent_path().parent_path() : can.parent_path();
    const fs::path named = home ? source : source.lexically_relative(top);
    const QByteArray encoded = QUrl::toPercentEncoding(QByteArray::fromStdString(named.string()), "/");
    const std::string info = "[Trash Info]\nPath=" + encoded.toStdString() + "\nDeletionDate=" + DeletionDate() + "\n";

    const bool isFolder = S_ISDIR(st.st_mode);
    for (int number = 1; number < 100000; ++number) {
        const fs::path name = NumberedName(source.filename(), number, isFolder);
        const fs::path infoFile = can / "info" / (name.string() + std::string(kInfoSuffix));
        const fs::path inTrash = can / "files" / name;
        // The description claims the name first, as freedesktop.org's trash rules ask: whoever
        // creates it owns the name.
        const int fd = ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return {Failure(source, errno), {}};
        }
        const bool written = WriteAll(fd, info);
        const int writeError = errno;
        ::close(fd);
        if (!written) {
            ::unlink(infoFile.c_str());
            return {Failure(source, writeError ? writeError : EIO), {}};
        }
        if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, inTrash.c_str(), RENAME_NOREPLACE) == 0)
            return {IoResult::Success(), {source, inTrash, infoFile}};
        const int err = errno;
        ::unlink(infoFile.c_str());
        if (err == EEXIST) continue;  // a stray file without its description
        return {Failure(source, err), {}};
    }
    return {Failure(source, EEXIST), {}};
}

bool Trash::ReadInfo(const fs::path& inTrash, TrashedItem& item) const {
    const fs::path infoFile = InfoFileOf(inTrash);
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(infoFile, bytes, 64 * 1024).ok()) return false;
    const std::string text(bytes.begin(), bytes.end());
    bool inGroup = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.front() == '[') inGroup = line == "[Trash Info]";
        else if (inGroup && line.rfind("Path=", 0) == 0) {
            const fs::path named(QByteArray::fromPercentEncoding(QByteArray::fromStdString(line.substr(5))).toStdString());
            if (named.empty()) return false;
            const fs::path can = inTrash.parent_path().parent_path();
            const fs::path top = can.filename() == Uid() ? can.parent_path().parent_path() : can.parent_path();
            item = {named.is_absolute() ? named : (top / named).lexically_normal(), inTrash, infoFile};
            return true;
        }
    }
    return false;
}

IoResult Trash::Restore(const fs::path& inTrash) const {
    TrashedItem item;
    if (!ReadInfo(inTrash, item))
        return IoResult::Failure(ENOENT, "Cannot put back " + inTrash.string() + ": it has no description in the Trash");
    std::error_code ec;
    fs::create_directories(item.original.parent_path(), ec);
    if (::renameat2(AT_FDCWD, inTrash.c_str(), AT_FDCWD, item.original.c_str(), RENAME_NOREPLACE) != 0) {
        const int err = errno;
        return IoResult::Failure(err, "Cannot put back " + item.original.string() + ": " + std::strerror(err));
    }
    ::unlink(item.infoFile.c_str());
    return IoResult::Success();
}

}  // namespace kv
