#include "batch/CItemList.h"

#include <algorithm>

namespace kv {

void CItemList::RemoveSelected() {
    for (size_t i = items_.size(); i-- > 0;)
        if (items_[i]->selected) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
}

void CItemList::Reorder(std::span<const size_t> order) {
    std::vector<std::unique_ptr<CItem>> reordered;
    reordered.reserve(items_.size());
    for (const size_t index : order) reordered.push_back(std::move(items_.at(index)));
    items_ = std::move(reordered);
}

void CItemList::MoveItems(std::span<const CItem* const> moved, const CItem* before) {
    const auto isMoved = [&](const CItem* item) { return std::find(moved.begin(), moved.end(), item) != moved.end(); };
    // Where `before` stands among the items that stay.
    std::optional<size_t> place;
    size_t staying = 0;
    for (const auto& own : items_) {
        if (own.get() == before) place = staying;
        if (!isMoved(own.get())) ++staying;
    }
    std::vector<std::unique_ptr<CItem>> taken;
    for (const CItem* item : moved) {
        const auto found = std::find_if(items_.begin(), items_.end(), [&](const auto& own) { return own.get() == item; });
        if (found != items_.end()) taken.push_back(std::move(*found));
    }
    std::erase_if(items_, [](const auto& own) { return !own; });
    const size_t at = place.value_or(items_.size());
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(taken.begin()),
                  std::make_move_iterator(taken.end()));
}

std::optional<size_t> CItemList::IndexOf(const CItem* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == item) return i;
    return std::nullopt;
}

std::vector<std::filesystem::path> CItemList::Paths() const {
    std::vector<std::filesystem::path> paths;
    paths.reserve(items_.size());
    for (const auto& item : items_) paths.push_back(item->path);
    return paths;
}

size_t CItemList::SelectedCount() const {
    return static_cast<size_t>(std::count_if(items_.begin(), items_.end(), [](const auto& item) { return item->selected != 0; }));
}

std::optional<size_t> CItemList::FirstSelected() const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->selected) return i;
    return std::nullopt;
}

std::optional<size_t> CItemList::LastSelected() const {
    for (size_t i = items_.size(); i-- > 0;)
        if (items_[i]->selected) return i;
    return std::nullopt;
}

std::vector<size_t> CItemList::SelectedIndices() const {
    std::vector<size_t> indices;
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->selected) indices.push_back(i);
    return indices;
}

}  // namespace kv
