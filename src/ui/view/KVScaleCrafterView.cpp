#include "ui/view/KVScaleCrafterView.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QUrl>

#include "app/ResizeSettings.h"
#include "document/KVScaleCrafterDoc.h"
#include "ui/bridge/ImageConversion.h"
#include "ui/bridge/Imaging.h"

namespace kv::ui {

namespace {
constexpr int kLineStep = 20;

const QString kNoImage = QStringLiteral("No image");
const QString kQuickDrawing = QStringLiteral("Quick drawing");
const QString kExactPreview = QStringLiteral("Exact preview");

// Without an image the content is an empty white area of 10 x 10.
constexpr PixelSize kEmptyContent{10, 10};

PixelPoint ToPixels(QPoint point) { return {point.x(), point.y()}; }
}  // namespace

CKVScaleCrafterView::CKVScaleCrafterView(CKVScaleCrafterDoc& document, const ResizeSettings& settings, QWidget* parent)
    : QAbstractScrollArea(parent), document_(document), settings_(settings) {
    setFrameShape(QFrame::NoFrame);
    setAccessibleName(QStringLiteral("Image"));
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    horizontalScrollBar()->setSingleStep(kLineStep);
    verticalScrollBar()->setSingleStep(kLineStep);
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        // A dragged scroll box asks for no preview; letting it go draws and asks again.
        connect(bar, &QScrollBar::sliderReleased, this, [this] {
            emit VisiblePartChanged();
            viewport()->update();
        });
    }
    SetState(kNoImage);
    OnInitialUpdate();
}

ViewGeometry CKVScaleCrafterView::Geometry() const {
    if (!document_.HasImage()) return {};
    return ViewGeometry({document_.ImageWidth(), document_.ImageHeight()}, {settings_.width, settings_.height},
                        settings_.correction == SizeCorrection::Crop);
}

ScrollGeometry CKVScaleCrafterView::Scrolling() const {
    const ViewGeometry view = Geometry();
    return ScrollGeometry(view.IsEmpty() ? kEmptyContent : view.Content(),
                          {viewport()->width(), viewport()->height()});
}

void CKVScaleCrafterView::OnInitialUpdate() {
    cached_ = QImage();
    cachedAlgorithm_ = -1;
    previewUsed_ = false;
    UpdateScrollBars();
    viewport()->update();
}

void CKVScaleCrafterView::OnUpdate() {
    UpdateScrollBars();
    emit VisiblePartChanged();
    viewport()->update();
}

void CKVScaleCrafterView::UpdateScrollBars() {
    const PixelPoint maximum = Scrolling().MaxScroll();
    const QSize window = viewport()->size();
    horizontalScrollBar()->setRange(0, maximum.x);
    verticalScrollBar()->setRange(0, maximum.y);
    horizontalScrollBar()->setPageStep(std::max(1, window.width()));
    verticalScrollBar()->setPageStep(std::max(1, window.height()));
    // The hand shows where dragging moves the picture.
    const bool pannable = horizontalScrollBar()->maximum() > 0 || verticalScrollBar()->maximum() > 0;
    if (!panning_) {
        if (pannable && !settings_.batchMode) viewport()->setCursor(Qt::OpenHandCursor);
        else viewport()->unsetCursor();
    }
}

QPoint CKVScaleCrafterView::ScrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void CKVScaleCrafterView::ScrollTo(QPoint position) {
    horizontalScrollBar()->setValue(position.x());
    verticalScrollBar()->setValue(position.y());
}

PixelRect CKVScaleCrafterView::VisibleImageRect() const {
    return Geometry().ImageRectOf(Scrolling().VisibleContent(ToPixels(ScrollPosition())));
}

bool CKVScaleCrafterView::ScrollBoxDragged() const {
    return horizontalScrollBar()->isSliderDown() || verticalScrollBar()->isSliderDown();
}

void CKVScaleCrafterView::SetState(const QString& state) {
    if (state_ == state) return;
    state_ = state;
    setAccessibleDescription(state);
}

void CKVScaleCrafterView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    Draw(painter);
}

