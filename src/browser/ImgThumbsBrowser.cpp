#include "browser/ImgThumbsBrowser.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <unordered_set>

#include "base/CommandIds.h"
#include "base/FileStatus.h"
#include "browser/SortModes.h"
#include "browser/ThumbnailBuild.h"
#include "engine/ParallelFor.h"
#include "imageio/ImageFiles.h"

namespace kv {

namespace fs = std::filesystem;

namespace {

// Reading folders is one at a time in the program.
std::mutex& FolderReadLock() {
    static std::mutex lock;
    return lock;
}

std::atomic<int>& BrowserCount() {
    static std::atomic<int> count{0};
    return count;
}

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kForgetAfterDays = 30;
constexpr size_t kManyCells = 1800;
constexpr int64_t kForgetManyAfterDays = 10;

int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Forgets the cells of files that went, and those not seen for longer than the days given.
void ForgetStale(CMapStringToObPlus& cache, std::optional<int64_t> olderThanDays) {
    const int64_t now = Now();
    for (const auto& [path, cell] : cache.Entries()) {
        const bool gone = !FileExists(path);
        const bool old = olderThanDays && cell && (now - cell->lastSeenTime) / kSecondsPerDay > *olderThanDays;
        if (gone || old) (void)cache.RemoveKey(path);
    }
}

// Lists a folder while its cache file is read, and merges the cells of the images listed, so that
// the first paint finds them in memory.
std::vector<ListedFile> ListBesideCacheFile(CMapStringToObPlus& cache, const fs::path& folder) {
    if (!cache.HasFolderFileToRead(folder)) return ListImageFiles(folder, true);
    CMapStringToObPlus::FolderCells cells;
    std::vector<ListedFile> files;
    RunTogether([&] { files = ListImageFiles(folder, true); }, [&] { cells = cache.ReadFolderFileAside(folder); });
    // The listing has just seen every image of the folder; only cells of other files (gone, too
    // small or not images) need a look at the file system.
    std::unordered_set<std::string> listed;
    listed.reserve(files.size());
    for (const ListedFile& file : files) listed.insert(file.path.native());
    cache.MergeFolderCells(std::move(cells), [&](const std::string& path) { return listed.contains(path) || FileExists(path); });
    return files;
}

}  // namespace

std::vector<ListedFile> ListImageFiles(const fs::path& folder, bool skipTinyFiles) {
    std::vector<ListedFile> files;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return files;
    // Each entry is looked at once, by its name within the open folder: a large folder is read in
    // a few milliseconds, and the browser's size and times come from the same look.
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || entry->d_type == DT_DIR) continue;
        fs::path path = folder / name;
        if (!IsSupportedImage(path)) continue;
        struct stat st{};
        std::optional<FileStatus> status;
        if (::fstatat(fd, entry->d_name, &st, 0) == 0) status = FileStatusOf(st);
        if (status && status->isDirectory) continue;
        if (skipTinyFiles && (!status || status->size <= kMinListedBytes)) continue;
        files.push_back({std::move(path), status});
    }
    ::closedir(dir);
    // The order a listing gives before any sort: by name, as the file search returned it.
    std::sort(files.begin(), files.end(), [](const ListedFile& a, const ListedFile& b) {
        return a.path.native().compare(b.path.native()) < 0;
    });
    return files;
}

