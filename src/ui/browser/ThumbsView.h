#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPointer>
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <unordered_map>

#include "browser/ThumbsBrowser.h"
#include "ui/browser/CellPainter.h"
#include "ui/browser/PopupEdit.h"

class QMenu;
class QMimeData;

namespace kv::ui {

// The scrolling window of a thumbnail browser, the batch list's and the folder browser's: it owns
// the scroll position and hands the browser its mouse, keys, timers, paints, tool tips and drops;
// the browser decides. Cells are drawn by a CellPainter, only where the view is exposed.
class CThumbsView : public QAbstractScrollArea, public IThumbsView {
    Q_OBJECT
public:
    CThumbsView(CThumbsBrowser& browser, const BrowserColors& colors, QWidget* parent = nullptr);
    ~CThumbsView() override;

    CThumbsBrowser& browser() { return browser_; }
    CellPainter& cellPainter() { return painter_; }

    // Where the status texts, "Properties ..." and the context menus go. A menu runner shows the
    // menu and answers the chosen command id (0 for none); tests answer without showing it.
    void SetStatusSink(std::function<void(const BrowserStatus&)> sink) { statusSink_ = std::move(sink); }
    void SetPropertiesHandler(std::function<void(const std::filesystem::path&)> handler) {
        propertiesHandler_ = std::move(handler);
    }
    using MenuRunner = std::function<int(QMenu& menu, const QPoint& globalPosition)>;
    void SetMenuRunner(MenuRunner runner) { menuRunner_ = std::move(runner); }
    // Runs a drag of the data out of the view and returns when it has ended: the desktop's drag
    // and drop, or a test that delivers the drag's events itself. The runner owns the data.
    using DragRunner = std::function<void(QMimeData* data)>;
    void SetDragRunner(DragRunner runner) { dragRunner_ = std::move(runner); }

    // The editor of an in-place rename while one is open.
    CPopupEdit* RenameEditor() const { return editor_; }
    // How many of the cells in view showed their picture when they were last painted.
    int PicturesShown() const { return picturesShown_; }

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

signals:
    // The view painted (for tests and benchmarks): the cells in view and how many of them show
    // their picture now.
    void Painted(int cells, int pictures);

protected:
    // What a view draws over its cells (the batch list: a text while it is empty).
    virtual void PaintExtras(QPainter& painter) { (void)painter; }
    // A key the browser does not take, offered before the view's own keys; true when taken.
    virtual bool ViewKey(QKeyEvent* event) {
        (void)event;
        return false;
    }
    // What a screen reader hears of the view: how many files it holds and how many show their
    // thumbnail.
    virtual QString AccessibleText() const;
    // The files text of the last status (what the view holds, or the selected file).
    const QString& StatusFiles() const { return statusFiles_; }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void EndRename();
    void OnThumbReady();
    void UpdateAccessibleText();

    CThumbsBrowser& browser_;
    CellPainter painter_;
    QBasicTimer labelTimer_;
    QBasicTimer autoScrollTimer_;
    QBasicTimer readyRepaint_;
    std::atomic<bool> readyPosted_{false};
    std::function<void(const BrowserStatus&)> statusSink_;
    std::function<void(const std::filesystem::path&)> propertiesHandler_;
    MenuRunner menuRunner_;
    DragRunner dragRunner_;
    QPointer<CPopupEdit> editor_;
    QString statusFiles_;
    int cellsShown_ = 0;
    int picturesShown_ = 0;
    // The cells in view drawn without their picture, by path: where they are and the cached cell
    // they were drawn from (or none). A thumbnail ready for one of them repaints that cell at once;
    // the whole view repaints for thumbnails at most every kReadyRepaintMs.
    struct Waiting {
        QRect rect;
        const void* cell = nullptr;
    };
    std::unordered_map<std::string, Waiting> waiting_;
    int busy_ = 0;
};

}  // namespace kv::ui
