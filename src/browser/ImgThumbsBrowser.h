#pragma once

#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/CommandTarget.h"
#include "base/FileStatus.h"
#include "browser/FolderMonitor.h"
#include "browser/ThumbsBrowser.h"
#include "platform/FileTransfer.h"
#include "platform/Trash.h"

namespace kv {

// What the folder browser shows: a folder, or the files of a library's folders.
enum class ListMode { Folder = 0, BatchList = 1, Library = 2 };

// Runs a copy or move of files into a folder; the window shows a progress dialog for long runs.
using TransferRunner = std::function<TransferOutcome(TransferKind, const std::vector<std::filesystem::path>&,
                                                    const std::filesystem::path&)>;

// A file of a folder listing, with its size and times when the listing could read them.
struct ListedFile {
    std::filesystem::path path;
    std::optional<FileStatus> status;
};
// The files of a folder by name: the supported images, not folders, and (when the folder is
// opened) not files of kMinListedBytes or less. Nothing for a folder that cannot be read.
std::vector<ListedFile> ListImageFiles(const std::filesystem::path& folder, bool skipTinyFiles);
inline constexpr uintmax_t kMinListedBytes = 15;
// The folders of a library text "name;icon;folder;folder...".
std::vector<std::filesystem::path> LibraryTextFolders(const std::string& libraryText);

// Keeps the thumbnail disk cache's lifetime: the first browser made loads it (and forgets what is
// stale), the last one saves it.
class DiskCacheLifetime {
public:
    DiskCacheLifetime(CMapStringToObPlus& cache, std::filesystem::path legacyFile);
    ~DiskCacheLifetime();
    DiskCacheLifetime(const DiskCacheLifetime&) = delete;
    DiskCacheLifetime& operator=(const DiskCacheLifetime&) = delete;

private:
    CMapStringToObPlus& cache_;
};

struct ItemListHolder {
    CItemList ownItems_;
};

// The browser of one folder (or one library) in the browse window: it reads its folder when the
// folder monitor asks, follows the changes on disk, and copies, moves, renames and deletes files
// (deleted files go to the Trash with their sound notes).
class CImgThumbsBrowser final : private ItemListHolder, public CThumbsBrowser {
public:
    // mainWindow: where the folder monitor posts its requests to read the folder again.
    CImgThumbsBrowser(ThumbsBrowserServices services, ICommandTarget& mainWindow, Trash trash);
    ~CImgThumbsBrowser() override;

    // The monitor starts watching the current folder (when one is set).
    bool StartMonitor();
    CFolderMonitor* monitor() { return monitor_.get(); }
    void SetTransferRunner(TransferRunner runner) { transfer_ = std::move(runner); }

    std::filesystem::path CurrentFolder() const { return std::filesystem::path(folder_.Get()); }
    ListMode listMode() const { return mode_; }
    // The tree chose a folder: the monitor watches it and asks for it to be read.
    void SetFolder(const std::filesystem::path& folder);
    // The tree's selection text: "0,<folder>" or "2,<library text>".
    void OnTreeSelection(const std::string& selectionText);
    // ID_BEGINREADFOLDER: reads the current folder, keeping the selection.
    void ReadFolder();
    // Shows the files of a library's folders (list mode 2).
    void ShowLibrary(const std::string& libraryText);

    void DeleteSelected();
    void Paste() override;
    bool HandlesCommand(int id) const override;
    CommandState CommandStateOf(int id) const override;
    void OnCommand(int id) override;

    DropEffect DragEnter(bool offersFiles) override;
    DropEffect DragOver(PixelPoint point, bool offersFiles, Modifiers modifiers) override;
    void Drop(PixelPoint point, const std::optional<FileList>& files, DropEffect effect) override;
    // The files a drag over the view offers (the view reads them when the drag enters).
    void SetOfferedFiles(std::vector<std::filesystem::path> files) { offered_ = std::move(files); }
    // What a drop of these files does here without keys: a move within one file system, else a copy.
    DropEffect DefaultDropEffect(const std::vector<std::filesystem::path>& files) const;

    // The failures of the last file operation, for the window to report.
    const std::vector<TransferFailure>& lastFailures() const { return failures_; }

protected:
    void Refresh() override;
    void PauseMonitor() override;
    void ResumeMonitor() override;

private:
    // Fills the list with files, in the current sort order, keeping the selected ones selected.
    void Load(const std::vector<ListedFile>& files, bool keepSelection, bool sort);
    void Transfer(TransferKind kind, const std::vector<std::filesystem::path>& files);
    void Report(const std::vector<TransferFailure>& failures);

    DiskCacheLifetime diskCache_;
    ICommandTarget& mainWindow_;
    Trash trash_;
    CCurrentFolder folder_;
    ListMode mode_ = ListMode::Folder;
    std::unique_ptr<CFolderMonitor> monitor_;
    TransferRunner transfer_;
    std::vector<TransferFailure> failures_;
    std::vector<std::filesystem::path> offered_;
};

}  // namespace kv
