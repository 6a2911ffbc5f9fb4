#include "ui/browse/ShellTreeModel.h"

#include <QFile>
#include <QCoreApplication>
#include <QIcon>
#include <QPointer>
#include <QThreadPool>

namespace kv::ui {

namespace {

QIcon IconOf(const ShellItem& item) {
    switch (item.kind) {
        case ShellItemKind::Desktop: return QIcon::fromTheme(QStringLiteral("user-desktop"), QIcon::fromTheme("folder"));
        case ShellItemKind::Libraries: return QIcon::fromTheme(QStringLiteral("folder-library"), QIcon::fromTheme("folder"));
        case ShellItemKind::Library: return QIcon::fromTheme(QStringLiteral("folder-pictures"), QIcon::fromTheme("folder"));
        case ShellItemKind::Computer: return QIcon::fromTheme(QStringLiteral("computer"));
        case ShellItemKind::Folder:
            if (item.parent && item.parent->kind == ShellItemKind::Computer)
                return QIcon::fromTheme(item.path == "/" ? QStringLiteral("drive-harddisk") : QStringLiteral("drive-removable-media"));
            if (item.parent && item.parent->kind == ShellItemKind::Desktop && item.name == "Home")
                return QIcon::fromTheme(QStringLiteral("user-home"), QIcon::fromTheme("folder"));
            return QIcon::fromTheme(QStringLiteral("folder"));
    }
    return {};
}

}  // namespace

ShellTreeModel::ShellTreeModel(ShellNamespace& shell, QObject* parent) : QAbstractItemModel(parent), shell_(shell) {
    shell_.SetObserver(this);
}

ShellTreeModel::~ShellTreeModel() { shell_.SetObserver(nullptr); }

ShellItem* ShellTreeModel::ItemOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<ShellItem*>(index.internalPointer()) : nullptr;
}

QModelIndex ShellTreeModel::IndexOf(const ShellItem* item) const {
    if (!item) return {};
    return createIndex(item->IndexInParent(), 0, const_cast<ShellItem*>(item));
}

QModelIndex ShellTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) return {};
    if (!parent.isValid()) return row == 0 ? createIndex(0, 0, &shell_.Root()) : QModelIndex();
    const ShellItem* item = ItemOf(parent);
    if (static_cast<size_t>(row) >= item->children.size()) return {};
    return createIndex(row, 0, item->children[static_cast<size_t>(row)].get());
}

QModelIndex ShellTreeModel::parent(const QModelIndex& child) const {
    const ShellItem* item = ItemOf(child);
    return item ? IndexOf(item->parent) : QModelIndex();
}

int ShellTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return 1;
    return static_cast<int>(ItemOf(parent)->children.size());
}

int ShellTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool ShellTreeModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid()) return true;
    const ShellItem* item = ItemOf(parent);
    return item->filled ? !item->children.empty() : item->mayHaveChildren;
}

bool ShellTreeModel::canFetchMore(const QModelIndex& parent) const {
    const ShellItem* item = ItemOf(parent);
    return item && !item->filled && !item->listing;
}

void ShellTreeModel::fetchMore(const QModelIndex& parent) {
    ShellItem* item = ItemOf(parent);
    if (!item || item->filled || item->listing) return;
    if (!shell_.ListerFor(*item)) {
        shell_.Fill(*item);
        Filled(item);
        return;
    }
    ListLater(*item, {});
}

void ShellTreeModel::SearchLater(Search search, std::function<void(ShellItem*)> done) {
    const ShellNamespace::PathSearch step = search();
    if (!step.toList) {
        if (done) done(step.found);
        return;
    }
    // Each listing fills one more item on the way, so the search ends.
    ListLater(*step.toList, [this, search = std::move(search), done = std::move(done)]() mutable {
        SearchLater(std::move(search), std::move(done));
    });
}

void ShellTreeModel::ListLater(ShellItem& item, std::function<void()> then) {
    std::vector<std::function<void()>>& waiting = waiting_[&item];
    if (then) waiting.push_back(std::move(then));
    if (item.listing) return;
    std::function<std::vector<ShellChild>()> lister = shell_.ListerFor(item);
    // Folders and volumes are listed on another thread: a slow or dead mount never holds up the
    // window. The item may be gone when the listing comes back.
    item.listing = true;
    QPointer<ShellTreeModel> self(this);
    std::weak_ptr<const bool> alive = item.alive;
    ShellItem* listed = &item;
    QThreadPool::globalInstance()->start([lister = std::move(lister), self, alive, listed] {
        std::vector<ShellChild> children = lister();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, alive, listed, children = std::move(children)]() mutable {
                if (!self) return;
                const auto waiting = self->waiting_.extract(listed);
                if (!alive.expired()) {
                    listed->listing = false;
                    self->shell_.FillWith(*listed, std::move(children));
                    self->Filled(listed);
                }
                if (waiting.empty()) return;
                for (const std::function<void()>& then : waiting.mapped()) {
                    if (!self) return;
                    then();
                }
            },
            Qt::QueuedConnection);
    });
}

void ShellTreeModel::Filled(ShellItem* item) {
    // An item that turned out empty loses its expansion button.
    if (item->children.empty()) {
        const QModelIndex index = IndexOf(item);
        emit dataChanged(index, index);
    }
}

QVariant ShellTreeModel::data(const QModelIndex& index, int role) const {
    const ShellItem* item = ItemOf(index);
    if (!item) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::AccessibleTextRole: return QFile::decodeName(QByteArray::fromStdString(item->name));
        case Qt::DecorationRole: return IconOf(*item);
        case Qt::ToolTipRole:
            return item->path.empty() ? QVariant() : QVariant(QFile::decodeName(QByteArray::fromStdString(item->path.string())));
        default: return {};
    }
}

Qt::ItemFlags ShellTreeModel::flags(const QModelIndex& index) const {
    const ShellItem* item = ItemOf(index);
    if (!item) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (shell_.CanRename(*item)) flags |= Qt::ItemIsEditable;
    return flags;
}

bool ShellTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !ItemOf(index) || value.toString().isEmpty()) return false;
    emit RenameRequested(QPersistentModelIndex(index), value.toString());
    return false;
}

void ShellTreeModel::BeforeRemove(ShellItem& parent, int row) { beginRemoveRows(IndexOf(&parent), row, row); }
void ShellTreeModel::AfterRemove() { endRemoveRows(); }
void ShellTreeModel::BeforeInsert(ShellItem& parent, int row) { beginInsertRows(IndexOf(&parent), row, row); }
void ShellTreeModel::AfterInsert() { endInsertRows(); }

}  // namespace kv::ui
