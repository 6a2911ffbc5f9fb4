#include "ui/frame/MainFrame.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/ResizeBarPresenter.h"
#include "app/SettingsStore.h"
#include "browser/BasketBrowser.h"
#include "base/CommandIds.h"
#include "document/KVScaleCrafterDoc.h"
#include "ui/batch/BasketView.h"
#include "ui/bridge/GuiCommandTarget.h"
#include "ui/browse/BrowseWnd.h"
#include "ui/browse/TabstopNavigator.h"
#include "ui/commands/CommandActions.h"
#include "ui/frame/StatusText.h"
#include "ui/frame/ToolbarIcons.h"
#include "ui/resizebar/ResizeDlgBar.h"
#include "ui/view/KVScaleCrafterView.h"
#include "app/HelpPages.h"
#include "ui/frame/ContextHelp.h"
#include "ui/view/NavigatorWnd.h"

namespace kv::ui {

namespace {

using namespace CommandId;

const QString kProgramTitle = QStringLiteral("KARVO Scale Crafter 3");
constexpr int kToolbarIconSize = 32;
// The progress bar stops at 90: the last tenth is never reported separately.
constexpr int kProgressMaximum = 90;

}  // namespace

CMainFrame::CMainFrame(CommandRouter& router, ResizeSettings& settings, ResizeBarPresenter& presenter,
                       CKVScaleCrafterDoc& document, SplitterMemory memory)
    : router_(router), settings_(settings), presenter_(presenter), document_(document), memory_(std::move(memory)) {
    setWindowTitle(kProgramTitle);
    setWindowIcon(ProgramIcon());
    setObjectName(QStringLiteral("MainFrame"));
    setDockOptions(QMainWindow::AnimatedDocks);

    actions_ = new CommandActions(router_, this);
    for (int id : {ID_FILE_OPEN, ID_FILE_SAVE, ID_BATCH_MODE, ID_VIEW_PREVIOUS, ID_VIEW_NEXT, ID_BROWSE,
                   ID_REMOVE_SELECTED, ID_BATCH_RUN, ID_VIEW_ICONS_POPUP, ID_BROWSE_DONE, ID_IMAGE_INFO, ID_APP_EXIT,
                   ID_HELP_TOPICS, ID_APP_ABOUT})
        actions_->Action(id)->setIcon(CommandIcon(id));
    actions_->BuildMenus(*menuBar());
    menuBar()->setAccessibleName(QStringLiteral("Menu Bar"));
    if (auto* more = menuBar()->findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button")))
        more->setAccessibleName(QStringLiteral("More menus"));

    toolbar_ = new QToolBar(QStringLiteral("Toolbar"), this);
    toolbar_->setObjectName(QStringLiteral("Toolbar"));
    toolbar_->setAccessibleName(QStringLiteral("Toolbar"));
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar_->setIconSize(QSize(kToolbarIconSize, kToolbarIconSize));
    toolbar_->setMovable(false);
    addToolBar(Qt::TopToolBarArea, toolbar_);
    // The button that shows the buttons a narrow window has no room for.
    if (auto* more = toolbar_->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("More buttons"));
    InstallButtonSet(ToolbarSet::Single);

    message_ = new CStatusText(this);
    statusBar()->addWidget(message_, 1);
    statusBar()->setAccessibleName(QStringLiteral("Status Bar"));
    // A child of the status bar placed by hand, so that it stands where the status text leaves room.
    progress_ = new QProgressBar(statusBar());
    progress_->setAccessibleName(QStringLiteral("Progress"));
    progress_->setTextVisible(false);
    progress_->hide();
    statusBar()->installEventFilter(this);

    bar_ = new CResizeDlgBar(presenter, this);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(bar_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setMinimumWidth(bar_->sizeHint().width() + 12);
    scroll->setAccessibleName(QStringLiteral("Resize settings"));
    dock_ = new QDockWidget(QStringLiteral("Resize settings"), this);
    dock_->setObjectName(QStringLiteral("ResizeSettings"));
    dock_->setAccessibleName(QStringLiteral("Resize settings"));
    dock_->setWidget(scroll);
    dock_->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    dock_->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetClosable);
    addDockWidget(Qt::RightDockWidgetArea, dock_);

    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->setChildrenCollapsible(false);
    top_ = new QStackedWidget(splitter_);
    view_ = new CKVScaleCrafterView(document_, settings_, top_);
    top_->addWidget(view_);
    batchRow_ = new QWidget(splitter_);
    SetHelpPage(batchRow_, help::kBatch);
    batchRow_->setMinimumHeight(60);
    auto* rowLayout = new QVBoxLayout(batchRow_);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    splitter_->addWidget(top_);
    splitter_->addWidget(batchRow_);
    batchRow_->hide();
    setCentralWidget(splitter_);

    bar_->Navigator().SetView(view_);
    connect(view_, &CKVScaleCrafterView::VisiblePartChanged, &bar_->Navigator(), &CNavigatorWnd::UpdateViewRect);
    actions_->UpdateStates();
}

CMainFrame::~CMainFrame() {
    // The builder threads stop telling the batch list's view about new thumbnails before the
    // view's destruction begins.
    if (basket_) basket_->SetHost(nullptr);
}

void CMainFrame::AttachBatchList(CBasketBrowser& browser, const BrowserColors& colors) {
    basket_ = &browser;
    basketView_ = new CBasketView(browser, colors, batchRow_);
    basketView_->SetStatusSink([this](const BrowserStatus& status) {
        // The status bar has one pane: the browser's parts stand in it side by side.
        QStringList parts;
        for (const std::string* part : {&status.files, &status.date, &status.size, &status.image})
            if (!part->empty()) parts << QString::fromStdString(*part);
        message_->SetStatus(parts.join(QStringLiteral("    ")));
    });
    batchRow_->layout()->addWidget(basketView_);
}

int CMainFrame::BatchRowHeightFor(int zoom) const {
    // The cells wrap into rows (the list scrolls up and down, never sideways): one row of cells
    // inside the list's frame fills it exactly.
    const int frame = basketView_ ? 2 * basketView_->frameWidth() : 0;
    return ThumbCellSize(zoom).height + frame;
}

void CMainFrame::OnZoomChanged(int zoom) {
    if (!basket_) return;
    basket_->SetZoom(zoom);
    if (settings_.batchMode && batchRow_->isVisible()) {
        const int client = splitter_->height() - splitter_->handleWidth();
        const int row = BatchRowHeightFor(zoom);
        splitter_->setSizes({std::max(0, client - row), row});
    }
    UpdateAllViews();
}

void CMainFrame::InstallButtonSet(ToolbarSet set) {
    toolbar_->clear();
    for (const ToolbarButton& button : ToolbarButtons(set)) {
        if (!button.id) toolbar_->addSeparator();
        else toolbar_->addAction(actions_->Action(button.id));
    }
    buttonSet_ = set;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == statusBar() && event->type() == QEvent::Resize && progress_->isVisible()) PlaceProgressBar();
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::PlaceProgressBar() {
    const QRect area = statusBar()->rect().adjusted(0, 2, 0, -2);
    const int w = area.width();
    progress_->setGeometry(w - w / 3 - 20, 2, w / 3, area.height());
}

void CMainFrame::OnProgressCommand(int id) {
    switch (id) {
        case ID_RESIZE_STARTED:
            if (progress_->isVisible()) return;
            PlaceProgressBar();
            progress_->setRange(0, kProgressMaximum);
            progress_->setValue(0);
            progress_->show();
            progress_->raise();
            break;
        case ID_RESIZE_PROGRESS: progress_->setValue(std::min(ResizeProgressPercent(), kProgressMaximum)); break;
        case ID_RESIZE_DONE: progress_->hide(); break;
        default: break;
    }
}

void CMainFrame::SetRecentFiles(const std::vector<std::string>& menuTexts) {
    QMenu* menu = actions_->RecentFilesAnchor();
    for (QAction* action : recentActions_) {
        menu->removeAction(action);
        action->deleteLater();
    }
    recentActions_.clear();
    for (size_t i = 0; i < menuTexts.size(); ++i) {
        const int id = ID_FILE_MRU_FILE1 + static_cast<int>(i);
        auto* action = new QAction(QString::fromStdString(menuTexts[i]), menu);
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { actions_->Run(id); });
        menu->insertAction(actions_->RecentFilesSeparator(), action);
        recentActions_.push_back(action);
    }
    actions_->RecentFilesSeparator()->setVisible(!menuTexts.empty());
}

void CMainFrame::SetDocumentTitle(const QString& title) {
    setWindowTitle(title.isEmpty() ? kProgramTitle : title + QStringLiteral(" - ") + kProgramTitle);
}

void CMainFrame::UpdateAllViews() {
    view_->OnUpdate();
    bar_->Navigator().UpdateViewRect();
}

bool CMainFrame::InBatchMode() const { return settings_.batchMode; }

void CMainFrame::StoreRightHeight() {
    if (memory_.writeRightHeight) memory_.writeRightHeight(splitter_->sizes().value(0));
}

void CMainFrame::ShowMessage(const QString& text) { message_->SetStatus(text); }

void CMainFrame::ShowPassingMessage(const QString& text, int timeoutMs) { message_->ShowPassing(text, timeoutMs); }

bool CMainFrame::event(QEvent* event) {
    // A menu entry's prompt is shown in the message pane, where screen readers find it, rather
    // than painted over the status bar.
    if (event->type() == QEvent::StatusTip) {
        message_->ShowPassing(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::ToggleBrowse() {
    if (browse_) {
        router_.SetHandler(CommandRoute::BrowseWindow, nullptr);
        top_->setCurrentWidget(view_);
        top_->removeWidget(browse_);
        delete browse_;
        browse_ = nullptr;
        if (basketView_) CTabstopNavigator::Instance().Unregister(basketView_);
        InstallButtonSet(ToolbarSet::Batch);
        ShowMessage({});
        if (settingsBarWasVisible_) dock_->show();
        UpdateAllViews();
        actions_->UpdateStates();
        return;
    }
    if (!browseFactory_ || !settings_.batchMode) return;
    settingsBarWasVisible_ = !dock_->isHidden();
    dock_->hide();
    // While browsing, Tab reaches the batch list between the folder tree and the browse window's
    // thumbnails (it joins first); otherwise Tab leaves it as any other control.
    if (basketView_) CTabstopNavigator::Instance().Register(basketView_, CTabstopNavigator::kThumbsViewOrder);
    // The browse window takes the main view's place, so it follows the view's row whatever the bars do.
    browse_ = browseFactory_(top_);
    top_->addWidget(browse_);
    top_->setCurrentWidget(browse_);
    router_.SetHandler(CommandRoute::BrowseWindow, browse_);
    InstallButtonSet(ToolbarSet::Browse);
    connect(browse_, &CBrowseWnd::StatusChanged, this, &CMainFrame::ShowMessage);
    actions_->UpdateStates();
}

void CMainFrame::ToggleBatchMode() {
    // Leaving batch mode closes the browse window first.
    if (settings_.batchMode && browse_) ToggleBrowse();
    if (settings_.batchMode) StoreRightHeight();
    settings_.batchMode = !settings_.batchMode;
    if (settings_.batchMode) {
        // Without a stored height the batch row shows one row of cells; the splitter holds the
        // view and the row only (the tool bar and the status bar are outside it).
        const int client = splitter_->height() - splitter_->handleWidth();
        const std::optional<int> stored = memory_.readRightHeight ? memory_.readRightHeight() : std::nullopt;
        const int top = stored.value_or(client - BatchRowHeightFor(basket_ ? basket_->zoom() : kLargeIconsZoom));
        batchRow_->show();
        splitter_->setSizes({top, std::max(0, client - top)});
        InstallButtonSet(ToolbarSet::Batch);
    } else {
        batchRow_->hide();
        InstallButtonSet(ToolbarSet::Single);
    }
    presenter_.OnBatchModeChanged();
}

bool CMainFrame::HandlesCommand(int id) const {
    switch (id) {
        case ID_BATCH_MODE:
        case ID_VIEW_TOOLBAR:
        case ID_VIEW_STATUS_BAR:
        case ID_VIEW_RESIZE_SETTINGS:
        case ID_BROWSE:
        case ID_BROWSE_DONE:
        case ID_REMOVE_SELECTED:
        case ID_VIEW_ICONS_POPUP:
        case ID_RESIZE_STARTED:
        case ID_RESIZE_PROGRESS:
        case ID_RESIZE_DONE: return true;
        default: return false;
    }
}

CommandState CMainFrame::CommandStateOf(int id) const {
    switch (id) {
        case ID_BATCH_MODE: return {true, settings_.batchMode};
        // A bar counts as shown unless it was hidden, also before the window itself is shown.
        case ID_VIEW_TOOLBAR: return {true, !toolbar_->isHidden()};
        case ID_VIEW_STATUS_BAR: return {true, !statusBar()->isHidden()};
        case ID_VIEW_RESIZE_SETTINGS: return {browse_ == nullptr, !dock_->isHidden()};
        case ID_REMOVE_SELECTED: return basket_ ? basket_->CommandStateOf(id) : CommandState{false, false};
        case ID_VIEW_ICONS_POPUP: return {settings_.batchMode, false};
        case ID_BROWSE:
        case ID_BROWSE_DONE: return {settings_.batchMode && browseFactory_ != nullptr, browse_ != nullptr};
        default: return {};
    }
}

void CMainFrame::OnCommand(int id) {
    switch (id) {
        case ID_BATCH_MODE: ToggleBatchMode(); break;
        case ID_BROWSE:
        case ID_BROWSE_DONE: ToggleBrowse(); break;
        case ID_VIEW_TOOLBAR: toolbar_->setHidden(!toolbar_->isHidden()); break;
        case ID_VIEW_STATUS_BAR: statusBar()->setHidden(!statusBar()->isHidden()); break;
        case ID_VIEW_RESIZE_SETTINGS: dock_->setHidden(!dock_->isHidden()); break;
        case ID_VIEW_ICONS_POPUP: actions_->IconsPopup().exec(QCursor::pos()); break;
        case ID_REMOVE_SELECTED:
            if (basket_) basket_->OnCommand(id);
            break;
        case ID_RESIZE_STARTED:
        case ID_RESIZE_PROGRESS:
        case ID_RESIZE_DONE: OnProgressCommand(id); break;
        default: break;
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (browse_) ToggleBrowse();
    if (settings_.batchMode) StoreRightHeight();
    emit Closing();
    QMainWindow::closeEvent(event);
}

}  // namespace kv::ui
