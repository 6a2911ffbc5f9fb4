#include "ui/view/NavigatorWnd.h"

#include <QMouseEvent>
#include <QPainter>

#include "document/KVScaleCrafterDoc.h"
#include "ui/bridge/ImageConversion.h"
#include "ui/view/KVScaleCrafterView.h"

namespace kv::ui {

namespace {
QRect ToQRect(const PixelRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }
}  // namespace

CNavigatorWnd::CNavigatorWnd(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setMinimumHeight(120);
    setAccessibleName(QStringLiteral("Navigator"));
    setToolTip(QStringLiteral("Drag the rectangle to move the view"));
}

ViewSizes CNavigatorWnd::Sizes() const { return view_ ? view_->Sizes() : ViewSizes{}; }

void CNavigatorWnd::SetDocument(CKVScaleCrafterDoc* document) {
    document_ = document;
    Rebuild();
    UpdateViewRect();
}

void CNavigatorWnd::Rebuild() {
    const std::shared_ptr<Bitmap> image = document_ ? document_->SharedImage() : nullptr;
    const QRect area = contentsRect();
    // The same image at the same size and kept part: the picture stands as it is.
    if (image && image == pictured_.lock() && area.size() == picturedArea_ && Sizes().crop == pictureSizes_.crop &&
        (!pictureSizes_.crop || (Sizes().outputWidth == pictureSizes_.outputWidth &&
                                 Sizes().outputHeight == pictureSizes_.outputHeight)))
        return;
    picture_ = QImage();
    layout_ = {};
    pictureSizes_ = Sizes();
    pictured_ = image;
    picturedArea_ = area.size();
    if (!image) return update();
    layout_ = FitNavigator(area.width(), area.height(), pictureSizes_);
    layout_.image = {layout_.image.left + area.left(), layout_.image.top + area.top(),
                     layout_.image.right + area.left(), layout_.image.bottom + area.top()};
    layout_.allowed = {layout_.allowed.left + area.left(), layout_.allowed.top + area.top(),
                       layout_.allowed.right + area.left(), layout_.allowed.bottom + area.top()};
    if (!layout_.image.IsEmpty()) picture_ = Thumbnail(*image, layout_.image.Width(), layout_.image.Height());
    update();
}

void CNavigatorWnd::UpdateViewRect() {
    if (scrollingView_ || dragging_) return;
    const ViewSizes sizes = Sizes();
    // The kept part in Crop mode depends on the output size, so a new size lays the picture out again.
    Rebuild();
    viewRect_ = view_ && sizes.IsValid() ? NavigatorViewRect(view_->VisibleImageRect(), layout_, sizes) : PixelRect{};
    update();
}

void CNavigatorWnd::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    Rebuild();
    UpdateViewRect();
}

void CNavigatorWnd::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (picture_.isNull()) return;
    QPainter painter(this);
    painter.drawImage(layout_.image.left, layout_.image.top, picture_);
    const PixelRect& image = layout_.image;
    const PixelRect& r = viewRect_;
    if (r.IsEmpty() || (r.Width() >= image.Width() && r.Height() >= image.Height())) return;
    // The rectangle stands in a cross of lines out to the picture's edges, drawn so that it shows
    // on light and dark parts alike.
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(r.left, r.top, r.Width() - 1, r.Height() - 1));
    const int midX = (r.left + r.right) / 2;
    const int midY = (r.top + r.bottom) / 2;
    painter.drawLine(image.left, midY, r.left - 1, midY);
    painter.drawLine(r.right, midY, image.right - 1, midY);
    painter.drawLine(midX, image.top, midX, r.top - 1);
    painter.drawLine(midX, r.bottom, midX, image.bottom - 1);
}

void CNavigatorWnd::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !ToQRect(viewRect_).contains(at)) return QFrame::mousePressEvent(event);
    dragging_ = true;
    pressPoint_ = at;
    pressRect_ = viewRect_;
}

void CNavigatorWnd::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return QFrame::mouseMoveEvent(event);
    const QPoint offset = event->position().toPoint() - pressPoint_;
    const PixelRect moved{pressRect_.left + offset.x(), pressRect_.top + offset.y(), pressRect_.right + offset.x(),
                          pressRect_.bottom + offset.y()};
    viewRect_ = KeepInside(moved, layout_.allowed);
    update();
}

void CNavigatorWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return QFrame::mouseReleaseEvent(event);
    dragging_ = false;
    update();
    if (!view_) return;
    const ScrollPosition position = ScrollFromNavigator(viewRect_, layout_, Sizes());
    scrollingView_ = true;
    view_->ScrollTo(QPoint(position.x, position.y));
    scrollingView_ = false;
    view_->OnUpdate();
}

}  // namespace kv::ui
