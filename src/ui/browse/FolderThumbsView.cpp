#include "ui/browse/FolderThumbsView.h"

#include <QAccessible>
#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QHelpEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolTip>

#include "base/CommandIds.h"
#include "browser/ImgThumbsBrowser.h"
#include "browser/PaletteItem.h"
#include "platform/FileListFormats.h"
#include "ui/bridge/CellPicture.h"
#include "ui/browser/FileListMime.h"

namespace kv::ui {

namespace {

QColor ToQColor(ColorRef c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
QString ToQt(const std::string& text) { return QFile::decodeName(QByteArray::fromStdString(text)); }
QRect ToQRect(const PixelRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }
PixelPoint ToPoint(const QPoint& p) { return {p.x(), p.y()}; }

Modifiers ModifiersOf(Qt::KeyboardModifiers modifiers) {
    return {modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::ControlModifier)};
}

Qt::DropAction ActionOf(DropEffect effect) {
    switch (effect) {
        case DropEffect::Copy: return Qt::CopyAction;
        case DropEffect::Move: return Qt::MoveAction;
        case DropEffect::None: break;
    }
    return Qt::IgnoreAction;
}

void AddEntries(QMenu& menu, const std::vector<ContextMenuEntry>& entries, CThumbsBrowser& browser) {
    for (const ContextMenuEntry& entry : entries) {
        if (!entry.submenu.empty()) {
            QMenu* sub = menu.addMenu(ToQt(entry.text));
            sub->setEnabled(entry.enabled);
            AddEntries(*sub, entry.submenu, browser);
            continue;
        }
        if (entry.id == 0) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(ToQt(entry.text));
        action->setEnabled(entry.enabled);
        action->setCheckable(entry.checkable);
        action->setChecked(entry.checked);
        const int id = entry.id;
        QObject::connect(action, &QAction::triggered, &menu, [&browser, id] { browser.OnCommand(id); });
    }
}

// The in-place editor of a file's name: Enter or leaving it commits, Esc cancels.
class PopupEdit final : public QLineEdit {
public:
    PopupEdit(CThumbsBrowser& browser, std::filesystem::path file, QWidget* parent)
        : QLineEdit(parent), browser_(browser), file_(std::move(file)) {
        setAlignment(Qt::AlignCenter);
        setAccessibleName(QStringLiteral("File name"));
        setAttribute(Qt::WA_DeleteOnClose);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return Finish(true);
        if (event->key() == Qt::Key_Escape) return Finish(false);
        QLineEdit::keyPressEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        Finish(true);
    }

private:
    void Finish(bool commit) {
        if (done_) return;
        done_ = true;
        if (commit) browser_.CommitRename(file_, QFile::encodeName(text()).toStdString());
        close();
    }
    CThumbsBrowser& browser_;
    std::filesystem::path file_;
    bool done_ = false;
};

}  // namespace

CFolderThumbsView::CFolderThumbsView(CThumbsBrowser& browser, const BrowserColors& colors, QWidget* parent)
    : QAbstractScrollArea(parent), browser_(browser), colors_(colors) {
    setObjectName(QStringLiteral("FolderThumbsView"));
    setAccessibleName(QStringLiteral("Thumbnails"));
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    autoScroll_.setInterval(50);
    connect(&autoScroll_, &QTimer::timeout, this, [this] {
        browser_.OnAutoScrollTick(ToPoint(viewport()->mapFromGlobal(QCursor::pos())));
    });
    readyRepaint_.setSingleShot(true);
    readyRepaint_.setInterval(kReadyRepaintMs);
    connect(&readyRepaint_, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));
    labelTimer_.setInterval(100);
    connect(&labelTimer_, &QTimer::timeout, this, [this] { browser_.OnLabelTimer(); });
    labelTimer_.start();
    browser_.SetHost(this);
}

CFolderThumbsView::~CFolderThumbsView() { browser_.SetHost(nullptr); }

PixelSize CFolderThumbsView::ClientSize() const { return {viewport()->width(), viewport()->height()}; }

