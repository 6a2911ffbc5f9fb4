#pragma once

#include <functional>
#include <optional>
#include <string>

#include "batch/BatchList.h"
#include "batch/IBatchListListener.h"
#include "browser/ThumbsBrowser.h"

namespace kv {

// What the batch list's view draws while the list is empty, in Arial, across half its width.
inline constexpr const char* kEmptyBasketText = "Drag'n'drop images into this area";
// The font height (in pixels) of that text: measured at height 100, scaled to half the client
// width, at least 4.
int EmptyBasketFontHeight(int clientWidth, int widthAtHeight100);

// The batch list in batch mode's lower row: the thumbnail grid over the batch list's items. Files
// come in by a drop or a paste (asking before a second copy of a file), leave by "&Remove", and
// change places by a drag within the view. A click on an item chooses it: its values go to the
// settings bar and its image is opened.
class CBasketBrowser final : public CThumbsBrowser, public IBatchListListener {
public:
    // itemHost: the frame, which shows or opens a chosen item; may be set later.
    CBasketBrowser(BatchList& list, ThumbsBrowserServices services, IBatchItemHost* itemHost = nullptr);
    ~CBasketBrowser() override;

    BatchList& list() { return list_; }
    void SetItemHost(IBatchItemHost* host) { itemHost_ = host; }
    // Called when the list was filled from the command line or a batch file while batch mode is off.
    void SetBatchModeRequest(std::function<void()> request) { batchModeRequest_ = std::move(request); }

    void RemoveSelected();
    void Paste() override;

    bool HandlesCommand(int id) const override;
    CommandState CommandStateOf(int id) const override;
    void OnCommand(int id) override;

    std::string TooltipAt(PixelPoint point) override;

    DropEffect DragEnter(bool offersFiles) override;
    DropEffect DragOver(PixelPoint point, bool offersFiles, Modifiers modifiers) override;
    void Drop(PixelPoint point, const std::optional<FileList>& files, DropEffect effect) override;

    // The batch list's news.
    void OnRebuild(const std::vector<std::filesystem::path>& paths) override;
    void OnItemsChanged() override;
    void OnBatchModeWanted() override;

protected:
    void Refresh() override { list_.Rebuild(); }
    std::vector<ContextMenuEntry> MenuEntries(ContextMenuKind kind) const override;
    std::vector<int> SortCommands() const override;
    void OnItemPressed(size_t index, Modifiers modifiers) override;

private:
    BatchList& list_;
    IBatchItemHost* itemHost_;
    std::function<void()> batchModeRequest_;
};

}  // namespace kv
