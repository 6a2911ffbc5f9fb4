#include "ui/view/NavigatorWnd.h"

#include <QMouseEvent>
#include <QPainter>

#include "document/KVScaleCrafterDoc.h"
#include "ui/bridge/ImageConversion.h"
#include "ui/view/KVScaleCrafterView.h"

namespace kv::ui {

CNavigatorWnd::CNavigatorWnd(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setMinimumHeight(120);
    setAccessibleName(QStringLiteral("Navigator"));
    setToolTip(QStringLiteral("Drag the rectangle to move the view"));
}

ViewGeometry CNavigatorWnd::ViewShown() const { return view_ ? view_->Geometry() : ViewGeometry(); }

PixelPoint CNavigatorWnd::Inside(QPoint point) const {
    const QPoint origin = contentsRect().topLeft();
    return {point.x() - origin.x(), point.y() - origin.y()};
}

PixelRect CNavigatorWnd::PictureRect() const {
    return geometry_.ImageRect().Offset(contentsRect().left(), contentsRect().top());
}

PixelRect CNavigatorWnd::ViewRect() const { return frame_.Offset(contentsRect().left(), contentsRect().top()); }

void CNavigatorWnd::SetDocument(CKVScaleCrafterDoc* document) {
    document_ = document;
    Rebuild();
    UpdateViewRect();
}

void CNavigatorWnd::Rebuild() {
    const std::shared_ptr<Bitmap> image = document_ ? document_->SharedImage() : nullptr;
    const QSize area = contentsRect().size();
    // The output's size and Crop move the allowed part and the scrolling, never the picture.
    geometry_ = NavigatorGeometry({area.width(), area.height()}, image ? ViewShown() : ViewGeometry());
    const PixelRect picture = geometry_.ImageRect();
    // The same image in the same place: the picture stands as it is.
    if (image && image == pictured_.lock() && picture == picturedRect_) return;
    picture_ = QImage();
    pictured_ = image;
    picturedRect_ = picture;
    if (image && !picture.IsEmpty()) picture_ = Thumbnail(*image, picture.Width(), picture.Height());
    update();
}

void CNavigatorWnd::UpdateViewRect() {
    if (scrollingView_ || dragging_) return;
    // The kept part in Crop mode depends on the output size, so a new size lays the picture out again.
    Rebuild();
    frame_ = view_ ? geometry_.FrameOf(view_->VisibleImageRect()) : PixelRect{};
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
    painter.translate(contentsRect().topLeft());
    const PixelRect picture = geometry_.ImageRect();
    painter.drawImage(picture.left, picture.top, picture_);
    const PixelRect& r = frame_;
    if (r.IsEmpty() || !geometry_.ShowsFrame(r)) return;
    // The rectangle stands in a cross of lines out to the picture's edges, drawn so that it shows
    // on light and dark parts alike. Each line runs from just outside the rectangle to the
    // picture's last pixel: a pixel drawn twice would be drawn away again.
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(r.left, r.top, r.Width() - 1, r.Height() - 1));
    for (const PixelLine& line : geometry_.Cross(r)) {
        const int dx = (line.to.x > line.from.x) - (line.to.x < line.from.x);
        const int dy = (line.to.y > line.from.y) - (line.to.y < line.from.y);
        if (dx == 0 && dy == 0) continue;  // the rectangle touches the picture's edge there
        const QPoint from(line.from.x + (dx < 0 ? -1 : 0), line.from.y + (dy < 0 ? -1 : 0));
        const QPoint to(line.to.x - (dx > 0 ? 1 : 0), line.to.y - (dy > 0 ? 1 : 0));
        painter.drawLine(from, to);
    }
}

void CNavigatorWnd::mousePressEvent(QMouseEvent* event) {
    const PixelPoint at = Inside(event->position().toPoint());
    const bool onFrame = at.x >= frame_.left && at.x < frame_.right && at.y >= frame_.top && at.y < frame_.bottom;
    if (event->button() != Qt::LeftButton || !onFrame) return QFrame::mousePressEvent(event);
    dragging_ = true;
    pressPoint_ = at;
    pressFrame_ = frame_;
}

void CNavigatorWnd::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return QFrame::mouseMoveEvent(event);
    frame_ = geometry_.Dragged(pressFrame_, pressPoint_, Inside(event->position().toPoint()));
    update();
}

void CNavigatorWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return QFrame::mouseReleaseEvent(event);
    dragging_ = false;
    update();
    if (!view_) return;
    const PixelPoint scroll = geometry_.ScrollFor(frame_);
    scrollingView_ = true;
    view_->ScrollTo(QPoint(scroll.x, scroll.y));
    scrollingView_ = false;
    view_->OnUpdate();
}

}  // namespace kv::ui
