#include "platform/Win7Library.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <QByteArray>
#include <QDomDocument>
#include <QFile>
#include <QString>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <system_error>

#include "base/FileStatus.h"
#include "platform/FileRename.h"
#include "platform/FileTransfer.h"

namespace kv {

namespace fs = std::filesystem;

namespace {

constexpr const char* kNamespace = "http://schemas.microsoft.com/windows/2009/library";
// Larger library files are not libraries anyone wrote by hand or by a desktop.
constexpr size_t kMaxLibraryBytes = 1024 * 1024;

QString ToQt(const fs::path& path) { return QFile::decodeName(QByteArray::fromStdString(path.string())); }
fs::path FromQt(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

bool EndsWithNoCase(const std::string& text, std::string_view tail) {
    if (text.size() < tail.size()) return false;
    return std::equal(tail.begin(), tail.end(), text.end() - static_cast<std::ptrdiff_t>(tail.size()),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); });
}

// A location as the file names it: a path of this computer, or a file URL.
std::optional<fs::path> LocalFolder(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith('/')) return FromQt(trimmed);
    const QUrl url(trimmed);
    if (url.isLocalFile()) return FromQt(url.toLocalFile());
    return std::nullopt;
}

std::optional<QDomDocument> Load(const fs::path& file) {
    QFile in(ToQt(file));
    if (!in.open(QIODevice::ReadOnly) || in.size() > static_cast<qint64>(kMaxLibraryBytes)) return std::nullopt;
    QDomDocument doc;
    if (!doc.setContent(in.read(kMaxLibraryBytes))) return std::nullopt;
    if (doc.documentElement().tagName() != "libraryDescription") return std::nullopt;
    return doc;
}

// The <url> elements of the folder list, in order.
std::vector<QDomElement> UrlElements(const QDomDocument& doc) {
    std::vector<QDomElement> urls;
    const QDomElement list = doc.documentElement().firstChildElement("searchConnectorDescriptionList");
    for (QDomElement entry = list.firstChildElement("searchConnectorDescription"); !entry.isNull();
         entry = entry.nextSiblingElement("searchConnectorDescription")) {
        const QDomElement url = entry.firstChildElement("simpleLocation").firstChildElement("url");
        if (!url.isNull()) urls.push_back(url);
    }
    return urls;
}

QDomDocument NewLibraryDocument(const std::string& name) {
    QDomDocument doc;
    doc.appendChild(doc.createProcessingInstruction("xml", "version=\"1.0\" encoding=\"UTF-8\""));
    QDomElement root = doc.createElementNS(kNamespace, "libraryDescription");
    doc.appendChild(root);
    auto add = [&](QDomElement parent, const char* tag, const QString& text) {
        QDomElement element = doc.createElement(tag);
        if (!text.isEmpty()) element.appendChild(doc.createTextNode(text));
        parent.appendChild(element);
        return element;
    };
    add(root, "name", QString::fromStdString(name));
    add(root, "version", "1");
    add(root, "isLibraryPinned", "true");
    add(root, "searchConnectorDescriptionList", {});
    return doc;
}

void SetFolders(QDomDocument& doc, const std::vector<fs::path>& folders) {
    QDomElement root = doc.documentElement();
    QDomElement list = root.firstChildElement("searchConnectorDescriptionList");
    if (list.isNull()) list = root.appendChild(doc.createElement("searchConnectorDescriptionList")).toElement();
    // Entries this computer cannot use (network locations, search connectors) stay as they are.
    for (const QDomElement& url : UrlElements(doc))
        if (LocalFolder(url.text())) list.removeChild(url.parentNode().parentNode());
    bool first = true;
    for (const fs::path& folder : folders) {
        QDomElement entry = doc.createElement("searchConnectorDescription");
        QDomElement save = doc.createElement("isDefaultSaveLocation");
        save.appendChild(doc.createTextNode(first ? "true" : "false"));
        entry.appendChild(save);
        QDomElement location = doc.createElement("simpleLocation");
        QDomElement url = doc.createElement("url");
        url.appendChild(doc.createTextNode(ToQt(folder)));
        location.appendChild(url);
        entry.appendChild(location);
        list.appendChild(entry);
        first = false;
    }
}

