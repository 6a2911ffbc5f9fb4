#pragma once

#include <QSplitter>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/BrowserColors.h"
#include "base/CommandRouter.h"
#include "browser/ImgThumbsBrowser.h"
#include "browser/ShellNamespace.h"

namespace kv {
class CWin7Library;
class IUserPrompt;
}  // namespace kv

namespace kv::ui {

class CShellTree;
class CThumbsView;
class QtFileClipboard;

// What the browse window keeps between runs; read when it is made, written when it goes.
struct BrowseMemory {
    std::function<std::optional<int>()> readLeftWidth;
    std::function<void(int)> writeLeftWidth;
    std::function<std::string()> readTreeSelection;
    std::function<void(const std::string&)> writeTreeSelection;
    // The folder the browser showed last ("DEFAULT" of "FOLDERS").
    std::function<void(const std::string&)> writeBrowseFolder;
};

// What the browse window works with; the program's, or a test's own.
struct BrowseServices {
    ThumbsBrowserServices browser;
    ICommandTarget& mainWindow;  // where the folder monitor posts
    SpecialFolders folders;
    CWin7Library* libraries = nullptr;
    BrowserColors colors;
    // The folder it starts in when the tree has nothing to restore (checked by the caller).
    std::filesystem::path startFolder;
    VolumeSource volumes = MountedVolumes;
};

// The browse window over the main view in batch mode: the folder tree on the left and the
// thumbnails of the chosen folder or library on the right, in a splitter whose left width is
// kept as "LEFTWIDTH". It is the first stop of the command routing while it is open.
class CBrowseWnd final : public QWidget, public ICommandHandler {
    Q_OBJECT
public:
    // The narrowest the tree opens; and the share of the window the tree's names may take at most
    // when it is fitted to them.
    static constexpr int kDefaultLeftWidth = 200;
    static constexpr int kMostTreeShare = 45;

    CBrowseWnd(BrowseServices services, BrowseMemory memory, QWidget* parent = nullptr);
    ~CBrowseWnd() override;

    CShellTree& Tree() { return *tree_; }
    CThumbsView& View() { return *view_; }
    CImgThumbsBrowser& Browser() { return *browser_; }
    QSplitter& Splitter() { return *splitter_; }

    // The tree chose an item ("0,<folder>" or "2,<library text>").
    void OnTreeSelection(const std::string& selectionText);
    void SetFolder(const std::filesystem::path& folder);

    bool HandlesCommand(int id) const override;
    CommandState CommandStateOf(int id) const override;
    void OnCommand(int id) override;

signals:
    void PropertiesRequested(const std::filesystem::path& file);
    void StatusChanged(const QString& text);

private:
    void FitTreeLater();
    TransferOutcome RunTransfer(TransferKind kind, const std::vector<std::filesystem::path>& files,
                                const std::filesystem::path& folder);

    BrowseMemory memory_;
    std::unique_ptr<QtFileClipboard> clipboard_;
    std::unique_ptr<ShellNamespace> shell_;
    std::unique_ptr<CImgThumbsBrowser> browser_;
    QSplitter* splitter_ = nullptr;
    CShellTree* tree_ = nullptr;
    CThumbsView* view_ = nullptr;
    // Set until the tree's column has been fitted to its names or sized by the user.
    bool fitTree_ = false;
};

}  // namespace kv::ui
