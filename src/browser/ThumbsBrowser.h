#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/CommandRouter.h"
#include "base/Geometry.h"
#include "base/ListenerSlot.h"
#include "base/UserPrompt.h"
#include "batch/CItemList.h"
#include "browser/BrowserStatus.h"
#include "browser/ContextMenus.h"
#include "browser/IFileClipboard.h"
#include "browser/IThumbsView.h"
#include "browser/SortModes.h"
#include "browser/ThumbUpdate.h"
#include "browser/ThumbsGrid.h"
#include "browser/ThumbnailCache.h"

namespace kv {

class CThumbsBuilderThreads;

// The keys held with a click, a move or a navigation key.
struct Modifiers {
    bool shift = false;
    bool ctrl = false;
};

enum class NavigationKey { Left, Right, Up, Down, PageUp, PageDown, Home, End };

// What a drop over the browser would do with the files.
enum class DropEffect { None, Copy, Move };

// The browsers list more files than this before every paint moves the visible files without a
// thumbnail to the front of the builders' work.
inline constexpr size_t kPromoteVisibleAbove = 40;
// A press becomes a drag once the pointer leaves this many pixels around it.
inline constexpr int32_t kDragSlop = 2;
// A repainted cell takes this much around it, so that the card's antialiased edge goes too.
inline constexpr int32_t kCellRepaintMargin = 3;

// What the collaborators of a browser are. The cache and the builders are the program's (tests
// give their own); the clipboard and the prompt may be absent.
struct ThumbsBrowserServices {
    CMapStringToObPlus& cache;
    CThumbsBuilderThreads* builders = nullptr;
    IUserPrompt* prompt = nullptr;
    IFileClipboard* clipboard = nullptr;
    SortMode sortMode = SortMode::Name;
    int zoom = kLargeIconsZoom;
};

// A grid of thumbnail cells over a list of files, without a window: the view that hosts it
// (IThumbsView) hands it the mouse, the keys, the timers and the paints, and the browser keeps the
// selection, the layout, the rubber band, the drag, the sort order and the status texts. Only the
// visible cells are drawn; past kPromoteVisibleAbove files the visible ones are built first.
//
// Everything runs on the user-interface thread, except OnThumbReady, which the builder threads call.
class CThumbsBrowser : public IThumbUpdate, public ICommandHandler {
public:
    // The items are the browser's to show and reorder; their owner keeps them alive.
    CThumbsBrowser(CItemList& items, ThumbsBrowserServices services);
    virtual ~CThumbsBrowser();
    CThumbsBrowser(const CThumbsBrowser&) = delete;
    CThumbsBrowser& operator=(const CThumbsBrowser&) = delete;

    // The view that shows the browser, or none once it goes. Setting one sizes its scroll bars.
    void SetHost(IThumbsView* view);
    IThumbsView* host() const { return host_; }

    CItemList& items() { return items_; }
    const CItemList& items() const { return items_; }
    CMapStringToObPlus& cache() { return cache_; }
    SortMode sortMode() const { return sortMode_; }
    int zoom() const { return zoom_; }
    // Large or small icons: the cells take their size at the new zoom and the view repaints.
    void SetZoom(int zoom);
    PixelSize CellSize() const { return ThumbCellSize(zoom_); }
    // The grid at the view's present client size.
    ThumbsGrid Grid() const;
    // The view's scroll bars follow the items and the client size (after a resize, too).
    void UpdateScrollSizes();
    // The items changed as a whole: the builders get the paths in display order, the view repaints.
    virtual void Rebuild();

    // --- Painting ---
    struct CellPaint {
        size_t index = 0;
        PixelRect rect;  // client coordinates
        bool selected = false;
        const CItem* item = nullptr;
        CMapStringToObPlus::Cell cell;  // the cached cell, or null: the fallback picture is drawn
    };
    struct PaintPlan {
        std::vector<CellPaint> cells;
        std::optional<PixelRect> rubberBand;  // client coordinates
        // During a drag within the view: the cell the files would be put before (client coordinates
        // of its rectangle), or past the end.
        std::optional<PixelRect> insertionCell;
    };
    // What to draw in an area of the client: the cells that meet it, looked up in the cache under
    // its lock. Past kPromoteVisibleAbove items the visible files without a cell go to the front of
    // the builders' work.
    PaintPlan Paint(const PixelRect& area);
    // The cached cell of a path, or null.
    CMapStringToObPlus::Cell CachedCell(const std::filesystem::path& path);

    // --- Mouse ---
    void MouseDown(PixelPoint point, Modifiers modifiers);
    void MouseMove(PixelPoint point, bool leftButton, Modifiers modifiers);
    void MouseUp(PixelPoint point, Modifiers modifiers);
    virtual void DoubleClick(PixelPoint point);
    // A tick of the auto-scroll timer: the rubber band goes on scrolling while there is room.
    void OnAutoScrollTick(PixelPoint pointer);
    bool RubberBandActive() const { return state_ == MouseState::RubberBand; }
    bool DragArmed() const { return state_ == MouseState::DragArmed; }
    // The item under the pointer, or nothing.
    std::optional<size_t> hotItem() const { return hot_; }

    // --- Keyboard: false for a key the browser does not take. ---
    bool KeyDown(NavigationKey key, Modifiers modifiers);