bool Save(const QDomDocument& doc, const fs::path& file) {
    const QByteArray bytes = doc.toByteArray(2);
    return WriteFileAtomically(file, std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size())).ok();
}

}  // namespace

CWin7Library::CWin7Library(const SpecialFolders& folders)
    : folder_(folders.LibrariesFolder()), pictures_(folders.pictures), trash_(folders.dataHome) {}

CWin7Library::~CWin7Library() {
    stop_.Set();
    if (watcher_.joinable()) watcher_.join();
}

bool CWin7Library::Start() {
    if (folder_.empty()) return false;
    const bool firstRun = !FileExists(folder_);
    if (!EnsureFolder(folder_)) {
        folder_.clear();
        return false;
    }
    if (firstRun && !pictures_.empty() && FileExists(pictures_))
        (void)CreateLibrary(std::string(kFirstLibraryName), {pictures_});
    if (!watcher_.joinable()) {
        // The watch is in place before Start returns, so that no change made after it is missed;
        // the thread only waits for its events.
        const int inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (inotify >= 0 &&
            ::inotify_add_watch(inotify, folder_.c_str(),
                                IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ONLYDIR) >= 0) {
            watcher_ = std::thread([this, inotify] { Watch(inotify); });
        } else if (inotify >= 0) {
            ::close(inotify);
        }
    }
    return true;
}

bool CWin7Library::IsLibraryPath(const fs::path& path) {
    const std::string name = path.filename().string();
    return name.size() > kLibraryExtension.size() && EndsWithNoCase(name, kLibraryExtension);
}

std::string CWin7Library::DisplayName(const fs::path& libraryFile) {
    std::string name = libraryFile.filename().string();
    if (IsLibraryPath(libraryFile)) name.resize(name.size() - kLibraryExtension.size());
    return name;
}

std::vector<fs::path> CWin7Library::Libraries() const {
    std::vector<fs::path> files;
    std::error_code ec;
    if (folder_.empty()) return files;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec))
        if (IsLibraryPath(it->path()) && it->is_regular_file(ec)) files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}

bool CWin7Library::LibrariesPresent() const { return !Libraries().empty(); }

std::optional<fs::path> CWin7Library::FindLibrary(const std::string& name) const {
    for (const fs::path& file : Libraries())
        if (DisplayName(file) == name) return file;
    return std::nullopt;
}

std::optional<LibraryContents> CWin7Library::Read(const fs::path& libraryFile) const {
    const std::optional<QDomDocument> doc = Load(libraryFile);
    if (!doc) return std::nullopt;
    LibraryContents contents{DisplayName(libraryFile), {}};
    for (const QDomElement& url : UrlElements(*doc))
        if (const auto folder = LocalFolder(url.text())) contents.folders.push_back(*folder);
    return contents;
}

std::string CWin7Library::GetLibraryText(const fs::path& libraryFile) const {
    if (kPlatformKind < kLibrariesFromPlatformKind) return {};
    const auto contents = Read(libraryFile);
    if (!contents) return {};
    std::string text = contents->name + ";0";
    for (const fs::path& folder : contents->folders) text += ";" + folder.string();
    return text;
}

int CWin7Library::GetFolderCount(const fs::path& libraryFile) const {
    if (kPlatformKind < kLibrariesFromPlatformKind) return 0;
    const auto contents = Read(libraryFile);
    return contents ? static_cast<int>(contents->folders.size()) : 0;
}

std::vector<fs::path> CWin7Library::GetAllLibraryFolders() const {
    std::vector<fs::path> all;
    for (const fs::path& file : Libraries())
        if (const auto contents = Read(file)) all.insert(all.end(), contents->folders.begin(), contents->folders.end());
    return all;
}

bool CWin7Library::DeleteLibrary(const fs::path& libraryFile, bool silent) {
    if (!IsLibraryPath(libraryFile)) return false;
    if (silent) return ::unlink(libraryFile.c_str()) == 0;
    return trash_.MoveToTrash(libraryFile).result.ok();
}

