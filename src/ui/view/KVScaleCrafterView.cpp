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
#include "imageio/ImageFiles.h"
#include "ui/bridge/ImageConversion.h"

namespace kv::ui {

namespace {
constexpr int kLineStep = 20;

const QString kNoImage = QStringLiteral("No image");
const QString kQuickDrawing = QStringLiteral("Quick drawing");
const QString kExactPreview = QStringLiteral("Exact preview");

// Own algorithms are first drawn as a nearest-neighbour placeholder; a part of at most 4 x 4 image
// pixels is drawn bicubic instead, and counts as algorithm 3 for that paint.
struct Drawing {
    ResizeAlgorithm algorithm;
    InterpolationMode mode;
};
Drawing DrawingFor(ResizeAlgorithm algorithm, const PixelRect& image) {
    if (!IsOwnResizeAlgorithm(algorithm)) return {algorithm, kResizeAlgorithms[algorithm].mode};
    if (image.Width() <= 4 && image.Height() <= 4) return {3, InterpolationMode::Bicubic};
    return {algorithm, InterpolationMode::NearestNeighbor};
}
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

ViewSizes CKVScaleCrafterView::Sizes() const {
    if (!document_.HasImage()) return {};
    return {document_.ImageWidth(), document_.ImageHeight(), settings_.width, settings_.height,
            settings_.correction == SizeCorrection::Crop};
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
    const ViewSizes sizes = Sizes();
    // Without an image the content is an empty white area of 10 x 10.
    const int contentWidth = sizes.IsValid() ? sizes.outputWidth : 10;
    const int contentHeight = sizes.IsValid() ? sizes.outputHeight : 10;
    const QSize window = viewport()->size();
    horizontalScrollBar()->setRange(0, MaxScroll(contentWidth, window.width()));
    verticalScrollBar()->setRange(0, MaxScroll(contentHeight, window.height()));
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
    const ViewSizes sizes = Sizes();
    if (!sizes.IsValid()) return {};
    const QPoint scroll = ScrollPosition();
    const PixelRect output =
        VisibleOutputRect(viewport()->width(), viewport()->height(), scroll.x(), scroll.y(), sizes);
    return kv::VisibleImageRect(output, sizes);
}

bool CKVScaleCrafterView::Scrolling() const {
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
    const ViewSizes sizes = Sizes();
    const QRect window = viewport()->rect();
    if (!sizes.IsValid()) {
        painter.fillRect(window, Qt::white);
        painter.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
        painter.drawText(window, Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("Open a photo with File \u2192 Open... (Ctrl+O), or drop it here."));
        SetState(kNoImage);
        return;
    }
    const QPoint scroll = ScrollPosition();
    const QPoint origin(ContentOrigin(sizes.outputWidth, window.width(), scroll.x()),
                        ContentOrigin(sizes.outputHeight, window.height(), scroll.y()));

    // While a spin button steps the size the view keeps what it shows; the release draws again.
    if (!document_.IsAdjusting()) {
        const PixelRect visibleOutput = VisibleOutputRect(window.width(), window.height(), scroll.x(), scroll.y(), sizes);
        const PixelRect image = kv::VisibleImageRect(visibleOutput, sizes);
        const Drawing drawing = DrawingFor(settings_.algorithm, image);
        const PixelRect destination = ImageToOutput(image, sizes);
        const bool sameSource = !cached_.isNull() && image == cachedSource_ &&
                                sizes.outputWidth == cachedOutputWidth_ && sizes.outputHeight == cachedOutputHeight_;
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
            if (cached_.isNull() || !sameSource || !IsOwnResizeAlgorithm(drawing.algorithm)) {
                cached_ = DrawScaled(*document_.Image(), image, destination.Width(), destination.Height(), drawing.mode);
                cachedSource_ = image;
                cachedDestination_ = destination;
                cachedOutputWidth_ = sizes.outputWidth;
                cachedOutputHeight_ = sizes.outputHeight;
            }
            cachedAlgorithm_ = drawing.algorithm;
            previewUsed_ = false;
            SetState(kQuickDrawing);
        }
        if (IsOwnResizeAlgorithm(drawing.algorithm) && !previewUsed_ && !panning_ && !Scrolling() &&
            image.Width() > 2 && image.Height() > 2)
            document_.RequestPreview(image, destination);
    }

    // The window outside the image is white; the image area is drawn over, never erased first.
    const QRect content(origin, QSize(sizes.outputWidth, sizes.outputHeight));
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

void CKVScaleCrafterView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    emit VisiblePartChanged();
}

void CKVScaleCrafterView::scrollContentsBy(int, int) {
    if (!Scrolling() && !panning_) emit VisiblePartChanged();
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
        if (IsSupportedImage(path)) files.push_back(std::move(path));
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
