#pragma once

#include <QAbstractItemModel>
#include <QPersistentModelIndex>
#include <functional>
#include <unordered_map>
#include <vector>

#include "browser/ShellNamespace.h"

namespace kv::ui {

// The folder tree as a Qt model over the namespace: items are filled on their first expansion
// (fetchMore), and the namespace's own changes (refreshes, renames, deletions) arrive as row
// insertions and removals, so that expanded branches and the selection stay where they are.
class ShellTreeModel final : public QAbstractItemModel, private IShellNamespaceObserver {
    Q_OBJECT
public:
    explicit ShellTreeModel(ShellNamespace& shell, QObject* parent = nullptr);
    ~ShellTreeModel() override;

    ShellNamespace& shell() { return shell_; }
    ShellItem* ItemOf(const QModelIndex& index) const;
    QModelIndex IndexOf(const ShellItem* item) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // Runs a search of the namespace (SearchPath, SearchRecord) to its end without listing a
    // folder or a volume on this thread: each listing it waits for is made on the thread pool, as
    // an expansion's is, and the search is asked again once it is in. done gets the item found or
    // null, on this thread (at once when nothing had to be listed); never once the model is gone.
    using Search = std::function<ShellNamespace::PathSearch()>;
    void SearchLater(Search search, std::function<void(ShellItem*)> done);
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A label typed in place: the rename is asked for, later, and the item reappears through the
    // refresh it brings; the model never keeps the typed label itself.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void RenameRequested(const QPersistentModelIndex& index, const QString& name);

private:
    // Lists an item's children on the thread pool and fills it on this thread if it still lives;
    // then runs (whether it lived or not). A listing under way is joined, not repeated.
    void ListLater(ShellItem& item, std::function<void()> then);
    void Filled(ShellItem* item);
    void BeforeRemove(ShellItem& parent, int row) override;
    void AfterRemove() override;
    void BeforeInsert(ShellItem& parent, int row) override;
    void AfterInsert() override;

    ShellNamespace& shell_;
    // What waits for the listings under way, by the item listed.
    std::unordered_map<const ShellItem*, std::vector<std::function<void()>>> waiting_;
};

}  // namespace kv::ui
