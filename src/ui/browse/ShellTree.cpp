#include "ui/browse/ShellTree.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>

#include "base/UserPrompt.h"
#include "ui/browse/ShellTreeModel.h"

namespace kv::ui {

namespace {

std::string ToStd(const QString& text) { return QFile::encodeName(text).toStdString(); }

}  // namespace

CShellTree::CShellTree(ShellNamespace& shell, CWin7Library* libraries, IUserPrompt* prompt, QWidget* parent)
    : QTreeView(parent), shell_(shell), libraries_(libraries), prompt_(prompt) {
    setObjectName(QStringLiteral("ShellTree"));
    setAccessibleName(QStringLiteral("Folders"));
    model_ = new ShellTreeModel(shell_, this);
    setModel(model_);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    // Deep folders keep their whole names: the pane scrolls sideways, as a file manager's does,
    // instead of cutting every name down to "...".
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // The tree takes no drops.
    setAcceptDrops(false);
    setDragEnabled(false);
    expand(model_->index(0, 0));

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (!quiet_) Report();
    });
    connect(model_, &ShellTreeModel::RenameRequested, this,
            [this](const QPersistentModelIndex& index, const QString& name) {
                ShellItem* item = model_->ItemOf(index);
                if (!item) return;
                busy_ = true;
                std::string error;
                ShellItem* renamed = shell_.Rename(*item, ToStd(name), error);
                busy_ = false;
                if (!renamed) return Fail(error);
                Select(renamed);
            },
            Qt::QueuedConnection);
    connect(this, &CShellTree::LibrariesChanged, this, &CShellTree::OnLibrariesChanged, Qt::QueuedConnection);
    check_.setInterval(kCheckIntervalMs);
    connect(&check_, &QTimer::timeout, this, &CShellTree::CheckSelection);
    check_.start();
    if (libraries_) libraries_->AddListener(this);
}

CShellTree::~CShellTree() {
    if (libraries_) libraries_->RemoveListener(this);
}

ShellItem* CShellTree::SelectedItem() const { return model_->ItemOf(currentIndex()); }

void CShellTree::Select(ShellItem* item, bool report) {
    if (!item) return;
    ++choices_;
    for (ShellItem* up = item->parent; up; up = up->parent) expand(model_->IndexOf(up));
    const QModelIndex index = model_->IndexOf(item);
    const bool wasQuiet = quiet_;
    quiet_ = !report;
    // Choosing the selected item again still tells the browse window (it may show it anew).
    if (index == currentIndex()) {
        if (report) Report();
    } else {
        setCurrentIndex(index);
    }
    quiet_ = wasQuiet;
    scrollTo(index);
    // Once the names just listed have widened the column, the chosen name is brought into sight.
    QTimer::singleShot(0, this, [this, shown = QPersistentModelIndex(index)] {
        if (shown.isValid()) ScrollSidewaysTo(shown);
    });
}

void CShellTree::ScrollSidewaysTo(const QModelIndex& index) {
    QScrollBar& bar = *horizontalScrollBar();
    const QRect rect = visualRect(index);
    if (rect.left() >= 0 && rect.right() <= viewport()->width()) return;
    // Where the chosen name begins, with its expansion mark; but never so far that a parent in
    // sight loses the start of its name ("ystem" for "System"): the parents say where it is.
    int offset = bar.value() + rect.left() - indentation();
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) {
        const QRect parentRect = visualRect(up);
        if (parentRect.bottom() < 0 || parentRect.top() > viewport()->height()) continue;
        offset = std::min(offset, bar.value() + parentRect.left() - indentation());
    }
    bar.setValue(std::max(0, offset));
}

int CShellTree::NamesWidth() const {
    // The names in sight and those listed near them, with the tree's frame and its scroll bar.
    const int names = std::max(0, sizeHintForColumn(0));
    const int scrollBar = verticalScrollBar()->isVisible() ? verticalScrollBar()->width() : 0;
    return names + 2 * frameWidth() + scrollBar;
}

void CShellTree::Report() {
    const ShellItem* item = SelectedItem();
    if (!item || !onSelection_) return;
    // Virtual items without a folder (Computer, Libraries) leave the browser as it is.
    const std::string text = shell_.SelectionText(*item);
    if (!text.empty()) onSelection_(text);
}

bool CShellTree::SelectPath(const std::filesystem::path& path) {
    ShellItem* item = shell_.FindPath(path);
    if (!item) return false;
    Select(item);
    return true;
}

bool CShellTree::SelectLibrary(const std::string& name) {
    ShellItem* item = shell_.FindLibrary(name);
    if (!item) return false;
    Select(item);
    return true;
}

std::string CShellTree::SaveSelection() const {
    const ShellItem* item = SelectedItem();
    return item ? ShellNamespace::SelectionRecord(*item) : std::string();
}

void CShellTree::SelectLater(ShellTreeModel::Search search, std::function<void(bool)> found) {
    const int choice = choices_;
    model_->SearchLater(std::move(search), [this, choice, found = std::move(found)](ShellItem* item) {
        if (choice != choices_) return;
        if (item) Select(item);
        if (found) found(item != nullptr);
    });
}

void CShellTree::SelectPathLater(const std::filesystem::path& path, std::function<void(bool)> found) {
    SelectLater([this, path] { return shell_.SearchPath(path); }, std::move(found));
}