PixelPoint CFolderThumbsView::ScrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void CFolderThumbsView::SetScrollSizes(PixelSize content, PixelSize line) {
    horizontalScrollBar()->setRange(0, std::max(0, content.width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(std::max(1, line.width));
    verticalScrollBar()->setRange(0, std::max(0, content.height - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(std::max(1, line.height));
}

void CFolderThumbsView::ScrollTo(PixelPoint position) {
    horizontalScrollBar()->setValue(position.x);
    verticalScrollBar()->setValue(position.y);
}

void CFolderThumbsView::RepaintAll() { viewport()->update(); }

void CFolderThumbsView::RepaintRect(const PixelRect& area) { viewport()->update(ToQRect(area)); }

void CFolderThumbsView::PostThumbReady() {
    // Many thumbnails may be ready before the window gets to paint: one repaint serves them all.
    if (readyPosted_.exchange(true)) return;
    QMetaObject::invokeMethod(this, [this] { OnThumbReady(); }, Qt::QueuedConnection);
}

void CFolderThumbsView::OnThumbReady() {
    readyPosted_.store(false);
    // Thumbnails come in bursts: one repaint every kReadyRepaintMs leaves the builders the cores.
    if (!readyRepaint_.isActive()) readyRepaint_.start();
}

void CFolderThumbsView::StartAutoScroll() { autoScroll_.start(); }
void CFolderThumbsView::StopAutoScroll() { autoScroll_.stop(); }

void CFolderThumbsView::BeginRename(const PixelRect& label, const std::filesystem::path& file, const std::string& name) {
    auto* edit = new PopupEdit(browser_, file, viewport());
    edit->setGeometry(ToQRect(label).adjusted(0, -2, 0, 2));
    edit->setText(ToQt(name));
    edit->selectAll();
    edit->show();
    edit->setFocus();
}

void CFolderThumbsView::StartDrag(const std::vector<std::filesystem::path>& files) {
    QMimeData* data = FileListMimeData(files, false);
    if (dragRunner_) return dragRunner_(data);
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    // The file manager (or the folder it is dropped on) moves the files; the view never removes them.
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
}

void CFolderThumbsView::ShowContextMenu(const ContextMenu& menu, PixelPoint at) {
    QMenu popup(this);
    AddEntries(popup, menu.entries, browser_);
    popup.exec(viewport()->mapToGlobal(QPoint(at.x, at.y)));
}

void CFolderThumbsView::ShowProperties(const std::filesystem::path& file) { emit PropertiesRequested(file); }

void CFolderThumbsView::ShowStatus(const BrowserStatus& status) {
    emit StatusChanged(ToQt(status.files), ToQt(status.date), ToQt(status.size), ToQt(status.image));
}

void CFolderThumbsView::SetBusy(bool busy) {
    if (busy) {
        ++busyDepth_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busyDepth_ > 0) {
        --busyDepth_;
        QApplication::restoreOverrideCursor();
    }
}

QPixmap CFolderThumbsView::PictureOf(const CThumbsBrowser::CellPaint& paint, QSize box) {
    if (!paint.cell) return {};
    const QString key = ToQt(paint.item->path.string());
    auto it = pixmaps_.find(key);
    if (it != pixmaps_.end() && it->source == paint.cell.get() && it->box == box) return it->pixmap;
    const QImage image = ui::PictureOf(*paint.cell).image;
    if (image.isNull()) return {};
    // Scaled once to the box it is shown in, so that a repaint only copies pixels.
    const QSize fitted = image.size().scaled(box, Qt::KeepAspectRatio).boundedTo(image.size());
    Kept kept{QPixmap::fromImage(fitted == image.size() ? image
                                                         : image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)),
              paint.cell.get(), box};
    pixmaps_.insert(key, kept);
    return kept.pixmap;
}

void CFolderThumbsView::DrawCell(QPainter& painter, const CThumbsBrowser::CellPaint& paint) {
    const QRect cell = ToQRect(paint.rect);
    const QRect card = cell.adjusted(4, 4, -4, -4);
    QPainterPath path;
    path.addRoundedRect(QRectF(card).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.fillPath(path, ToQColor(colors_.backgroundInFrame));
    painter.setPen(QPen(ToQColor(paint.selected ? colors_.selectedBorder : colors_.border), paint.selected ? 3 : 1));
    painter.drawPath(path);

    const QRect label(card.left() + 4, card.bottom() - kCellLabelHeight, card.width() - 8, kCellLabelHeight);
    const QRect box = QRect(card.left(), card.top(), card.width(), card.height() - kCellLabelHeight).adjusted(6, 6, -6, -2);
    const QPixmap picture = PictureOf(paint, box.size());
    if (!picture.isNull()) {
        const QSize size = picture.size();
        painter.drawPixmap(box.center().x() - size.width() / 2 + 1, box.center().y() - size.height() / 2 + 1, picture);
        ++picturesShown_;
    } else {
        const QIcon icon = QIcon::fromTheme(QStringLiteral("image-x-generic"));
        const int side = std::min(48, std::min(box.width(), box.height()));
        icon.paint(&painter, QRect(box.center().x() - side / 2, box.center().y() - side / 2, side, side));
    }
    painter.setPen(ToQColor(paint.selected ? colors_.selectedText : colors_.text));
    const QString name = ToQt(paint.item->path.filename().string());
    painter.drawText(label, Qt::AlignCenter, painter.fontMetrics().elidedText(name, Qt::ElideMiddle, label.width()));
}

void CFolderThumbsView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, ToQColor(colors_.background));
    const CThumbsBrowser::PaintPlan plan =
        browser_.Paint({area.left() - 2, area.top() - 2, area.right() + 3, area.bottom() + 3});
    picturesShown_ = 0;
    painter.setRenderHint(QPainter::Antialiasing);
    QSet<QString> visible;
    for (const auto& cell : plan.cells) {
        DrawCell(painter, cell);
        visible.insert(ToQt(cell.item->path.string()));
    }
    if (plan.rubberBand) {
        painter.setPen(QPen(palette().highlight().color(), 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(ToQRect(*plan.rubberBand));
    }
    if (plan.insertionCell) {
        const QRect r = ToQRect(*plan.insertionCell);
        painter.fillRect(QRect(r.left(), r.top(), 3, r.height()), palette().highlight());
    }
    // One pixmap per visible cell: those scrolled away are let go.
    if (area == viewport()->rect())
        for (auto it = pixmaps_.begin(); it != pixmaps_.end();) it = visible.contains(it.key()) ? std::next(it) : pixmaps_.erase(it);
    emit Painted(static_cast<int>(plan.cells.size()), picturesShown_);
    UpdateAccessibleText();
}

void CFolderThumbsView::UpdateAccessibleText() {
    const QString text = QStringLiteral("%1 files, %2 thumbnails shown").arg(browser_.items().size()).arg(picturesShown_);
    if (accessibleDescription() != text) setAccessibleDescription(text);
}

void CFolderThumbsView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    browser_.UpdateScrollSizes();
}

void CFolderThumbsView::scrollContentsBy(int, int) { viewport()->update(); }

void CFolderThumbsView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) browser_.MouseDown(ToPoint(event->position().toPoint()), ModifiersOf(event->modifiers()));
    else if (event->button() == Qt::RightButton) browser_.ContextMenuAt(ToPoint(event->position().toPoint()));
}

void CFolderThumbsView::mouseMoveEvent(QMouseEvent* event) {
    browser_.MouseMove(ToPoint(event->position().toPoint()), event->buttons().testFlag(Qt::LeftButton),
                       ModifiersOf(event->modifiers()));
}

void CFolderThumbsView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) browser_.MouseUp(ToPoint(event->position().toPoint()), ModifiersOf(event->modifiers()));
}

