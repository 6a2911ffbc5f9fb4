// The browser's mouse, keyboard and drag and drop: the click rules of the selection, the rubber
// band with its scrolling, renaming on a click into the selected item's name, and the drag.
#include <algorithm>
#include <cstdlib>

#include "browser/InPlaceRename.h"
#include "browser/ThumbsBrowser.h"

namespace kv {

namespace {

PixelRect Spanning(PixelPoint a, PixelPoint b) {
    // One pixel wider than the points so that a band that has not moved still has an area.
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1};
}

}  // namespace

void CThumbsBrowser::MouseDown(PixelPoint point, Modifiers modifiers) {
    if (host_) host_->StopAutoScroll();
    autoScrolling_ = false;
    const PixelPoint content = ToContent(point);
    const ThumbsGrid grid = Grid();
    const std::optional<size_t> index = grid.ItemAt(content);

    // A press into the name of the one selected item renames it.
    const std::vector<size_t> selected = items_.SelectedIndices();
    if (index && selected.size() == 1 && selected.front() == *index && !modifiers.ctrl && !modifiers.shift) {
        const CPaletteItem plain;
        const PixelRect label = plain.LabelRect(grid.CellRect(*index));
        if (content.y >= label.top && content.y < label.bottom && content.x >= label.left && content.x < label.right) {
            EndMouse();
            if (host_) host_->BeginRename(ToClient(label), items_[*index].path, EditableName(items_[*index].path));
            return;
        }
    }

    buttonHeld_ = true;
    if (index) {
        PressItem(*index, modifiers);
        press_ = content;
        state_ = MouseState::DragArmed;
    } else {
        DeselectAll();
        state_ = MouseState::RubberBand;
        bandAnchor_ = content;
        band_ = Spanning(content, content);
        bandModifiers_ = modifiers;
    }
    UpdateStatus();
    if (index) OnItemPressed(*index, modifiers);
}

void CThumbsBrowser::PressItem(size_t index, Modifiers modifiers) {
    if (modifiers.ctrl) {
        pendingToggle_ = true;
        return;
    }
    if (modifiers.shift) {
        const size_t anchor = items_.FirstSelected().value_or(0);
        const size_t from = std::min(anchor, index);
        const size_t to = std::max(anchor, index);
        for (size_t i = 0; i < items_.size(); ++i) Select(i, i >= from && i <= to);
        return;
    }
    if (!items_[index].selected) {
        DeselectAll();
        Select(index, true);
    }
    pressedItem_ = true;
}

void CThumbsBrowser::ReleaseItem(std::optional<size_t> index) {
    if (!index) return;
    if (items_[*index].selected) {
        const std::optional<size_t> last = items_.LastSelected();
        if (last && *last == *index) return;
    }
    DeselectAll();
    Select(*index, true);
}

void CThumbsBrowser::MouseMove(PixelPoint point, bool leftButton, Modifiers modifiers) {
    (void)modifiers;
    const PixelPoint content = ToContent(point);
    if (!leftButton) {
        if (state_ != MouseState::Idle) EndMouse();
        hot_ = Grid().ItemAt(content);
        return;
    }
    switch (state_) {
        case MouseState::DragArmed:
            if (std::abs(content.x - press_.x) > kDragSlop || std::abs(content.y - press_.y) > kDragSlop) StartDrag();
            break;
        case MouseState::RubberBand: TrackRubberBand(point); break;
        case MouseState::Idle: break;
    }
}

void CThumbsBrowser::MouseUp(PixelPoint point, Modifiers modifiers) {
    (void)modifiers;
    if (host_) host_->StopAutoScroll();
    autoScrolling_ = false;
    const std::optional<size_t> index = Grid().ItemAt(ToContent(point));
    if (state_ == MouseState::RubberBand) {
        if (host_) host_->RepaintRect(ToClient(band_));
    } else if (pendingToggle_) {
        if (index) Select(*index, !items_[*index].selected);
    } else if (pressedItem_) {
        ReleaseItem(index);
    }
    state_ = MouseState::Idle;
    pendingToggle_ = false;
    pressedItem_ = false;
    buttonHeld_ = false;
    UpdateStatus();
}

void CThumbsBrowser::DoubleClick(PixelPoint point) { (void)point; }

void CThumbsBrowser::EndMouse() {
    if (state_ == MouseState::RubberBand && host_) host_->RepaintRect(ToClient(band_));
    if (autoScrolling_ && host_) host_->StopAutoScroll();
    autoScrolling_ = false;
    state_ = MouseState::Idle;
    pendingToggle_ = false;
    pressedItem_ = false;
    buttonHeld_ = false;
}

int32_t CThumbsBrowser::AutoScroll(PixelPoint point) {
    if (!host_) return 0;
    const PixelSize client = host_->ClientSize();
    const PixelPoint scroll = host_->ScrollPosition();
    const int32_t line = CellSize().height;
    const int32_t room = std::max(0, Grid().ContentSize().height - client.height);
    int32_t target = scroll.y;
    if (point.y >= client.height) target = std::min(room, scroll.y + line);
    else if (point.y < 0) target = std::max(0, scroll.y - line);
    const bool outside = point.y >= client.height || point.y < 0;
    if (outside && !autoScrolling_) {
        host_->StartAutoScroll();
        autoScrolling_ = true;
    }
    if (target == scroll.y) return 0;
    host_->ScrollTo({scroll.x, target});
    return host_->ScrollPosition().y - scroll.y;
}

