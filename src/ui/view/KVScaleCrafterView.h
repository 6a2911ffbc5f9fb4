#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "base/Geometry.h"
#include "document/ScrollGeometry.h"
#include "document/ViewGeometry.h"

namespace kv {
class CKVScaleCrafterDoc;
struct ResizeSettings;
}  // namespace kv

namespace kv::ui {

// The main view: the open image as it will look after resizing, pixel for pixel at the output size.
// It draws the visible part at once with the algorithm's interpolation (nearest neighbour as a
// placeholder for the own algorithms), asks the document for the exact preview of that part, and
// draws the preview as soon as it arrives. The user pans by dragging the image or with the scroll
// bars; neither asks for a preview until it ends.
class CKVScaleCrafterView final : public QAbstractScrollArea {
    Q_OBJECT
public:
    CKVScaleCrafterView(CKVScaleCrafterDoc& document, const ResizeSettings& settings, QWidget* parent = nullptr);

    // A new document image: forget the cached drawing and take the image's size.
    void OnInitialUpdate();
    // The document or the settings changed: take the sizes again and draw.
    void OnUpdate();

    // Where the content comes from in the image: the open image at the output size (empty without one).
    ViewGeometry Geometry() const;
    // The scrolling of the content in the window.
    ScrollGeometry Scrolling() const;
    // The part of the image the view shows (in Crop mode a part of what the output keeps).
    PixelRect VisibleImageRect() const;
    QPoint ScrollPosition() const;
    void ScrollTo(QPoint position);

    // What the view shows, for tests and for screen readers (its accessible description):
    // "No image", "Quick drawing" or "Exact preview".
    QString DrawingState() const { return state_; }
    bool IsPanning() const { return panning_; }

signals:
    // The visible part moved or changed size: the navigator follows.
    void VisiblePartChanged();
    // A paint drew the image (the quick drawing or the exact preview).
    void ImageDrawn();
    // Image files were dropped on the view.
    void FilesDropped(const std::vector<std::filesystem::path>& files);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void UpdateScrollBars();
    bool ScrollBoxDragged() const;
    // Asks the document for the exact preview of a visible part (image and content pixels).
    void AskForPreview(const PixelRect& image, const PixelRect& destination);
    void SetState(const QString& state);
    void StartFileDrag();
    // Brings the cached drawing up to the visible part; returns where it stands in content pixels.
    void Draw(QPainter& painter);

    CKVScaleCrafterDoc& document_;
    const ResizeSettings& settings_;

    QImage cached_;
    PixelRect cachedSource_;
    PixelRect cachedDestination_;
    int32_t cachedOutputWidth_ = 0;
    int32_t cachedOutputHeight_ = 0;
    int32_t cachedAlgorithm_ = -1;
    bool previewUsed_ = false;

    bool panning_ = false;
    QPoint pressPoint_;
    QPoint pressScroll_;
    QString state_;
};

}  // namespace kv::ui
