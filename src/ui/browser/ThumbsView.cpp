#include "ui/browser/ThumbsView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include "base/CommandIds.h"
#include "browser/ImgThumbsBrowser.h"
#include "ui/browser/FileListMime.h"
#include "ui/browser/PopupEdit.h"

namespace kv::ui {

namespace {

constexpr int kLabelTimerMs = 100;
constexpr int kAutoScrollMs = 50;
// Thumbnails come in bursts: while every shown cell has its picture, one repaint at most this often
// leaves the builders the cores.
constexpr int kReadyRepaintMs = 20;

QRect ToQRect(const PixelRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }
PixelPoint ToPixelPoint(const QPoint& p) { return {p.x(), p.y()}; }
PixelPoint ToPixelPoint(const QPointF& p) { return ToPixelPoint(p.toPoint()); }

Modifiers ModifiersOf(Qt::KeyboardModifiers modifiers) {
    return {.shift = modifiers.testFlag(Qt::ShiftModifier), .ctrl = modifiers.testFlag(Qt::ControlModifier)};
}

std::optional<NavigationKey> NavigationKeyOf(int key) {
    switch (key) {
        case Qt::Key_Left: return NavigationKey::Left;
        case Qt::Key_Right: return NavigationKey::Right;
        case Qt::Key_Up: return NavigationKey::Up;
        case Qt::Key_Down: return NavigationKey::Down;
        case Qt::Key_PageUp: return NavigationKey::PageUp;
        case Qt::Key_PageDown: return NavigationKey::PageDown;
        case Qt::Key_Home: return NavigationKey::Home;
        case Qt::Key_End: return NavigationKey::End;
        default: return std::nullopt;
    }
}

Qt::DropAction ToDropAction(DropEffect effect) {
    switch (effect) {
        case DropEffect::Copy: return Qt::CopyAction;
        case DropEffect::Move: return Qt::MoveAction;
        case DropEffect::None: return Qt::IgnoreAction;
    }
    return Qt::IgnoreAction;
}

DropEffect ToDropEffect(Qt::DropAction action) {
    switch (action) {
        case Qt::CopyAction:
        case Qt::LinkAction: return DropEffect::Copy;
        case Qt::MoveAction: return DropEffect::Move;
        default: return DropEffect::None;
    }
}

// The answer a drop event gets: the browser's effect when the drag offers it, else nothing.
void Answer(QDropEvent* event, DropEffect effect) {
    const Qt::DropAction action = ToDropAction(effect);
    if (action != Qt::IgnoreAction && event->possibleActions().testFlag(action)) {
        event->setDropAction(action);
        event->accept();
    } else {
        event->ignore();
    }
}

void AddEntries(QMenu& menu, const std::vector<ContextMenuEntry>& entries) {
    for (const ContextMenuEntry& entry : entries) {
        if (!entry.submenu.empty()) {
            QMenu* sub = menu.addMenu(QString::fromStdString(entry.text));
            sub->setEnabled(entry.enabled);
            AddEntries(*sub, entry.submenu);
        } else if (entry.id == 0) {
            menu.addSeparator();
        } else {
            QAction* action = menu.addAction(QString::fromStdString(entry.text));
            action->setData(entry.id);
            action->setEnabled(entry.enabled);
            action->setCheckable(entry.checkable);
            action->setChecked(entry.checked);
        }
    }
}

}  // namespace

CThumbsView::CThumbsView(CThumbsBrowser& browser, const BrowserColors& colors, QWidget* parent)
    : QAbstractScrollArea(parent), browser_(browser), painter_(colors) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAcceptDrops(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setAccessibleName(QStringLiteral("Thumbnails"));
    browser_.SetHost(this);
}

CThumbsView::~CThumbsView() {
    browser_.SetHost(nullptr);
    while (busy_ > 0) SetBusy(false);
}

// --- IThumbsView ---

PixelSize CThumbsView::ClientSize() const { return {viewport()->width(), viewport()->height()}; }

PixelPoint CThumbsView::ScrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void CThumbsView::SetScrollSizes(PixelSize content, PixelSize line) {
    const QSize client = viewport()->size();
    verticalScrollBar()->setRange(0, std::max(0, content.height - client.height()));
    verticalScrollBar()->setPageStep(client.height());
    verticalScrollBar()->setSingleStep(std::max(1, line.height));
    horizontalScrollBar()->setRange(0, std::max(0, content.width - client.width()));
    horizontalScrollBar()->setPageStep(client.width());
    horizontalScrollBar()->setSingleStep(std::max(1, line.width));
}

void CThumbsView::ScrollTo(PixelPoint position) {
    horizontalScrollBar()->setValue(position.x);
    verticalScrollBar()->setValue(position.y);
}

void CThumbsView::RepaintAll() { viewport()->update(); }

void CThumbsView::RepaintRect(const PixelRect& area) { viewport()->update(ToQRect(area)); }

void CThumbsView::PostThumbReady() {
    // A builder may finish many thumbnails before the window gets to them: one call serves them all.
    if (readyPosted_.exchange(true)) return;
    QMetaObject::invokeMethod(this, [this] { OnThumbReady(); }, Qt::QueuedConnection);
}

void CThumbsView::OnThumbReady() {
    readyPosted_.store(false);
    // A cell in view waiting for its picture is drawn again at once. Other thumbnails (better
    // pictures of cells already drawn, cells out of sight) wait for the next repaint of the view,
    // also while a cell in view never gets a picture (a file that cannot be read).
    bool waitingDrawn = false;
    for (auto& [path, waiting] : waiting_) {
        const CMapStringToObPlus::Cell cell = browser_.CachedCell(path);
        if (cell.get() == waiting.cell) continue;
        waiting.cell = cell.get();
        viewport()->update(waiting.rect);
        waitingDrawn = true;
    }
    if (!waitingDrawn && !readyRepaint_.isActive()) readyRepaint_.start(kReadyRepaintMs, this);
}

void CThumbsView::StartAutoScroll() { autoScrollTimer_.start(kAutoScrollMs, this); }

void CThumbsView::StopAutoScroll() { autoScrollTimer_.stop(); }

void CThumbsView::BeginRename(const PixelRect& label, const std::filesystem::path& file, const std::string& name) {
    EndRename();
    const QString typed = QString::fromStdString(name);
    editor_ = new CPopupEdit(
        viewport(), typed,
        [this, file](const QString& text) {
            browser_.CommitRename(file, text.toStdString());
            setFocus();
        },
        [this] { setFocus(); });
    QRect area = ToQRect(label);
    const int height = std::max(area.height(), editor_->sizeHint().height());
    area.setTop(area.top() + (area.height() - height) / 2);
    area.setHeight(height);
    editor_->setGeometry(area);
    editor_->show();
    editor_->selectAll();
    editor_->setFocus(Qt::OtherFocusReason);
}

void CThumbsView::EndRename() {
    if (editor_ && !editor_->IsFinished()) editor_->Cancel();
}

void CThumbsView::StartDrag(const std::vector<std::filesystem::path>& files) {
    if (dragRunner_) {
        dragRunner_(FileListMimeData(files, false));
        return;
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(FileListMimeData(files, false));
    // The file manager decides between copy and move; the items stay here whatever it does.
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
}

void CThumbsView::ShowContextMenu(const ContextMenu& menu, PixelPoint at) {
    QMenu popup(this);
    AddEntries(popup, menu.entries);
    const QPoint global = viewport()->mapToGlobal(QPoint(at.x, at.y));
    int chosen = 0;
    if (menuRunner_) {
        chosen = menuRunner_(popup, global);
    } else if (QAction* action = popup.exec(global)) {
        chosen = action->data().toInt();
    }
    if (chosen != 0) browser_.OnCommand(chosen);
}

void CThumbsView::ShowProperties(const std::filesystem::path& file) {
    if (propertiesHandler_) propertiesHandler_(file);
}

void CThumbsView::ShowStatus(const BrowserStatus& status) {
    statusFiles_ = QString::fromStdString(status.files);
    UpdateAccessibleText();
    if (statusSink_) statusSink_(status);
}

QString CThumbsView::AccessibleText() const {
    return QStringLiteral("%1 files, %2 thumbnails shown").arg(browser_.items().size()).arg(picturesShown_);
}

void CThumbsView::UpdateAccessibleText() {
    const QString text = AccessibleText();
    if (accessibleDescription() != text) setAccessibleDescription(text);
}

void CThumbsView::SetBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++busy_;
    } else if (busy_ > 0) {
        QApplication::restoreOverrideCursor();
        --busy_;
    }
}