void CFolderThumbsView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const PixelPoint point = ToPoint(event->position().toPoint());
    // The second press of a double click is a press as well: it may begin a drag or a rename.
    browser_.MouseDown(point, ModifiersOf(event->modifiers()));
    browser_.DoubleClick(point);
    const PixelPoint scroll = ScrollPosition();
    const std::optional<size_t> index = browser_.Grid().ItemAt({point.x + scroll.x, point.y + scroll.y});
    if (index && *index < browser_.items().size()) emit FileActivated(browser_.items()[*index].path);
}

void CFolderThumbsView::keyPressEvent(QKeyEvent* event) {
    using namespace CommandId;
    static const std::pair<int, NavigationKey> keys[] = {
        {Qt::Key_Left, NavigationKey::Left},     {Qt::Key_Right, NavigationKey::Right},
        {Qt::Key_Up, NavigationKey::Up},         {Qt::Key_Down, NavigationKey::Down},
        {Qt::Key_PageUp, NavigationKey::PageUp}, {Qt::Key_PageDown, NavigationKey::PageDown},
        {Qt::Key_Home, NavigationKey::Home},     {Qt::Key_End, NavigationKey::End}};
    for (const auto& [key, navigation] : keys)
        if (event->key() == key && browser_.KeyDown(navigation, ModifiersOf(event->modifiers()))) return;
    int command = 0;
    if (event == QKeySequence::SelectAll) command = ID_SELECT_ALL;
    else if (event == QKeySequence::Copy) command = ID_EDIT_COPY;
    else if (event == QKeySequence::Cut) command = ID_EDIT_CUT;
    else if (event == QKeySequence::Paste) command = ID_EDIT_PASTE;
    else if (event->key() == Qt::Key_Delete) command = ID_EDIT_CLEAR;
    else if (event->key() == Qt::Key_F5) command = ID_VIEW_REFRESH;
    else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        const std::optional<size_t> first = browser_.items().FirstSelected();
        if (first) emit FileActivated(browser_.items()[*first].path);
        return;
    }
    if (command && browser_.HandlesCommand(command)) {
        browser_.OnCommand(command);
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void CFolderThumbsView::dragEnterEvent(QDragEnterEvent* event) {
    // The folder browser decides between copy and move by where the files are.
    if (auto* folderBrowser = dynamic_cast<CImgThumbsBrowser*>(&browser_)) {
        const std::optional<FileList> files = FilesOf(event->mimeData());
        folderBrowser->SetOfferedFiles(files ? files->paths : std::vector<std::filesystem::path>{});
    }
    const DropEffect effect = browser_.DragEnter(OffersFiles(event->mimeData()));
    if (effect == DropEffect::None) return event->ignore();
    event->acceptProposedAction();
}

void CFolderThumbsView::dragMoveEvent(QDragMoveEvent* event) {
    const DropEffect effect = browser_.DragOver(ToPoint(event->position().toPoint()), OffersFiles(event->mimeData()),
                                                ModifiersOf(event->modifiers()));
    if (effect == DropEffect::None) return event->ignore();
    event->setDropAction(ActionOf(effect));
    event->accept();
}

void CFolderThumbsView::dragLeaveEvent(QDragLeaveEvent*) { browser_.DragLeave(); }

void CFolderThumbsView::dropEvent(QDropEvent* event) {
    const DropEffect effect = browser_.DragOver(ToPoint(event->position().toPoint()), OffersFiles(event->mimeData()),
                                                ModifiersOf(event->modifiers()));
    browser_.Drop(ToPoint(event->position().toPoint()), FilesOf(event->mimeData()), effect);
    if (effect == DropEffect::None) return event->ignore();
    event->setDropAction(ActionOf(effect));
    event->accept();
}

bool CFolderThumbsView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const std::string tip = browser_.TooltipAt(ToPoint(help->pos()));
        if (tip.empty()) QToolTip::hideText();
        else QToolTip::showText(help->globalPos(), ToQt(tip), viewport());
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

}  // namespace kv::ui