void CKVScaleCrafterView::Draw(QPainter& painter) {
    const ViewGeometry view = Geometry();
    const QRect window = viewport()->rect();
    if (view.IsEmpty()) {
        painter.fillRect(window, Qt::white);
        painter.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
        painter.drawText(window, Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("Open a photo with File \u2192 Open... (Ctrl+O), or drop it here."));
        SetState(kNoImage);
        return;
    }
    const ScrollGeometry scrolling = Scrolling();
    const PixelPoint scroll = ToPixels(ScrollPosition());
    const PixelPoint contentOrigin = scrolling.ContentOrigin(scroll);
    const QPoint origin(contentOrigin.x, contentOrigin.y);
    const PixelSize output = view.Content();

    // While a spin button steps the size the view keeps what it shows; the release draws again.
    if (!document_.IsAdjusting()) {
        const PixelRect image = view.ImageRectOf(scrolling.VisibleContent(scroll));
        const QuickDrawing drawing = QuickDrawingFor(settings_.algorithm, image.Size());
        const PixelRect destination = view.ContentRectOf(image);
        const bool sameSource = !cached_.isNull() && image == cachedSource_ && output.width == cachedOutputWidth_ &&
                                output.height == cachedOutputHeight_;
        if (sameSource && drawing.algorithm == cachedAlgorithm_) {
            if (!previewUsed_) {
                if (std::unique_ptr<Bitmap> preview = document_.TakeCurrentPreview()) {
                    const QImage exact = ToQImage(*preview);
                    if (!exact.isNull()) {
                        cached_ = exact;
                        previewUsed_ = true;
                        SetState(kExactPreview);
                    }
                }
            }
        } else {
            document_.TakeCurrentPreview();
            if (cached_.isNull() || !sameSource || !drawing.previewFollows) {
                cached_ = DrawScaled(*document_.Image(), image, destination.Width(), destination.Height(), drawing.mode);
                cachedSource_ = image;
                cachedDestination_ = destination;
                cachedOutputWidth_ = output.width;
                cachedOutputHeight_ = output.height;
            }
            cachedAlgorithm_ = drawing.algorithm;
            previewUsed_ = false;
            SetState(kQuickDrawing);
        }
        if (drawing.previewFollows && !previewUsed_ && !panning_ && !ScrollBoxDragged() && image.Width() > 2 &&
            image.Height() > 2)
            AskForPreview(image, destination);
    }

    // The window outside the image is white; the image area is drawn over, never erased first.
    const QRect content(origin, QSize(output.width, output.height));
    const QRegion outside = QRegion(window).subtracted(QRegion(content));
    for (const QRect& part : outside) painter.fillRect(part, Qt::white);
    if (!cached_.isNull()) {
        const QPoint at = origin + QPoint(cachedDestination_.left, cachedDestination_.top);
        const QRect covered = QRect(at, cached_.size()).intersected(content);
        painter.drawImage(covered.topLeft(), cached_, covered.translated(-at));
        // Whatever of the content the cached drawing does not cover (it is being replaced) stays white.
        for (const QRect& part : QRegion(content.intersected(window)).subtracted(QRegion(covered)))
            painter.fillRect(part, Qt::white);
        emit ImageDrawn();
    }
}

void CKVScaleCrafterView::AskForPreview(const PixelRect& image, const PixelRect& destination) {
    switch (document_.RequestPreview(image, destination)) {
        // Made at once (a copy at one to one): the next paint takes it.
        case PreviewOutcome::Copied: viewport()->update(); break;
        // Cut from a finished result: the document has the views drawn again already.
        case PreviewOutcome::FromCache:
        // Being computed: ID_PREVIEW_READY has the views drawn again.
        case PreviewOutcome::Started:
        case PreviewOutcome::Unchanged:
        // A batch run is under way and owns the cancel flag: the placeholder stays until the next
        // drawing after the run asks again.
        case PreviewOutcome::Refused:
        case PreviewOutcome::Nothing: break;
    }
}

void CKVScaleCrafterView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    emit VisiblePartChanged();
}

void CKVScaleCrafterView::scrollContentsBy(int, int) {
    if (!ScrollBoxDragged() && !panning_) emit VisiblePartChanged();
    viewport()->update();
}

void CKVScaleCrafterView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !document_.HasImage()) return QAbstractScrollArea::mousePressEvent(event);
    if (settings_.batchMode) return StartFileDrag();
    panning_ = true;
    pressPoint_ = event->position().toPoint();
    pressScroll_ = ScrollPosition();
    viewport()->setCursor(Qt::ClosedHandCursor);
}

void CKVScaleCrafterView::mouseMoveEvent(QMouseEvent* event) {
    if (!panning_ || !(event->buttons() & Qt::LeftButton)) return QAbstractScrollArea::mouseMoveEvent(event);
    const QPoint moved = pressPoint_ - event->position().toPoint();
    // Scroll bars clamp to their limits; an axis whose content fits has none to move.
    ScrollTo(pressScroll_ + moved);
    emit VisiblePartChanged();
}

void CKVScaleCrafterView::mouseReleaseEvent(QMouseEvent* event) {
    if (!panning_ || event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseReleaseEvent(event);
    panning_ = false;
    UpdateScrollBars();
    emit VisiblePartChanged();
    viewport()->update();
}

namespace {
// The local image files of a drop, in order.
std::vector<std::filesystem::path> DroppedImages(const QMimeData* mime) {
    std::vector<std::filesystem::path> files;
    if (!mime || !mime->hasUrls()) return files;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile()) continue;
        std::filesystem::path path(QFile::encodeName(url.toLocalFile()).toStdString());
        if (IsImageFile(path)) files.push_back(std::move(path));
    }
    return files;
}
}  // namespace

void CKVScaleCrafterView::dragEnterEvent(QDragEnterEvent* event) {
    // The view's own drag (the file, in batch mode) is not dropped back on it.
    if (event->source() != this && !DroppedImages(event->mimeData()).empty()) event->acceptProposedAction();
}

void CKVScaleCrafterView::dropEvent(QDropEvent* event) {
    const std::vector<std::filesystem::path> files = DroppedImages(event->mimeData());
    if (files.empty()) return;
    event->acceptProposedAction();
    emit FilesDropped(files);
}

void CKVScaleCrafterView::StartFileDrag() {
    // In batch mode the image is dragged out as its file, to be copied where it is dropped.
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(QFile::decodeName(document_.Path().string().c_str()))});
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction);
}

}  // namespace kv::ui
