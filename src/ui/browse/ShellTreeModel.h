#pragma once

#include <QAbstractItemModel>
#include <QPersistentModelIndex>

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
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A label typed in place: the rename is asked for, later, and the item reappears through the
    // refresh it brings; the model never keeps the typed label itself.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void RenameRequested(const QPersistentModelIndex& index, const QString& name);

private:
    void Filled(ShellItem* item);
    void BeforeRemove(ShellItem& parent, int row) override;
    void AfterRemove() override;
    void BeforeInsert(ShellItem& parent, int row) override;
    void AfterInsert() override;

    ShellNamespace& shell_;
};

}  // namespace kv::ui