void CShellTree::RestoreSelectionLater(const std::string& record, std::function<void(bool)> found) {
    if (record.empty()) {
        if (found) found(false);
        return;
    }
    SelectLater([this, record] { return shell_.SearchRecord(record); }, std::move(found));
}

void CShellTree::Fail(const std::string& error) {
    if (prompt_ && !error.empty()) prompt_->ShowMessage(error);
}

void CShellTree::DeleteSelected() {
    ShellItem* item = SelectedItem();
    if (!item || !shell_.CanDelete(*item)) return;
    if (prompt_) {
        const bool inLibrary = item->parent && item->parent->kind == ShellItemKind::Library;
        const std::string question =
            inLibrary ? "Remove the folder \"" + item->name + "\" from the library \"" + item->parent->name + "\"?"
                      : "Move \"" + item->name + "\" to the Trash?";
        const std::string record = ShellNamespace::SelectionRecord(*item);
        if (!prompt_->AskYesNo(question)) return;
        // The tree may have changed while the question was open.
        item = SelectedItem();
        if (!item || ShellNamespace::SelectionRecord(*item) != record) return;
    }
    busy_ = true;
    std::string error;
    quiet_ = true;
    ShellItem* next = shell_.Delete(*item, error);
    quiet_ = false;
    busy_ = false;
    if (!next) return Fail(error);
    Select(next);
}

void CShellTree::CheckSelection() {
    if (busy_) return;
    const ShellItem* item = SelectedItem();
    if (!item || shell_.Exists(*item)) return;
    // The folder went (or its volume): the tree follows the disk, and nothing stays selected.
    ShellItem* parent = item->parent;
    while (parent && !shell_.Exists(*parent)) parent = parent->parent;
    quiet_ = true;
    setCurrentIndex({});
    if (parent) shell_.Refresh(*parent, true, true);
    quiet_ = false;
}

void CShellTree::UpdateLibraries() { emit LibrariesChanged(); }

void CShellTree::OnLibrariesChanged() {
    if (busy_) return;
    const ShellItem* selected = SelectedItem();
    const std::string record = selected ? ShellNamespace::SelectionRecord(*selected) : std::string();
    const bool underLibraries = selected && [&] {
        for (const ShellItem* up = selected; up; up = up->parent)
            if (up->kind == ShellItemKind::Libraries) return true;
        return false;
    }();
    quiet_ = true;
    shell_.RefreshLibraries();
    quiet_ = false;
    // A library shown in the browser is shown again as it now is.
    if (underLibraries && SelectedItem() && ShellNamespace::SelectionRecord(*SelectedItem()) == record) Report();
}

void CShellTree::mousePressEvent(QMouseEvent* event) {
    ++choices_;
    QTreeView::mousePressEvent(event);
}

void CShellTree::keyPressEvent(QKeyEvent* event) {
    ++choices_;
    if (event->key() == Qt::Key_Delete && state() != QAbstractItemView::EditingState) {
        DeleteSelected();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void CShellTree::contextMenuEvent(QContextMenuEvent* event) {
    ShellItem* item = model_->ItemOf(indexAt(event->pos()));
    if (!libraries_) return;
    QMenu menu(this);
    QAction* newLibrary = menu.addAction(QStringLiteral("New library..."));
    QMenu* include = nullptr;
    if (item && item->IsFolder() && !item->path.empty()) {
        include = menu.addMenu(QStringLiteral("Include folder in library"));
        for (const std::filesystem::path& file : libraries_->Libraries()) {
            QAction* action = include->addAction(QFile::decodeName(QByteArray::fromStdString(CWin7Library::DisplayName(file))));
            action->setData(QFile::decodeName(QByteArray::fromStdString(file.string())));
        }
        include->setEnabled(!include->isEmpty());
    }
    const std::string record = item ? ShellNamespace::SelectionRecord(*item) : std::string();
    QAction* chosen = menu.exec(event->globalPos());
    if (!chosen) return;
    // The tree may have changed while the menu was open: the item is looked up again.
    item = record.empty() ? nullptr : shell_.Restore(record);
    if (chosen == newLibrary) {
        bool ok = false;
        const QString name = QInputDialog::getText(this, QStringLiteral("New library"), QStringLiteral("Library name:"),
                                                   QLineEdit::Normal, QString(), &ok);
        if (!ok || name.trimmed().isEmpty()) return;
        std::vector<std::filesystem::path> folders;
        if (item && item->IsFolder() && !item->path.empty()) folders.push_back(item->path);
        busy_ = true;
        ShellItem* created = shell_.NewLibrary(ToStd(name.trimmed()), folders);
        busy_ = false;
        if (!created) return Fail("The library " + ToStd(name) + " cannot be made.");
        Select(created);
        return;
    }
    if (item && chosen->data().isValid()) {
        const std::filesystem::path file(ToStd(chosen->data().toString()));
        ShellItem* library = shell_.FindLibrary(CWin7Library::DisplayName(file));
        busy_ = true;
        const bool added = library && shell_.IncludeInLibrary(*library, item->path);
        busy_ = false;
        if (!added) Fail("The folder cannot be included in the library.");
    }
}

}  // namespace kv::ui