void CThumbsBrowser::TrackRubberBand(PixelPoint point) {
    const PixelRect before = band_;
    AutoScroll(point);
    // The anchor is kept in content coordinates, so that it stays on the content as the view scrolls.
    const PixelPoint content = ToContent(point);
    band_ = Spanning(bandAnchor_, content);
    const ThumbsGrid grid = Grid();
    for (size_t i = 0; i < items_.size(); ++i) Select(i, !grid.CellRect(i).Intersect(band_).IsEmpty());
    if (host_) {
        host_->RepaintRect(ToClient(before));
        host_->RepaintRect(ToClient(band_));
    }
    UpdateStatus();
}

void CThumbsBrowser::OnAutoScrollTick(PixelPoint pointer) {
    if (state_ != MouseState::RubberBand || !host_) {
        if (host_) host_->StopAutoScroll();
        autoScrolling_ = false;
        return;
    }
    const PixelSize client = host_->ClientSize();
    const PixelPoint scroll = host_->ScrollPosition();
    const int32_t room = std::max(0, Grid().ContentSize().height - client.height);
    const bool canScroll = (pointer.y >= client.height && scroll.y < room) || (pointer.y < 0 && scroll.y > 0);
    if (canScroll) TrackRubberBand(pointer);
}

// --- Keyboard ---

bool CThumbsBrowser::KeyDown(NavigationKey key, Modifiers modifiers) {
    const int64_t count = static_cast<int64_t>(items_.size());
    if (count == 0) return true;
    const int64_t lastIndex = count - 1;
    const ThumbsGrid grid = Grid();
    const int64_t columns = grid.Columns();
    const int64_t page = columns * grid.VisibleRows();
    const std::optional<size_t> firstSelected = items_.FirstSelected();
    const std::optional<size_t> lastSelected = items_.LastSelected();

    int64_t target = 0;
    int64_t from = 0;
    int64_t to = 0;
    if (!firstSelected) {
        target = key == NavigationKey::End ? lastIndex : 0;
        from = to = target;
    } else {
        const int64_t first = static_cast<int64_t>(*firstSelected);
        const int64_t last = static_cast<int64_t>(*lastSelected);
        // Moving forward keeps the first end of the selection, moving back the last.
        const auto forward = [&](int64_t t) {
            target = std::min(t, lastIndex);
            from = first;
            to = target;
        };
        const auto back = [&](int64_t t) {
            target = std::max<int64_t>(t, 0);
            from = target;
            to = last;
        };
        switch (key) {
            case NavigationKey::Right: forward(last + 1); break;
            case NavigationKey::Left: back(first - 1); break;
            case NavigationKey::Down: forward(last + columns); break;
            case NavigationKey::Up: back(first - columns); break;
            case NavigationKey::PageDown: forward(last + page); break;
            case NavigationKey::PageUp: back(first - page); break;
            case NavigationKey::Home: back(0); break;
            case NavigationKey::End: forward(lastIndex); break;
        }
    }
    if (!modifiers.shift) from = to = target;
    for (int64_t i = 0; i < count; ++i) Select(static_cast<size_t>(i), i >= from && i <= to);
    if (host_) {
        if (const std::optional<int32_t> y = grid.ScrollToShow(static_cast<size_t>(target), host_->ScrollPosition().y))
            host_->ScrollTo({host_->ScrollPosition().x, *y});
    }
    UpdateStatus();
    return true;
}

// --- Drag and drop ---

void CThumbsBrowser::StartDrag() {
    hot_.reset();
    state_ = MouseState::Idle;
    pressedItem_ = false;
    pendingToggle_ = false;
    buttonHeld_ = false;
    dragged_.clear();
    for (const size_t i : items_.SelectedIndices()) dragged_.push_back(&items_[i]);
    if (dragged_.empty() || !host_) return;
    internalDrag_ = true;
    host_->StartDrag(SelectedFilesWithNotes());
    EndInternalDrag();
}

void CThumbsBrowser::EndInternalDrag() {
    internalDrag_ = false;
    dragged_.clear();
    insertion_.reset();
    hot_.reset();
    if (host_) host_->RepaintAll();
}

DropEffect CThumbsBrowser::DragEnter(bool offersFiles) {
    return internalDrag_ || offersFiles ? DropEffect::Copy : DropEffect::None;
}

DropEffect CThumbsBrowser::DragOver(PixelPoint point, bool offersFiles, Modifiers modifiers) {
    (void)point;
    (void)offersFiles;
    (void)modifiers;
    return DropEffect::None;
}

void CThumbsBrowser::DragLeave() {
    hot_.reset();
    if (insertion_) {
        insertion_.reset();
        if (host_) host_->RepaintAll();
    }
}

void CThumbsBrowser::Drop(PixelPoint point, const std::optional<FileList>& files, DropEffect effect) {
    (void)point;
    (void)files;
    (void)effect;
    DragLeave();
}

}  // namespace kv
