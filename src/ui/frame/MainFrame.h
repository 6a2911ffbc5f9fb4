#pragma once

#include <QMainWindow>
#include <functional>
#include <optional>

#include "app/CommandTable.h"
#include "base/CommandRouter.h"

class QDockWidget;
class QLabel;
class QProgressBar;
class QSplitter;
class QStackedWidget;
class QToolBar;

namespace kv {
class CBasketBrowser;
class CKVScaleCrafterDoc;
struct BrowserColors;
class ResizeBarPresenter;
struct ResizeSettings;
}  // namespace kv

namespace kv::ui {

class CBasketView;
class CKVScaleCrafterView;
class CBrowseWnd;
class CResizeDlgBar;
class CStatusText;
class CommandActions;

// Where the frame keeps the height of the main view's row in batch mode between runs.
struct SplitterMemory {
    std::function<std::optional<int>()> readRightHeight;
    std::function<void(int)> writeRightHeight;
};

// The program's main window: menus, the toolbar with its three button sets, the status bar with the
// progress bar, the resize settings bar docked at the right, and two rows: the main view above and
// the batch list below, shown only in batch mode. It is the frame's stop of the command routing:
// the layout toggles, batch mode and the resize's progress notices.
class CMainFrame final : public QMainWindow, public ICommandHandler {
    Q_OBJECT
public:
    CMainFrame(CommandRouter& router, ResizeSettings& settings, ResizeBarPresenter& presenter,
               CKVScaleCrafterDoc& document, SplitterMemory memory);
    ~CMainFrame() override;

    CommandActions& Actions() { return *actions_; }
    CResizeDlgBar& SettingsBar() { return *bar_; }
    CKVScaleCrafterView& View() { return *view_; }
    QToolBar& ToolBar() { return *toolbar_; }
    QProgressBar& Progress() { return *progress_; }
    QDockWidget& SettingsDock() { return *dock_; }
    QWidget& BatchRow() { return *batchRow_; }
    // The batch list's view in the batch row, once the list is attached.
    CBasketView* BasketView() { return basketView_; }
    QSplitter& Splitter() { return *splitter_; }
    ToolbarSet ButtonSet() const { return buttonSet_; }

    // The recent files as the File menu lists them (their menu texts, newest first).
    void SetRecentFiles(const std::vector<std::string>& menuTexts);
    // The document's title (its file name) or none.
    void SetDocumentTitle(const QString& title);
    // The document or the settings changed: views and navigator follow.
    void UpdateAllViews();

    bool HandlesCommand(int id) const override;
    CommandState CommandStateOf(int id) const override;
    // The progress notices of the resize arrive here too: 32840 shows the bar, 32838 moves it,
    // 32841 hides it.
    void OnCommand(int id) override;

    void ToggleBatchMode();
    bool InBatchMode() const;

    // Puts the batch list's view into the batch row. Its browser answers "Re&move Selected".
    void AttachBatchList(CBasketBrowser& browser, const BrowserColors& colors);
    // The thumbnails changed size: the batch list takes the zoom and, when it is shown, its row is
    // sized to show exactly one row of cells.
    void OnZoomChanged(int zoom);
    // The height the batch row needs for one row of cells at a zoom.
    int BatchRowHeightFor(int zoom) const;
    // Makes the browse window (the program gives it everything it works with).
    using BrowseFactory = std::function<CBrowseWnd*(QWidget* parent)>;
    void SetBrowseFactory(BrowseFactory factory) { browseFactory_ = std::move(factory); }
    // Opens the browse window over the main view, or closes it.
    void ToggleBrowse();
    CBrowseWnd* BrowseWindow() const { return browse_; }
    // The status bar's message pane: its standing text, and a passing message shown for a while.
    void ShowMessage(const QString& text);
    void ShowPassingMessage(const QString& text, int timeoutMs);
    CStatusText& StatusText() { return *message_; }

signals:
    void Closing();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void InstallButtonSet(ToolbarSet set);
    void OnProgressCommand(int id);
    void PlaceProgressBar();
    void StoreRightHeight();

    CommandRouter& router_;
    ResizeSettings& settings_;
    ResizeBarPresenter& presenter_;
    CKVScaleCrafterDoc& document_;
    SplitterMemory memory_;
    CommandActions* actions_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QProgressBar* progress_ = nullptr;
    CStatusText* message_ = nullptr;
    QDockWidget* dock_ = nullptr;
    CResizeDlgBar* bar_ = nullptr;
    QSplitter* splitter_ = nullptr;
    // The main view's row: the view, or the browse window in its place.
    QStackedWidget* top_ = nullptr;
    CKVScaleCrafterView* view_ = nullptr;
    BrowseFactory browseFactory_;
    CBrowseWnd* browse_ = nullptr;
    bool settingsBarWasVisible_ = false;
    QWidget* batchRow_ = nullptr;
    CBasketBrowser* basket_ = nullptr;
    CBasketView* basketView_ = nullptr;
    std::vector<QAction*> recentActions_;
    ToolbarSet buttonSet_ = ToolbarSet::Single;
};

}  // namespace kv::ui