// --- Events ---

void CThumbsView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    const PixelRect area{exposed.left(), exposed.top(), exposed.left() + exposed.width(), exposed.top() + exposed.height()};
    const CThumbsBrowser::PaintPlan plan = browser_.Paint(area);
    // Each cell covers its rectangle; the background is filled only around them.
    QRegion around(exposed);
    for (const CThumbsBrowser::CellPaint& cell : plan.cells) around -= ToQRect(cell.rect);
    const QColor background = painter_.ToQColor(painter_.colors().background);
    for (const QRect& part : around) painter.fillRect(part, background);
    const bool wholeView = exposed.contains(viewport()->rect());
    if (wholeView) {
        waiting_.clear();
        cellsShown_ = static_cast<int>(plan.cells.size());
    }
    // A builder thread rewrites a cached cell's sizes under the cache's lock; the pictures are
    // made from what was taken under it, without it.
    std::vector<CellPainter::PictureJob> pictures;
    {
        const auto cacheLock = browser_.cache().Lock();
        pictures = painter_.TakeBitmaps(plan.cells, browser_.zoom());
    }
    painter_.MakePictures(pictures);
    {
        const auto cacheLock = browser_.cache().Lock();
        for (const CThumbsBrowser::CellPaint& cell : plan.cells) {
            if (painter_.Draw(painter, cell, browser_.zoom())) waiting_.erase(cell.item->path.native());
            else waiting_.insert_or_assign(cell.item->path.native(), Waiting{ToQRect(cell.rect), cell.cell.get()});
        }
    }
    if (plan.insertionCell) {
        const QRect cell = ToQRect(*plan.insertionCell);
        painter.fillRect(QRect(cell.left() - 2, cell.top() + kCellMargin, 4, cell.height() - 2 * kCellMargin),
                         palette().color(QPalette::Highlight));
    }
    if (plan.rubberBand) {
        const QColor highlight = palette().color(QPalette::Highlight);
        QColor fill = highlight;
        fill.setAlpha(48);
        painter.setPen(highlight);
        painter.setBrush(fill);
        painter.drawRect(ToQRect(*plan.rubberBand).adjusted(0, 0, -1, -1));
    }
    PaintExtras(painter);
    painter_.EndPaint(wholeView);
    picturesShown_ = std::max(0, cellsShown_ - static_cast<int>(waiting_.size()));
    UpdateAccessibleText();
    emit Painted(cellsShown_, picturesShown_);
}