    // --- The 100 ms timer: selected names too wide for their label scroll along. ---
    void OnLabelTimer();

    // --- Tool tips and the context menu ---
    virtual std::string TooltipAt(PixelPoint point);
    // A right press: selects the item under it (alone, unless it is selected), then the menu.
    void ContextMenuAt(PixelPoint point);
    ContextMenu MenuFor(ContextMenuKind kind) const;

    // --- Commands of the context menus and the keys ---
    bool HandlesCommand(int id) const override;
    CommandState CommandStateOf(int id) const override;
    void OnCommand(int id) override;

    void SelectAll();
    void Sort(SortMode mode);
    // The selected files, each followed by its sound note, go to the clipboard (copied, or cut to
    // be moved by whoever pastes them).
    void CopySelection(bool cut = false);
    bool CanPaste() const;
    virtual void Paste() {}
    // The selected files with their sound notes, in display order.
    std::vector<std::filesystem::path> SelectedFilesWithNotes() const;

    // --- In-place renaming ---
    // Opens the editor over the name of the one selected item (F2); false without one.
    bool RenameSelected();
    // The editor's typed name for a file.
    void CommitRename(const std::filesystem::path& file, const std::string& typedName);

    // --- Drag and drop: the view's drop target hands these on. internal: the drag began here. ---
    virtual DropEffect DragEnter(bool offersFiles);
    virtual DropEffect DragOver(PixelPoint point, bool offersFiles, Modifiers modifiers);
    virtual void DragLeave();
    virtual void Drop(PixelPoint point, const std::optional<FileList>& files, DropEffect effect);
    bool InternalDrag() const { return internalDrag_; }

    // --- Status ---
    BrowserStatus Status();
    void UpdateStatus();

    // From a builder thread: asks the view to repaint later.
    void OnThumbReady(std::string path, int flag) override;

protected:
    // The folder browser reads its folder again; a list without a folder rebuilds.
    virtual void Refresh() { Rebuild(); }
    // After a rename: the cached cell moves along (a browser whose files are not its own may do less).
    virtual void OnFileRenamed(const std::filesystem::path& oldPath, const std::filesystem::path& newPath);
    virtual void OnCurrentFileChanged() {}
    virtual void ShowProperties();
    // The entries of a context menu, without their states.
    virtual std::vector<ContextMenuEntry> MenuEntries(ContextMenuKind kind) const;
    // The sort orders the menus offer.
    virtual std::vector<int> SortCommands() const;
    // A press on an item has been handled; the batch list chooses it.
    virtual void OnItemPressed(size_t index, Modifiers modifiers) {
        (void)index;
        (void)modifiers;
    }
    // Pauses the folder watching around the browser's own changes to its files.
    virtual void PauseMonitor() {}
    virtual void ResumeMonitor() {}

    // The items a drag from here took, in display order (they may have changed since).
    const std::vector<const CItem*>& draggedItems() const { return dragged_; }
    void EndInternalDrag();
    // Where a drag within the view would put its files: before this index (the count: at the end).
    void SetInsertion(std::optional<size_t> index);
    IUserPrompt* prompt() const { return prompt_; }
    IFileClipboard* clipboard() const { return clipboard_; }
    // Stops hearing from the builders. A derived browser calls it first in its destructor: a
    // builder may be announcing a thumbnail meanwhile, and must be done before any part goes.
    void StopListening();

    void Select(size_t index, bool selected);
    void DeselectAll();
    void RepaintItem(size_t index);
    // The point in content coordinates.
    PixelPoint ToContent(PixelPoint client) const;
    PixelRect ToClient(const PixelRect& content) const;

private:
    enum class MouseState { Idle, DragArmed, RubberBand };

    void PressItem(size_t index, Modifiers modifiers);
    void ReleaseItem(std::optional<size_t> index);
    void StartDrag();
    void TrackRubberBand(PixelPoint point);
    // Scrolls one line toward the pointer when it is above or below the client area; the amount
    // scrolled.
    int32_t AutoScroll(PixelPoint point);
    void ScrollIntoView(size_t index);
    void EndMouse();

    CItemList& items_;
    CMapStringToObPlus& cache_;
    CThumbsBuilderThreads* builders_;
    IUserPrompt* prompt_;
    IFileClipboard* clipboard_;
    SortMode sortMode_;
    int zoom_;
    IThumbsView* host_ = nullptr;
    ListenerSlot<IThumbsView> readyRelay_;

    MouseState state_ = MouseState::Idle;
    PixelPoint press_;  // content coordinates
    bool pendingToggle_ = false;
    bool pressedItem_ = false;  // a plain press on an item waits for its release rule
    PixelRect band_;            // content coordinates
    PixelPoint bandAnchor_;     // content coordinates
    bool autoScrolling_ = false;
    Modifiers bandModifiers_;
    std::optional<size_t> hot_;
    std::optional<size_t> insertion_;
    bool internalDrag_ = false;
    std::vector<const CItem*> dragged_;

    // The single selected file as last reported, to tell when it changed.
    struct CurrentFile {
        std::filesystem::path path;
        double size = 0;
        int64_t modified = 0;
        bool operator==(const CurrentFile&) const = default;
    };
    std::optional<CurrentFile> current_;
    bool buttonHeld_ = false;
};

}  // namespace kv
