#pragma once

#include <QFrame>
#include <QImage>
#include <memory>

#include "base/Geometry.h"
#include "document/NavigatorGeometry.h"

namespace kv {
class Bitmap;
class CKVScaleCrafterDoc;
}

namespace kv::ui {

class CKVScaleCrafterView;

// The whole image fitted into a small window in the settings bar, with a rectangle around the part
// the main view shows. Dragging the rectangle scrolls the view; it stops at the edge of the image,
// or in Crop mode at the edge of the part the output keeps.
class CNavigatorWnd final : public QFrame {
    Q_OBJECT
public:
    explicit CNavigatorWnd(QWidget* parent = nullptr);

    // The view whose visible part the navigator shows and scrolls.
    void SetView(CKVScaleCrafterView* view) { view_ = view; }
    // Rebuilds the navigator's picture of the document's image (none: shows nothing).
    void SetDocument(CKVScaleCrafterDoc* document);
    // The view scrolled or changed: move the rectangle.
    void UpdateViewRect();

    // Where the picture stands and where the rectangle stands, in the widget's pixels.
    PixelRect PictureRect() const;
    PixelRect ViewRect() const;
    bool IsDragging() const { return dragging_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Rebuild();
    ViewGeometry ViewShown() const;
    // A point of the widget in the geometry's pixels, which start at the frame's inside.
    PixelPoint Inside(QPoint point) const;

    CKVScaleCrafterDoc* document_ = nullptr;
    CKVScaleCrafterView* view_ = nullptr;
    QImage picture_;
    std::weak_ptr<Bitmap> pictured_;  // the image the picture shows
    PixelRect picturedRect_;  // where the picture was made for
    NavigatorGeometry geometry_{{}, {}};
    PixelRect frame_;  // the rectangle, in the geometry's pixels

    bool dragging_ = false;
    bool scrollingView_ = false;
    PixelPoint pressPoint_;
    PixelRect pressFrame_;
};

}  // namespace kv::ui
