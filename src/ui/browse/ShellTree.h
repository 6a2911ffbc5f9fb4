#pragma once

#include <QTimer>
#include <QTreeView>
#include <functional>
#include <string>

#include "browser/ShellNamespace.h"
#include "platform/Win7Library.h"
#include "ui/browse/ShellTreeModel.h"

namespace kv {
class IUserPrompt;
}

namespace kv::ui {

// The folder tree of the browse window: Desktop, Home, the desktop's folders, the libraries and
// the computer's volumes. Choosing an item tells the browse window its selection text; F2 (or a
// slow second click) renames a folder or a library in place, Delete moves a folder to the Trash,
// deletes a library or takes a folder out of its library. The selected folder is checked every
// 2 s, and the libraries are shown again whenever their files change.
class CShellTree final : public QTreeView, public ILibUpdate {
    Q_OBJECT
public:
    static constexpr int kCheckIntervalMs = 2000;

    CShellTree(ShellNamespace& shell, CWin7Library* libraries, IUserPrompt* prompt, QWidget* parent = nullptr);
    ~CShellTree() override;

    // Where the selection texts go ("0,<folder>", "2,<library text>").
    void SetSelectionHandler(std::function<void(const std::string&)> handler) { onSelection_ = std::move(handler); }

    ShellTreeModel& Model() { return *model_; }
    ShellItem* SelectedItem() const;
    // Selects the item of a folder or a library file; false when it is nowhere in the tree.
    bool SelectPath(const std::filesystem::path& path);
    bool SelectLibrary(const std::string& name);
    // The same without holding up the window: the folders on the way are listed on other threads,
    // and the item is selected once it is found. found(false) when the path names nothing; found
    // is not called at all when the user or the program chose another item meanwhile.
    void SelectPathLater(const std::filesystem::path& path, std::function<void(bool)> found = {});
    // The selected item's record, and choosing it again from one, later as above; found(false) for
    // a record that names nothing any more (or an older program's binary record).
    std::string SaveSelection() const;
    void RestoreSelectionLater(const std::string& record, std::function<void(bool)> found = {});
    // Deletes the selected item (the Delete key; command 33043).
    void DeleteSelected();
    // The check of the 2-second timer: a selected folder that has gone is noticed.
    void CheckSelection();
    // From the libraries' watcher thread: the tree is brought up to date on its own thread.
    void UpdateLibraries() override;
    // How wide the pane must be to show the names of the rows it shows, whole.
    int NamesWidth() const;

signals:
    void LibrariesChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void Select(ShellItem* item, bool report = true);
    void ScrollSidewaysTo(const QModelIndex& index);
    void SelectLater(ShellTreeModel::Search search, std::function<void(bool)> found);
    void OnLibrariesChanged();
    void Report();
    void Fail(const std::string& error);

    ShellNamespace& shell_;
    CWin7Library* libraries_;
    IUserPrompt* prompt_;
    ShellTreeModel* model_;
    QTimer check_;
    std::function<void(const std::string&)> onSelection_;
    // Set while the tree changes the disk itself: refreshes it would cause are left out.
    bool busy_ = false;
    bool quiet_ = false;
    // Counts the choices made by the user or the program; a search that finds its item after
    // another choice leaves that choice alone.
    int choices_ = 0;
};

}  // namespace kv::ui
