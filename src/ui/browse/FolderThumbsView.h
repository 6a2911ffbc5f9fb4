#pragma once

#include <QAbstractScrollArea>
#include <QHash>
#include <QPixmap>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <functional>

#include "app/BrowserColors.h"
#include "browser/ThumbsBrowser.h"

class QMimeData;

namespace kv::ui {

// A scrolling grid of thumbnail cells over a toolkit-free browser: it hands the browser the mouse,
// the keys, the drops and the paints, and draws the cells the browser says are visible (one
// pixmap kept per visible picture). Works over any CThumbsBrowser.
class CFolderThumbsView final : public QAbstractScrollArea, public IThumbsView {
    Q_OBJECT
public:
    CFolderThumbsView(CThumbsBrowser& browser, const BrowserColors& colors, QWidget* parent = nullptr);
    ~CFolderThumbsView() override;

    CThumbsBrowser& browser() { return browser_; }

    // Runs a drag of the data out of the view and returns when it has ended: the desktop's drag
    // and drop, or a test that delivers the drag's events itself. The runner owns the data.
    using DragRunner = std::function<void(QMimeData* data)>;
    void SetDragRunner(DragRunner runner) { dragRunner_ = std::move(runner); }

    // IThumbsView
    PixelSize ClientSize() const override;
    PixelPoint ScrollPosition() const override;
    void SetScrollSizes(PixelSize content, PixelSize line) override;
    void ScrollTo(PixelPoint position) override;
    void RepaintAll() override;
    void RepaintRect(const PixelRect& area) override;
    void PostThumbReady() override;
    void StartAutoScroll() override;
    void StopAutoScroll() override;
    void BeginRename(const PixelRect& label, const std::filesystem::path& file, const std::string& name) override;
    void StartDrag(const std::vector<std::filesystem::path>& files) override;
    void ShowContextMenu(const ContextMenu& menu, PixelPoint at) override;
    void ShowProperties(const std::filesystem::path& file) override;
    void ShowStatus(const BrowserStatus& status) override;
    void SetBusy(bool busy) override;

    // How many cells show a picture after the last paint (for tests and the accessibility bus).
    int PicturesShown() const { return picturesShown_; }

signals:
    void StatusChanged(const QString& files, const QString& date, const QString& size, const QString& image);
    void PropertiesRequested(const std::filesystem::path& file);
    // A double click on a file.
    void FileActivated(const std::filesystem::path& file);
    // The view painted its cells (for tests and benchmarks).
    void Painted(int cells, int pictures);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void OnThumbReady();
    QPixmap PictureOf(const CThumbsBrowser::CellPaint& paint, QSize box);
    void DrawCell(QPainter& painter, const CThumbsBrowser::CellPaint& paint);
    void UpdateAccessibleText();

    CThumbsBrowser& browser_;
    const BrowserColors colors_;
    QTimer autoScroll_;
    QTimer labelTimer_;
    QTimer readyRepaint_;
    static constexpr int kReadyRepaintMs = 20;
    std::atomic<bool> readyPosted_{false};
    // The pictures drawn lately, by path, with the cell picture's identity they came from.
    struct Kept {
        QPixmap pixmap;
        const void* source = nullptr;
        QSize box;
    };
    QHash<QString, Kept> pixmaps_;
    int picturesShown_ = 0;
    int busyDepth_ = 0;
    DragRunner dragRunner_;
};

}  // namespace kv::ui
