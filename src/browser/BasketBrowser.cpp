#include "browser/BasketBrowser.h"

#include <algorithm>

#include "base/CommandIds.h"

namespace kv {

int EmptyBasketFontHeight(int clientWidth, int widthAtHeight100) {
    if (widthAtHeight100 <= 0) return 4;
    return std::max(4, clientWidth * 50 / widthAtHeight100);
}

CBasketBrowser::CBasketBrowser(BatchList& list, ThumbsBrowserServices services, IBatchItemHost* itemHost)
    : CThumbsBrowser(list.Items(), services), list_(list), itemHost_(itemHost) {
    list_.SetListener(this);
}

CBasketBrowser::~CBasketBrowser() {
    StopListening();
    list_.SetListener(nullptr);
}

void CBasketBrowser::RemoveSelected() { list_.RemoveSelected(); }

void CBasketBrowser::Paste() {
    if (!clipboard()) return;
    // The files stay where they are, cut or not: the batch list only names them, so a cut can
    // still be pasted into a folder afterwards.
    if (const std::optional<FileList> files = clipboard()->ReadFileList()) list_.AddFiles(files->paths);
}

bool CBasketBrowser::HandlesCommand(int id) const {
    return id == CommandId::ID_REMOVE_SELECTED || CThumbsBrowser::HandlesCommand(id);
}

CommandState CBasketBrowser::CommandStateOf(int id) const {
    if (id == CommandId::ID_REMOVE_SELECTED) return {list_.HasSelection()};
    return CThumbsBrowser::CommandStateOf(id);
}

void CBasketBrowser::OnCommand(int id) {
    if (id == CommandId::ID_REMOVE_SELECTED) {
        if (list_.HasSelection()) RemoveSelected();
        return;
    }
    CThumbsBrowser::OnCommand(id);
}

std::string CBasketBrowser::TooltipAt(PixelPoint point) {
    const std::optional<size_t> index = Grid().ItemAt(ToContent(point));
    if (!index) return {};
    return BatchList::Tooltip(items()[*index]);
}

std::vector<int> CBasketBrowser::SortCommands() const {
    using namespace CommandId;
    return {ID_SORT_NAME, ID_SORT_DATE, ID_SORT_FORMAT};
}

std::vector<ContextMenuEntry> CBasketBrowser::MenuEntries(ContextMenuKind kind) const {
    using namespace CommandId;
    ContextMenuEntry sortBy;
    sortBy.text = kSortBySubmenu;
    for (const int id : SortCommands()) sortBy.submenu.push_back(CommandEntryOf(id));
    if (kind == ContextMenuKind::EmptySpace)
        return {CommandEntryOf(ID_VIEW_REFRESH), Separator(), CommandEntryOf(ID_EDIT_PASTE), Separator(),
                CommandEntryOf(ID_SELECT_ALL), Separator(), sortBy};
    std::vector<ContextMenuEntry> entries{CommandEntryOf(ID_EDIT_PASTE), CommandEntryOf(ID_EDIT_COPY),
                                          CommandEntryOf(ID_REMOVE_SELECTED, "&Remove"), Separator(),
                                          CommandEntryOf(ID_SELECT_ALL), Separator(), sortBy};
    if (kind == ContextMenuKind::OneItem) {
        entries.push_back(Separator());
        entries.push_back(CommandEntryOf(ID_PROPERTIES));
    }
    return entries;
}

void CBasketBrowser::OnItemPressed(size_t index, Modifiers modifiers) {
    // A Ctrl press only marks the item for its release; it chooses nothing.
    if (modifiers.ctrl || !itemHost_ || index >= list_.size()) return;
    list_.ChooseItem(index, *itemHost_);
}

DropEffect CBasketBrowser::DragEnter(bool offersFiles) {
    if (InternalDrag()) return DropEffect::Move;
    return offersFiles ? DropEffect::Copy : DropEffect::None;
}

DropEffect CBasketBrowser::DragOver(PixelPoint point, bool offersFiles, Modifiers modifiers) {
    (void)modifiers;
    if (InternalDrag()) {
        SetInsertion(Grid().DropIndexAt(ToContent(point)));
        return DropEffect::Move;
    }
    // Files from elsewhere are only named in the list: never offered as a move, so that no file
    // manager takes them away from their folder.
    return offersFiles ? DropEffect::Copy : DropEffect::None;
}

void CBasketBrowser::Drop(PixelPoint point, const std::optional<FileList>& files, DropEffect effect) {
    if (effect == DropEffect::None) {
        DragLeave();
        return;
    }
    if (InternalDrag()) {
        const size_t at = Grid().DropIndexAt(ToContent(point));
        const CItem* before = at < items().size() ? &items()[at] : nullptr;
        items().MoveItems(draggedItems(), before);
        DragLeave();
        if (host()) host()->RepaintAll();
        UpdateStatus();
        return;
    }
    DragLeave();
    if (files) list_.AddFiles(files->paths);
}

void CBasketBrowser::OnRebuild(const std::vector<std::filesystem::path>& paths) {
    (void)paths;
    Rebuild();
}

void CBasketBrowser::OnItemsChanged() { Rebuild(); }

void CBasketBrowser::OnBatchModeWanted() {
    if (batchModeRequest_) batchModeRequest_();
}

}  // namespace kv