void CThumbsView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    browser_.UpdateScrollSizes();
    viewport()->update();
}

void CThumbsView::scrollContentsBy(int dx, int dy) {
    (void)dx;
    (void)dy;
    if (editor_ && !editor_->IsFinished()) editor_->Commit();
    viewport()->update();
}

void CThumbsView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton) return;
    browser_.MouseDown(ToPixelPoint(event->position()), ModifiersOf(event->modifiers()));
}

void CThumbsView::mouseMoveEvent(QMouseEvent* event) {
    browser_.MouseMove(ToPixelPoint(event->position()), event->buttons().testFlag(Qt::LeftButton),
                       ModifiersOf(event->modifiers()));
}

void CThumbsView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    browser_.MouseUp(ToPixelPoint(event->position()), ModifiersOf(event->modifiers()));
}

void CThumbsView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // The second press of a double click is a press as well, so that a quick click into the name
    // of the selected item still renames it.
    const PixelPoint point = ToPixelPoint(event->position());
    browser_.MouseDown(point, ModifiersOf(event->modifiers()));
    browser_.DoubleClick(point);
}

void CThumbsView::keyPressEvent(QKeyEvent* event) {
    using namespace CommandId;
    if (const std::optional<NavigationKey> key = NavigationKeyOf(event->key())) {
        if (!browser_.KeyDown(*key, ModifiersOf(event->modifiers()))) QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (ViewKey(event)) return;
    const bool plain = event->modifiers() == Qt::NoModifier;
    int command = 0;
    if (event->matches(QKeySequence::SelectAll)) command = ID_SELECT_ALL;
    else if (event->matches(QKeySequence::Copy)) command = ID_EDIT_COPY;
    else if (event->matches(QKeySequence::Cut)) command = ID_EDIT_CUT;
    else if (event->matches(QKeySequence::Paste)) command = ID_EDIT_PASTE;
    else if (event->key() == Qt::Key_Delete && plain) command = ID_EDIT_CLEAR;
    else if (event->key() == Qt::Key_F5 && plain) command = ID_VIEW_REFRESH;
    if (command != 0 && browser_.HandlesCommand(command)) {
        browser_.OnCommand(command);
    } else if (event->key() == Qt::Key_F2 && plain) {
        browser_.RenameSelected();
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void CThumbsView::contextMenuEvent(QContextMenuEvent* event) {
    QPoint at = event->pos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // From the menu key: at the selected item, or the top-left corner.
        at = QPoint(4, 4);
        if (const std::optional<size_t> first = browser_.items().FirstSelected()) {
            const PixelRect cell = browser_.Grid().CellRect(*first);
            at = QPoint(cell.left + cell.Width() / 2 - ScrollPosition().x, cell.top + cell.Height() / 2 - ScrollPosition().y);
        }
    }
    browser_.ContextMenuAt(ToPixelPoint(at));
}

bool CThumbsView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const std::string text = browser_.TooltipAt(ToPixelPoint(help->pos()));
        if (text.empty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), QString::fromStdString(text), viewport());
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void CThumbsView::dragEnterEvent(QDragEnterEvent* event) {
    // The folder browser decides between copy and move by where the files are.
    if (auto* folderBrowser = dynamic_cast<CImgThumbsBrowser*>(&browser_)) {
        const std::optional<FileList> files = FilesOf(event->mimeData());
        folderBrowser->SetOfferedFiles(files ? files->paths : std::vector<std::filesystem::path>{});
    }
    Answer(event, browser_.DragEnter(OffersFiles(event->mimeData())));
}

void CThumbsView::dragMoveEvent(QDragMoveEvent* event) {
    Answer(event, browser_.DragOver(ToPixelPoint(event->position()), OffersFiles(event->mimeData()),
                                    ModifiersOf(event->modifiers())));
}

void CThumbsView::dragLeaveEvent(QDragLeaveEvent* event) {
    browser_.DragLeave();
    event->accept();
}

void CThumbsView::dropEvent(QDropEvent* event) {
    const PixelPoint at = ToPixelPoint(event->position());
    const DropEffect effect = browser_.DragOver(at, OffersFiles(event->mimeData()), ModifiersOf(event->modifiers()));
    Answer(event, effect);
    browser_.Drop(at, event->isAccepted() ? FilesOf(event->mimeData()) : std::nullopt,
                  event->isAccepted() ? ToDropEffect(event->dropAction()) : DropEffect::None);
}

void CThumbsView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == labelTimer_.timerId()) {
        browser_.OnLabelTimer();
    } else if (event->timerId() == readyRepaint_.timerId()) {
        readyRepaint_.stop();
        viewport()->update();
    } else if (event->timerId() == autoScrollTimer_.timerId()) {
        browser_.OnAutoScrollTick(ToPixelPoint(viewport()->mapFromGlobal(QCursor::pos())));
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void CThumbsView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    labelTimer_.start(kLabelTimerMs, this);
    browser_.UpdateScrollSizes();
}

void CThumbsView::hideEvent(QHideEvent* event) {
    labelTimer_.stop();
    autoScrollTimer_.stop();
    readyRepaint_.stop();
    QAbstractScrollArea::hideEvent(event);
}

}  // namespace kv::ui
