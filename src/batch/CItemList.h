#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "batch/CItem.h"

namespace kv {

// The items of a browser in display order; the batch list keeps its images in one too. The list
// owns its items, and an item keeps its address while the list changes around it, so that a
// browser may remember which items a drag took.
class CItemList {
public:
    size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    CItem& operator[](size_t index) { return *items_[index]; }
    const CItem& operator[](size_t index) const { return *items_[index]; }
    CItem& at(size_t index) { return *items_.at(index); }
    const CItem& at(size_t index) const { return *items_.at(index); }

    CItem& Append(std::unique_ptr<CItem> item) {
        items_.push_back(std::move(item));
        return *items_.back();
    }
    void Clear() { items_.clear(); }
    // Deletes every selected item, walking from the tail to the head.
    void RemoveSelected();
    // Puts the items in a new order: order[i] is the index, in the present order, of the item that
    // comes i-th. order must name every index once.
    void Reorder(std::span<const size_t> order);
    // Moves these items, together and in the order given, to the place of the item `before`: in
    // front of it when it is not among them, where it stood among the others when it is, and to
    // the end when it is null. Items not of this list are ignored.
    void MoveItems(std::span<const CItem* const> moved, const CItem* before);
    // The index of an item of this list, or nothing.
    std::optional<size_t> IndexOf(const CItem* item) const;

    std::vector<std::filesystem::path> Paths() const;

    // The selection.
    size_t SelectedCount() const;
    std::optional<size_t> FirstSelected() const;
    std::optional<size_t> LastSelected() const;
    std::vector<size_t> SelectedIndices() const;

private:
    std::vector<std::unique_ptr<CItem>> items_;
};

}  // namespace kv