std::optional<fs::path> CWin7Library::RenameLibrary(const fs::path& libraryFile, const std::string& newName) {
    if (!IsLibraryPath(libraryFile) || newName.empty() || newName.find('/') != std::string::npos || newName == "." ||
        newName == "..")
        return std::nullopt;
    if (newName == DisplayName(libraryFile)) return libraryFile;
    const fs::path target = FreeNameIn(folder_, newName + std::string(kLibraryExtension), false);
    if (!RenameWithoutReplacing(libraryFile, folder_ / target).ok()) return std::nullopt;
    return folder_ / target;
}

bool CWin7Library::Rewrite(const fs::path& libraryFile, const std::function<bool(std::vector<fs::path>&)>& edit) {
    std::optional<QDomDocument> doc = Load(libraryFile);
    const auto contents = Read(libraryFile);
    if (!doc || !contents) return false;
    std::vector<fs::path> folders = contents->folders;
    if (!edit(folders)) return false;
    SetFolders(*doc, folders);
    return Save(*doc, libraryFile);
}

bool CWin7Library::RemoveFolderFromLibrary(const fs::path& libraryFile, const fs::path& folder) {
    return Rewrite(libraryFile, [&](std::vector<fs::path>& folders) {
        return std::erase(folders, folder) > 0;
    });
}

bool CWin7Library::ResolveFolderInLibrary(const fs::path& libraryFile, const fs::path& oldFolder,
                                          const fs::path& newFolder) {
    if (!FileExists(newFolder)) return false;
    return Rewrite(libraryFile, [&](std::vector<fs::path>& folders) {
        auto it = std::find(folders.begin(), folders.end(), oldFolder);
        if (it == folders.end()) return false;
        *it = newFolder;
        return true;
    });
}

bool CWin7Library::AddFolderToLibrary(const fs::path& libraryFile, const fs::path& folder) {
    return Rewrite(libraryFile, [&](std::vector<fs::path>& folders) {
        if (std::find(folders.begin(), folders.end(), folder) != folders.end()) return false;
        folders.push_back(folder);
        return true;
    });
}

std::optional<fs::path> CWin7Library::CreateLibrary(const std::string& name, const std::vector<fs::path>& folders) {
    if (folder_.empty() || name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return std::nullopt;
    const fs::path file = folder_ / FreeNameIn(folder_, name + std::string(kLibraryExtension), false);
    QDomDocument doc = NewLibraryDocument(name);
    SetFolders(doc, folders);
    if (!Save(doc, file)) return std::nullopt;
    return file;
}

void CWin7Library::AddListener(ILibUpdate* listener) {
    std::lock_guard guard(listenersLock_);
    listeners_.push_back(listener);
}

void CWin7Library::RemoveListener(ILibUpdate* listener) {
    std::lock_guard guard(listenersLock_);
    std::erase(listeners_, listener);
}

void CWin7Library::NotifyListeners() {
    std::lock_guard guard(listenersLock_);
    // A listener that removes itself changes the array: call a copy, skipping those gone meanwhile.
    const std::vector<ILibUpdate*> calls = listeners_;
    for (ILibUpdate* listener : calls)
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end()) listener->UpdateLibraries();
}

void CWin7Library::Watch(int inotify) {
    const WaitSource sources[] = {stop_.Source(), DescriptorSource(inotify)};
    // Reads every waiting event: true when one concerns a library file. A file written beside its
    // name and renamed into place is one event of a library file (the temporary name is not one).
    auto drain = [&] {
        bool libraryChanged = false;
        alignas(inotify_event) char buffer[8 * 1024];
        for (;;) {
            const ssize_t got = ::read(inotify, buffer, sizeof buffer);
            if (got <= 0) break;
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && IsLibraryPath(std::string(event->name))) libraryChanged = true;
                if (event->mask & IN_Q_OVERFLOW) libraryChanged = true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return libraryChanged;
    };
    for (;;) {
        const int which = WaitAny(sources, kWaitInfinite);
        if (which != 1) break;
        bool changed = drain();
        // A change may be several events (a file created, then written): wait until the folder
        // is quiet, so that the listeners hear of it once.
        bool stopped = false;
        for (;;) {
            const int more = WaitAny(sources, kSettleMs);
            if (more == 0) stopped = true;
            if (more != 1) break;
            changed = drain() || changed;
        }
        if (stopped) break;
        if (changed) NotifyListeners();
    }
    ::close(inotify);
}

}  // namespace kv
