#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "app/SettingsStore.h"
#include "base/Geometry.h"

namespace kv {

// The two zooms of the thumbnail grids, kLargeIconsZoom and kSmallIconsZoom, come with the settings.

// A thumbnail cell's size at a zoom: the picture box scaled and rounded, with the card around it
// and the name under it (232 x 197 at 100, 157 x 141 at 66).
PixelSize ThumbCellSize(int zoom);

// The first and last item (inclusive) whose cells meet an area; empty when none does.
struct ItemRange {
    size_t first = 0;
    size_t last = 0;
    bool empty = true;
};

// Where the cells of a grid stand. Positions are in content coordinates: (0, 0) is the top-left
// corner of the first row, whatever the scroll position. Cells fill the rows left to right, each
// centred in an equal share of the client width; rows are one cell height apart.
class ThumbsGrid {
public:
    ThumbsGrid(size_t count, PixelSize cell, PixelSize client);

    size_t count() const { return count_; }
    PixelSize cell() const { return cell_; }
    // The client width divided by the cell width, at least 1.
    int32_t Columns() const { return columns_; }
    // The rows the items take, at least 1.
    int32_t Rows() const;
    // Whole rows the client area shows, at least 1.
    int32_t VisibleRows() const;
    // What the scroll bars span: the columns' cells by the rows, or 1 x 1 while the client area is empty.
    PixelSize ContentSize() const;

    PixelRect CellRect(size_t index) const;
    // The item whose cell holds the point, or nothing (empty space, or past the last item).
    std::optional<size_t> ItemAt(PixelPoint point) const;
    // The index a drop at the point goes before: the item under it, or the count past the last item.
    size_t DropIndexAt(PixelPoint point) const;
    // The items whose cells meet a rectangle.
    ItemRange ItemsMeeting(const PixelRect& area) const;

    // The vertical scroll position that brings a cell into view, or nothing when it need not move:
    // a cell above the client area comes to its top; one below is scrolled down by its overshoot
    // and one cell more.
    std::optional<int32_t> ScrollToShow(size_t index, int32_t scrollY) const;

private:
    // The left edge of the share of client width that a column's cell is centred in.
    int32_t ColumnLeft(int32_t column) const;

    size_t count_;
    PixelSize cell_;
    PixelSize client_;
    int32_t columns_;
};

}  // namespace kv
