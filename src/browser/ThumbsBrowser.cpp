#include "browser/ThumbsBrowser.h"

#include <algorithm>

#include "base/CommandIds.h"
#include "browser/InPlaceRename.h"
#include "browser/ThumbnailBuild.h"
#include "browser/ThumbsBuilderThreads.h"

namespace kv {

namespace {

PixelRect Inflate(const PixelRect& rect, int32_t by) {
    return {rect.left - by, rect.top - by, rect.right + by, rect.bottom + by};
}

std::vector<std::string> PathStrings(const std::vector<std::filesystem::path>& paths) {
    std::vector<std::string> strings;
    strings.reserve(paths.size());
    for (const auto& path : paths) strings.push_back(path.string());
    return strings;
}

}  // namespace

CThumbsBrowser::CThumbsBrowser(CItemList& items, ThumbsBrowserServices services)
    : items_(items),
      cache_(services.cache),
      builders_(services.builders),
      prompt_(services.prompt),
      clipboard_(services.clipboard),
      sortMode_(services.sortMode),
      zoom_(services.zoom) {
    if (builders_) builders_->AddListener(this);
}

CThumbsBrowser::~CThumbsBrowser() {
    StopListening();
    readyRelay_.Set(nullptr);
}

void CThumbsBrowser::StopListening() {
    if (builders_) builders_->RemoveListener(this);
}

void CThumbsBrowser::SetHost(IThumbsView* view) {
    host_ = view;
    readyRelay_.Set(view);
    if (host_) UpdateScrollSizes();
}

void CThumbsBrowser::SetZoom(int zoom) {
    zoom_ = zoom;
    UpdateScrollSizes();
    if (host_) host_->RepaintAll();
}

ThumbsGrid CThumbsBrowser::Grid() const {
    return ThumbsGrid(items_.size(), CellSize(), host_ ? host_->ClientSize() : PixelSize{});
}

void CThumbsBrowser::UpdateScrollSizes() {
    if (host_) host_->SetScrollSizes(Grid().ContentSize(), CellSize());
}

void CThumbsBrowser::Rebuild() {
    if (hot_ && *hot_ >= items_.size()) hot_.reset();
    if (builders_) builders_->SetFiles(PathStrings(items_.Paths()));
    UpdateScrollSizes();
    if (host_) host_->RepaintAll();
    UpdateStatus();
}

PixelPoint CThumbsBrowser::ToContent(PixelPoint client) const {
    const PixelPoint scroll = host_ ? host_->ScrollPosition() : PixelPoint{};
    return {client.x + scroll.x, client.y + scroll.y};
}

PixelRect CThumbsBrowser::ToClient(const PixelRect& content) const {
    const PixelPoint scroll = host_ ? host_->ScrollPosition() : PixelPoint{};
    return content.Offset(-scroll.x, -scroll.y);
}

// --- Painting ---

CMapStringToObPlus::Cell CThumbsBrowser::CachedCell(const std::filesystem::path& path) {
    CMapStringToObPlus::Cell cell;
    if (!cache_.Lookup(path.string(), cell)) return nullptr;
    return cell;
}

CThumbsBrowser::PaintPlan CThumbsBrowser::Paint(const PixelRect& area) {
    PaintPlan plan;
    const ThumbsGrid grid = Grid();
    const PixelPoint scroll = ToContent({});
    const ItemRange range = grid.ItemsMeeting(area.Offset(scroll.x, scroll.y));
    std::vector<std::string> unbuilt;
    if (!range.empty) {
        const auto lock = cache_.Lock();
        for (size_t i = range.first; i <= range.last; ++i) {
            CellPaint paint;
            paint.index = i;
            paint.rect = ToClient(grid.CellRect(i));
            paint.selected = items_[i].selected != 0;
            paint.item = &items_[i];
            paint.cell = CachedCell(items_[i].path);
            if (!paint.cell) unbuilt.push_back(items_[i].path.string());
            plan.cells.push_back(std::move(paint));
        }
    }
    if (builders_ && items_.size() > kPromoteVisibleAbove && !unbuilt.empty()) builders_->PromoteFiles(unbuilt);
    if (state_ == MouseState::RubberBand) plan.rubberBand = ToClient(band_);
    if (internalDrag_ && insertion_) plan.insertionCell = ToClient(grid.CellRect(*insertion_));
    return plan;
}

void CThumbsBrowser::SetInsertion(std::optional<size_t> index) {
    if (insertion_ == index) return;
    insertion_ = index;
    if (host_) host_->RepaintAll();
}

void CThumbsBrowser::RepaintItem(size_t index) {
    if (host_ && index < items_.size())
        host_->RepaintRect(Inflate(ToClient(Grid().CellRect(index)), kCellRepaintMargin));
}

// --- Selection ---

void CThumbsBrowser::Select(size_t index, bool selected) {
    CItem& item = items_[index];
    if ((item.selected != 0) == selected) return;
    item.selected = selected ? 1 : 0;
    RepaintItem(index);
}

void CThumbsBrowser::DeselectAll() {
    for (size_t i = 0; i < items_.size(); ++i) Select(i, false);
}

void CThumbsBrowser::SelectAll() {
    if (host_) host_->SetBusy(true);
    for (size_t i = 0; i < items_.size(); ++i) Select(i, true);
    if (host_) host_->SetBusy(false);
    UpdateStatus();
}

// --- The label timer, tool tips, context menus ---

void CThumbsBrowser::OnLabelTimer() {
    if (!host_) return;
    const ThumbsGrid grid = Grid();
    const PixelPoint scroll = host_->ScrollPosition();
    const PixelSize client = host_->ClientSize();
    const ItemRange range = grid.ItemsMeeting({scroll.x, scroll.y, scroll.x + client.width, scroll.y + client.height});
    if (range.empty) return;
    const auto lock = cache_.Lock();
    for (size_t i = range.first; i <= range.last; ++i) {
        if (!items_[i].selected) continue;
        const CMapStringToObPlus::Cell cell = CachedCell(items_[i].path);
        if (cell && cell->AdvanceLabelScroll()) host_->RepaintRect(cell->LabelRect(ToClient(grid.CellRect(i))));
    }
}

std::string CThumbsBrowser::TooltipAt(PixelPoint point) {
    const std::optional<size_t> index = Grid().ItemAt(ToContent(point));
    if (!index) return {};
    const CMapStringToObPlus::Cell cell = CachedCell(items_[*index].path);
    return ThumbTooltip(items_[*index], cell.get());
}

void CThumbsBrowser::ContextMenuAt(PixelPoint point) {
    const std::optional<size_t> index = Grid().ItemAt(ToContent(point));
    ContextMenuKind kind = ContextMenuKind::EmptySpace;
    if (!index) {
        DeselectAll();
    } else {
        if (!items_[*index].selected) {
            MouseDown(point, {});
            MouseUp(point, {});
        }
        kind = items_.SelectedCount() == 1 ? ContextMenuKind::OneItem : ContextMenuKind::SeveralItems;
    }
    if (host_) host_->ShowContextMenu(MenuFor(kind), point);
    UpdateStatus();
}

std::vector<int> CThumbsBrowser::SortCommands() const {
    using namespace CommandId;
    return {ID_SORT_NAME, ID_SORT_DATE, ID_SORT_FORMAT, ID_SORT_WIDTH, ID_SORT_HEIGHT, ID_SORT_SIZE};
}

std::vector<ContextMenuEntry> CThumbsBrowser::MenuEntries(ContextMenuKind kind) const {
    using namespace CommandId;
    ContextMenuEntry sortBy;
    sortBy.text = kSortBySubmenu;
    for (const int id : SortCommands()) sortBy.submenu.push_back(CommandEntryOf(id));
    switch (kind) {
        case ContextMenuKind::EmptySpace:
            return {CommandEntryOf(ID_VIEW_REFRESH), Separator(), CommandEntryOf(ID_EDIT_PASTE), Separator(),
                    CommandEntryOf(ID_SELECT_ALL), Separator(), sortBy};
        case ContextMenuKind::OneItem:
            return {CommandEntryOf(ID_EDIT_COPY), CommandEntryOf(ID_EDIT_PASTE), Separator(), CommandEntryOf(ID_SELECT_ALL),
                    Separator(), sortBy, Separator(), CommandEntryOf(ID_PROPERTIES)};
        case ContextMenuKind::SeveralItems:
            return {CommandEntryOf(ID_EDIT_COPY), CommandEntryOf(ID_EDIT_PASTE), Separator(), CommandEntryOf(ID_SELECT_ALL),
                    Separator(), sortBy};
    }
    return {};
}

ContextMenu CThumbsBrowser::MenuFor(ContextMenuKind kind) const {
    ContextMenu menu{kind, MenuEntries(kind)};
    const auto fill = [&](auto& self, std::vector<ContextMenuEntry>& entries) -> void {
        for (ContextMenuEntry& entry : entries) {
            if (!entry.submenu.empty()) {
                self(self, entry.submenu);
                entry.enabled = std::any_of(entry.submenu.begin(), entry.submenu.end(),
                                            [](const ContextMenuEntry& e) { return e.enabled; });
                continue;
            }
            if (entry.id == 0) continue;
            const CommandState state = CommandStateOf(entry.id);
            entry.enabled = state.enabled;
            entry.checked = state.checked;
            entry.checkable = SortModeOfCommand(entry.id).has_value();
        }
    };
    fill(fill, menu.entries);
    return menu;
}

// --- Commands ---

bool CThumbsBrowser::HandlesCommand(int id) const {
    using namespace CommandId;
    if (SortModeOfCommand(id)) return true;
    return id == ID_SELECT_ALL || id == ID_EDIT_COPY || id == ID_EDIT_PASTE || id == ID_PROPERTIES ||
           id == ID_VIEW_REFRESH;
}

CommandState CThumbsBrowser::CommandStateOf(int id) const {
    using namespace CommandId;
    if (const std::optional<SortMode> mode = SortModeOfCommand(id))
        return {items_.size() > 1, *mode == sortMode_};
    switch (id) {
        case ID_SELECT_ALL: return {!items_.empty()};
        case ID_EDIT_COPY: return {items_.SelectedCount() > 0};
        case ID_EDIT_PASTE: return {CanPaste()};
        case ID_PROPERTIES: return {items_.SelectedCount() == 1};
        default: return {};
    }
}

void CThumbsBrowser::OnCommand(int id) {
    using namespace CommandId;
    if (!CommandStateOf(id).enabled) return;
    if (const std::optional<SortMode> mode = SortModeOfCommand(id)) {
        Sort(*mode);
        return;
    }
    switch (id) {
        case ID_SELECT_ALL: SelectAll(); break;
        case ID_EDIT_COPY: CopySelection(); break;
        case ID_EDIT_PASTE: Paste(); break;
        case ID_PROPERTIES: ShowProperties(); break;
        case ID_VIEW_REFRESH: Refresh(); break;
        default: break;
    }
}

void CThumbsBrowser::Sort(SortMode mode) {
    sortMode_ = mode;
    hot_.reset();
    SortItems(items_, mode, [this](const std::filesystem::path& path) -> std::optional<PixelSize> {
        const CMapStringToObPlus::Cell cell = CachedCell(path);
        if (!cell) return std::nullopt;
        return PixelSize{cell->imageWidth, cell->imageHeight};
    });
    if (host_) host_->RepaintAll();
    UpdateStatus();
}

void CThumbsBrowser::ShowProperties() {
    const std::optional<size_t> selected = items_.FirstSelected();
    if (host_ && selected && items_.SelectedCount() == 1) host_->ShowProperties(items_[*selected].path);
}

// --- Clipboard ---

std::vector<std::filesystem::path> CThumbsBrowser::SelectedFilesWithNotes() const {
    std::vector<std::filesystem::path> files;
    for (const size_t i : items_.SelectedIndices()) {
        files.push_back(items_[i].path);
        if (std::optional<std::filesystem::path> note = SoundNoteOf(items_[i].path)) files.push_back(std::move(*note));
    }
    return files;
}

void CThumbsBrowser::CopySelection(bool cut) {
    if (clipboard_ && items_.SelectedCount() > 0) clipboard_->WriteFileList(SelectedFilesWithNotes(), cut);
}

bool CThumbsBrowser::CanPaste() const { return clipboard_ && clipboard_->HoldsFileList(); }

// --- Renaming in place ---

void CThumbsBrowser::CommitRename(const std::filesystem::path& file, const std::string& typedName) {
    PauseMonitor();
    const RenameResult result = RenameFileInPlace(file, typedName);
    if (!result.message.empty() && prompt_) prompt_->ShowMessage(result.message);
    if (result.outcome == RenameResult::Outcome::Renamed) {
        for (const auto& [oldPath, newPath] : result.renamed) OnFileRenamed(oldPath, newPath);
        ResumeMonitor();
        if (result.pairingChanged) {
            Refresh();
        } else {
            for (size_t i = 0; i < items_.size(); ++i)
                for (const auto& [oldPath, newPath] : result.renamed)
                    if (items_[i].path == oldPath) items_[i].path = newPath;
        }
    } else {
        ResumeMonitor();
    }
    if (host_) host_->RepaintAll();
    UpdateStatus();
}

void CThumbsBrowser::OnFileRenamed(const std::filesystem::path& oldPath, const std::filesystem::path& newPath) {
    MoveCachedCell(cache_, oldPath, newPath);
}

// --- Status ---

BrowserStatus CThumbsBrowser::Status() {
    CMapStringToObPlus::Cell cell;
    if (items_.SelectedCount() == 1) cell = CachedCell(items_[*items_.FirstSelected()].path);
    return MakeBrowserStatus(items_, cell.get());
}

void CThumbsBrowser::UpdateStatus() {
    const BrowserStatus status = Status();
    if (host_) host_->ShowStatus(status);
    if (buttonHeld_ || items_.SelectedCount() != 1) return;
    const CItem& item = items_[*items_.FirstSelected()];
    const CurrentFile file{item.path, item.size, item.modified};
    if (current_ == file) return;
    current_ = file;
    OnCurrentFileChanged();
}

void CThumbsBrowser::OnThumbReady(std::string path, int flag) {
    (void)path;
    (void)flag;
    readyRelay_.Notify([](IThumbsView& view) { view.PostThumbReady(); });
}

}  // namespace kv
