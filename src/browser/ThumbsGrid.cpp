#include "browser/ThumbsGrid.h"

#include <algorithm>

#include "browser/PaletteItem.h"

namespace kv {

PixelSize ThumbCellSize(int zoom) {
    static const CPaletteItem plain;
    return plain.GetCellSize(zoom);
}

ThumbsGrid::ThumbsGrid(size_t count, PixelSize cell, PixelSize client)
    : count_(count), cell_(cell), client_(client),
      columns_(std::max<int32_t>(1, cell.width > 0 ? client.width / cell.width : 1)) {}

int32_t ThumbsGrid::Rows() const {
    const size_t columns = static_cast<size_t>(columns_);
    return std::max<int32_t>(1, static_cast<int32_t>((count_ + columns - 1) / columns));
}

int32_t ThumbsGrid::VisibleRows() const {
    return std::max<int32_t>(1, cell_.height > 0 ? client_.height / cell_.height : 1);
}

PixelSize ThumbsGrid::ContentSize() const {
    if (client_.IsEmpty()) return {1, 1};
    return {columns_ * cell_.width, Rows() * cell_.height};
}

int32_t ThumbsGrid::ColumnLeft(int32_t column) const {
    const int32_t share = client_.width / columns_;
    return column * share + (share - cell_.width) / 2;
}

PixelRect ThumbsGrid::CellRect(size_t index) const {
    const int32_t column = static_cast<int32_t>(index % static_cast<size_t>(columns_));
    const int32_t row = static_cast<int32_t>(index / static_cast<size_t>(columns_));
    const int32_t left = ColumnLeft(column);
    const int32_t top = row * cell_.height;
    return {left, top, left + cell_.width, top + cell_.height};
}

std::optional<size_t> ThumbsGrid::ItemAt(PixelPoint point) const {
    if (point.x < 0 || point.y < 0 || cell_.IsEmpty()) return std::nullopt;
    const size_t row = static_cast<size_t>(point.y / cell_.height);
    const int32_t share = std::max<int32_t>(1, client_.width / columns_);
    const int32_t column = point.x / share;
    if (column >= columns_) return std::nullopt;
    const size_t index = row * static_cast<size_t>(columns_) + static_cast<size_t>(column);
    if (index >= count_) return std::nullopt;
    const PixelRect cell = CellRect(index);
    if (point.x < cell.left || point.x >= cell.right) return std::nullopt;
    return index;
}

size_t ThumbsGrid::DropIndexAt(PixelPoint point) const {
    if (const auto index = ItemAt(point)) return *index;
    // Between two cells of a row the drop goes before the cell to the right.
    if (point.y >= 0 && !cell_.IsEmpty()) {
        const size_t row = static_cast<size_t>(point.y / cell_.height);
        const int32_t share = std::max<int32_t>(1, client_.width / columns_);
        const int32_t column = std::clamp<int32_t>((point.x + share / 2) / share, 0, columns_);
        if (column < columns_) {
            const size_t index = row * static_cast<size_t>(columns_) + static_cast<size_t>(column);
            if (index < count_) return index;
        }
    }
    return count_;
}

ItemRange ThumbsGrid::ItemsMeeting(const PixelRect& area) const {
    ItemRange range;
    if (count_ == 0 || area.IsEmpty() || cell_.IsEmpty()) return range;
    const int32_t firstRow = std::max(0, area.top / cell_.height);
    const int32_t lastRow = std::min(Rows() - 1, (area.bottom - 1) / cell_.height);
    for (int32_t row = firstRow; row <= lastRow; ++row) {
        for (int32_t column = 0; column < columns_; ++column) {
            const size_t index = static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column);
            if (index >= count_) break;
            if (CellRect(index).Intersect(area).IsEmpty()) continue;
            if (range.empty) range.first = index;
            range.last = index;
            range.empty = false;
        }
    }
    return range;
}

std::optional<int32_t> ThumbsGrid::ScrollToShow(size_t index, int32_t scrollY) const {
    if (ContentSize().height <= client_.height) return std::nullopt;  // the view cannot scroll
    const PixelRect cell = CellRect(index);
    if (cell.top < scrollY) return cell.top;
    const int32_t bottom = scrollY + client_.height;
    if (cell.bottom > bottom) return scrollY + (cell.bottom - bottom) + cell_.height;
    return std::nullopt;
}

}  // namespace kv