std::vector<fs::path> LibraryTextFolders(const std::string& libraryText) {
    std::vector<fs::path> folders;
    size_t start = 0;
    int piece = 0;
    while (start <= libraryText.size()) {
        size_t end = libraryText.find(';', start);
        if (end == std::string::npos) end = libraryText.size();
        // The display name and the icon index come first.
        if (piece++ >= 2 && end > start) folders.emplace_back(libraryText.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

DiskCacheLifetime::DiskCacheLifetime(CMapStringToObPlus& cache, fs::path legacyFile) : cache_(cache) {
    if (BrowserCount().fetch_add(1) != 0) return;
    (void)cache_.LoadIndex(legacyFile);
    ForgetStale(cache_, kForgetAfterDays);
    if (cache_.GetCount() > kManyCells) ForgetStale(cache_, kForgetManyAfterDays);
}

DiskCacheLifetime::~DiskCacheLifetime() {
    if (BrowserCount().fetch_sub(1) != 1) return;
    ForgetStale(cache_, std::nullopt);
    cache_.SaveAll();
    cache_.RemoveAll();
}

CImgThumbsBrowser::CImgThumbsBrowser(ThumbsBrowserServices services, ICommandTarget& mainWindow, Trash trash)
    : CThumbsBrowser(ownItems_, services),
      diskCache_(services.cache, CMapStringToObPlus::LegacyFile(services.cache.CacheFolder().parent_path())),
      mainWindow_(mainWindow),
      trash_(std::move(trash)),
      monitor_(std::make_unique<CFolderMonitor>(mainWindow)) {
    transfer_ = [](TransferKind kind, const std::vector<fs::path>& files, const fs::path& folder) {
        return TransferFiles(kind, files, folder);
    };
}

CImgThumbsBrowser::~CImgThumbsBrowser() {
    StopThumbNotices();
    // The monitor calls into the current folder until it is told to stop.
    monitor_->Watch("", nullptr);
    monitor_.reset();
}

bool CImgThumbsBrowser::StartMonitor() {
    if (!monitor_->Start()) return false;
    if (mode_ == ListMode::Folder && !folder_.Get().empty()) monitor_->Watch(folder_.Get(), &folder_);
    return true;
}

void CImgThumbsBrowser::SetFolder(const fs::path& folder) {
    folder_.SetCurrentFolder(folder.string());
    mode_ = ListMode::Folder;
    monitor_->Watch(folder.string(), &folder_);
}

void CImgThumbsBrowser::OnTreeSelection(const std::string& text) {
    if (text.empty()) return;
    const size_t comma = text.find(',');
    if (comma == std::string::npos) return;
    if (text.front() != '0') {
        ShowLibrary(text.substr(comma + 1));
        return;
    }
    mode_ = ListMode::Folder;
    // The monitor checks that the folder exists, sets it and asks for it to be read.
    monitor_->Watch(text.substr(comma + 1), &folder_);
}

void CImgThumbsBrowser::Load(const std::vector<ListedFile>& files, bool keepSelection, bool sort) {
    std::set<fs::path> selected;
    if (keepSelection)
        for (const size_t i : ownItems_.SelectedIndices()) selected.insert(ownItems_[i].path);
    ownItems_.Clear();
    const ResizeSettings none;
    for (const ListedFile& file : files) {
        auto item = std::make_unique<CItem>(none, file.path);
        item->selected = selected.count(file.path) ? 1 : 0;
        if (file.status) SetDetails(*item, *file.status);
        ownItems_.Append(std::move(item));
    }
    if (sort) Sort(sortMode());
    // The builders get the files in display order.
    Rebuild();
}

void CImgThumbsBrowser::ReadFolder() {
    std::lock_guard guard(FolderReadLock());
    if (mode_ != ListMode::Folder) return;  // a library shows no folder
    if (host()) host()->SetBusy(true);
    const std::string folder = folder_.Get();
    Load(folder.empty() ? std::vector<ListedFile>{} : ListBesideCacheFile(cache(), folder), true, true);
    if (host()) host()->SetBusy(false);
}

void CImgThumbsBrowser::Refresh() {
    if (mode_ != ListMode::Folder) return;
    const std::string folder = folder_.Get();
    Load(folder.empty() ? std::vector<ListedFile>{} : ListImageFiles(folder, false), false, SortsOnRefresh(sortMode()));
}

void CImgThumbsBrowser::ShowLibrary(const std::string& libraryText) {
    std::vector<ListedFile> files;
    for (const fs::path& folder : LibraryTextFolders(libraryText)) {
        const auto found = ListImageFiles(folder, true);
        files.insert(files.end(), found.begin(), found.end());
    }
    folder_.SetCurrentFolder({});
    mode_ = ListMode::Library;
    // Nothing is watched while a library is shown.
    monitor_->Watch("", nullptr);
    Load(files, false, true);
}

void CImgThumbsBrowser::PauseMonitor() { monitor_->Pause(); }
void CImgThumbsBrowser::ResumeMonitor() { monitor_->Resume(); }

void CImgThumbsBrowser::Report(const std::vector<TransferFailure>& failures) {
    failures_ = failures;
    if (failures.empty() || !prompt()) return;
    std::string text;
    for (const TransferFailure& failure : failures) text += failure.result.message + "\n";
    prompt()->ShowMessage(text);
}

void CImgThumbsBrowser::DeleteSelected() {
    std::vector<fs::path> files = SelectedFilesWithNotes();
    if (files.empty()) return;
    PauseMonitor();
    std::vector<TransferFailure> failures;
    for (const fs::path& file : files) {
        const TrashOutcome outcome = trash_.MoveToTrash(file);
        if (!outcome.result.ok()) failures.push_back({file, outcome.result});
        else (void)cache().RemoveKey(file.string());
    }
    ResumeMonitor();
    Report(failures);
    Refresh();
    UpdateStatus();
}

void CImgThumbsBrowser::Transfer(TransferKind kind, const std::vector<fs::path>& files) {
    const fs::path folder = CurrentFolder();
    if (folder.empty() || files.empty()) return;
    PauseMonitor();
    const TransferOutcome outcome = transfer_(kind, files, folder);
    // A moved file keeps its thumbnail.
    if (kind == TransferKind::Move)
        for (const TransferredItem& done : outcome.done) OnFileRenamed(done.source, done.target);
    ResumeMonitor();
    Report(outcome.failures);
    Refresh();
}

void CImgThumbsBrowser::Paste() {
    if (!clipboard() || CurrentFolder().empty()) return;
    const std::optional<FileList> list = clipboard()->ReadFileList();
    if (!list || list->paths.empty()) return;
    Transfer(list->cut ? TransferKind::Move : TransferKind::Copy, list->paths);
    // The files of a cut are where they were meant to go: the clipboard names nothing any more.
    if (list->cut && failures_.empty()) clipboard()->Clear();
}

bool CImgThumbsBrowser::HandlesCommand(int id) const {
    return id == CommandId::ID_EDIT_CLEAR || id == CommandId::ID_EDIT_CUT || CThumbsBrowser::HandlesCommand(id);
}

CommandState CImgThumbsBrowser::CommandStateOf(int id) const {
    using namespace CommandId;
    if (id == ID_EDIT_CLEAR || id == ID_EDIT_CUT) return {items().SelectedCount() > 0, false};
    if (id == ID_EDIT_PASTE) return {CanPaste() && !CurrentFolder().empty(), false};
    return CThumbsBrowser::CommandStateOf(id);
}

void CImgThumbsBrowser::OnCommand(int id) {
    using namespace CommandId;
    if (!CommandStateOf(id).enabled) return;
    if (id == ID_EDIT_CLEAR) return DeleteSelected();
    if (id == ID_EDIT_CUT) return CopySelection(true);
    CThumbsBrowser::OnCommand(id);
}

DropEffect CImgThumbsBrowser::DefaultDropEffect(const std::vector<fs::path>& files) const {
    const fs::path folder = CurrentFolder();
    if (files.empty() || folder.empty()) return DropEffect::Copy;
    return OnSameFileSystem(files.front(), folder) ? DropEffect::Move : DropEffect::Copy;
}

DropEffect CImgThumbsBrowser::DragEnter(bool offersFiles) {
    return InternalDrag() || offersFiles ? DropEffect::Copy : DropEffect::None;
}

DropEffect CImgThumbsBrowser::DragOver(PixelPoint point, bool offersFiles, Modifiers modifiers) {
    (void)point;
    const fs::path folder = CurrentFolder();
    std::error_code ec;
    // Files dragged within this folder's own view would go where they are.
    if (!offersFiles || InternalDrag() || folder.empty() || !fs::is_directory(folder, ec)) return DropEffect::None;
    if (modifiers.ctrl) return DropEffect::Copy;
    if (modifiers.shift) return DropEffect::Move;
    return DefaultDropEffect(offered_);
}

void CImgThumbsBrowser::Drop(PixelPoint point, const std::optional<FileList>& files, DropEffect effect) {
    CThumbsBrowser::Drop(point, files, effect);
    if (effect == DropEffect::None || !files || InternalDrag()) return;
    Transfer(effect == DropEffect::Move ? TransferKind::Move : TransferKind::Copy, files->paths);
}

}  // namespace kv
