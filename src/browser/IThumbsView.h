#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/Geometry.h"
#include "browser/BrowserStatus.h"
#include "browser/ContextMenus.h"

namespace kv {

// What a browser asks of the scrolling view that hosts it. Points and rectangles are in client
// coordinates, the view's scroll position is in content coordinates (what stands at the client
// area's top-left corner). Everything is called on the user-interface thread, except
// PostThumbReady.
class IThumbsView {
public:
    virtual PixelSize ClientSize() const = 0;
    virtual PixelPoint ScrollPosition() const = 0;
    // The scroll bars' range and their step.
    virtual void SetScrollSizes(PixelSize content, PixelSize line) = 0;
    // Scrolls to a position; the view keeps it within its range.
    virtual void ScrollTo(PixelPoint position) = 0;

    virtual void RepaintAll() = 0;
    virtual void RepaintRect(const PixelRect& area) = 0;
    // From a builder thread: a thumbnail is ready. The view repaints itself later, on its own
    // thread; it must not wait for that thread.
    virtual void PostThumbReady() = 0;

    // The timer that keeps a rubber band scrolling while the pointer is outside the view (50 ms):
    // each tick calls the browser's OnAutoScrollTick with the pointer's position.
    virtual void StartAutoScroll() = 0;
    virtual void StopAutoScroll() = 0;

    // Opens the in-place editor over a label with the name to edit, all of it selected. The
    // editor hands the typed name to the browser's CommitRename, with the path, unless cancelled.
    virtual void BeginRename(const PixelRect& label, const std::filesystem::path& file, const std::string& name) = 0;
    // Drags files out of the view (copy or move offered) and returns when the drag has ended.
    virtual void StartDrag(const std::vector<std::filesystem::path>& files) = 0;
    // Shows a context menu at a point; a chosen entry comes back through the browser's OnCommand.
    virtual void ShowContextMenu(const ContextMenu& menu, PixelPoint at) = 0;
    // The image details of a file ("Properties ...").
    virtual void ShowProperties(const std::filesystem::path& file) = 0;
    // The status bar's texts changed.
    virtual void ShowStatus(const BrowserStatus& status) = 0;
    // A long operation begins or ends: the wait cursor.
    virtual void SetBusy(bool busy) = 0;

protected:
    ~IThumbsView() = default;
};

}  // namespace kv
