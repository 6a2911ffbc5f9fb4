#include <QContextMenuEvent>
#include <QDockWidget>
#include <QInputDialog>
#include <QTableWidget>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QLineEdit>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <atomic>
#include <future>
#include <optional>

#include "base/CommandIds.h"
#include "browser/ImgThumbsBrowser.h"
#include "browser/ShellNamespace.h"
#include "ui/UiTestSupport.h"
#include "ui/batch/BasketView.h"
#include "ui/browse/BrowseWnd.h"
#include "ui/dialogs/ImageInfoDlg.h"
#include "ui/browser/ThumbsView.h"
#include "ui/browse/ShellTree.h"
#include "ui/browse/ShellTreeModel.h"
#include "ui/browse/TabstopNavigator.h"
#include "ui/view/KVScaleCrafterView.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using namespace CommandId;

class Browse : public test::AppFixture {
protected:
    void SetUp() override {
        fs::create_directories(dir / "album/Rome");
        Copy("DSCN0010.jpg", "album/DSCN0010.jpg");
        Copy("Canon_40D.jpg", "album/Canon_40D.jpg");
        Copy("small.jpg", "small.jpg");
        test::AppFixture::SetUp();
    }
    ui::CBrowseWnd& OpenBrowse() {
        if (!app->Settings().batchMode) Run(ID_BATCH_MODE);
        Run(ID_BROWSE);
        ui::CBrowseWnd* browse = app->Frame().BrowseWindow();
        if (!browse) std::abort();
        return *browse;
    }
    static std::vector<QString> ToolbarTexts(QToolBar& toolbar) {
        std::vector<QString> texts;
        for (QAction* action : toolbar.actions()) texts.push_back(action->isSeparator() ? QString() : action->iconText());
        return texts;
    }
};

TEST_F(Browse, BrowseAndDoneSwapTheLayoutAndTheButtonsAndKeepTheTreesWidth) {
    ui::CMainFrame& frame = app->Frame();
    EXPECT_FALSE(frame.Actions().Action(ID_BROWSE)->isEnabled());  // only in batch mode
    ui::CBrowseWnd& browse = OpenBrowse();
    EXPECT_TRUE(browse.isVisible());
    EXPECT_FALSE(frame.SettingsDock().isVisible());
    EXPECT_FALSE(frame.Actions().Action(ID_VIEW_RESIZE_SETTINGS)->isEnabled());
    EXPECT_TRUE(frame.Actions().Action(ID_BROWSE)->isChecked());
    EXPECT_EQ(ToolbarTexts(frame.ToolBar()), (std::vector<QString>{"Done", "", "Remove", "", "View"}));
    EXPECT_GE(browse.Splitter().sizes().value(0), ui::CBrowseWnd::kDefaultLeftWidth);
    // The browse window stays where the main view is when bars come and go.
    Run(ID_VIEW_TOOLBAR);
    EXPECT_TRUE(test::WaitUntil([&] { return browse.geometry() == browse.parentWidget()->rect(); }));
    Run(ID_VIEW_TOOLBAR);

    // The start folder (the pictures folder here) shows its photo, and its thumbnail comes.
    ui::CThumbsView& view = browse.View();
    EXPECT_TRUE(test::WaitUntil([&] { return view.browser().items().size() == 1; }));
    EXPECT_TRUE(test::WaitUntil([&] { return view.PicturesShown() == 1; }));

    browse.Splitter().setSizes({260, browse.width() - 260});
    Run(ID_BROWSE_DONE);
    EXPECT_EQ(frame.BrowseWindow(), nullptr);
    // Without the browse window no pane takes Tab (the batch list's Tab is its window's again).
    EXPECT_TRUE(ui::CTabstopNavigator::Instance().Panes().empty());
    EXPECT_TRUE(frame.SettingsDock().isVisible());
    EXPECT_TRUE(frame.View().isVisible());
    EXPECT_EQ(ToolbarTexts(frame.ToolBar()).front(), "Open");

    // Opened again, the tree is as wide as it was; leaving batch mode closes the browse window.
    EXPECT_EQ(OpenBrowse().Splitter().sizes().value(0), 260);
    Run(ID_BATCH_MODE);
    EXPECT_EQ(frame.BrowseWindow(), nullptr);
    EXPECT_EQ(frame.ButtonSet(), ToolbarSet::Single);
}

TEST_F(Browse, TheTreeOpensWideEnoughForItsNamesAndKeepsItsParentsInSight) {
    const fs::path deep = dir / "Family photographs" / "Holidays in the mountains" / "Day three, the glacier";
    fs::create_directories(deep);
    app->Stored().browseDefault = deep.string();
    ui::CBrowseWnd& browse = OpenBrowse();
    ui::CShellTree& tree = browse.Tree();
    ASSERT_TRUE(test::WaitUntil([&] { return tree.SelectedItem() && tree.SelectedItem()->path == deep; }));
    ASSERT_TRUE(test::WaitUntil([&] { return browse.Splitter().sizes().value(0) > ui::CBrowseWnd::kDefaultLeftWidth; }));
    // Every row from the chosen folder up to the top shows its whole name, with nothing scrolled.
    const auto wholeNames = [&] {
        for (QModelIndex index = tree.currentIndex(); index.isValid(); index = index.parent()) {
            const QRect rect = tree.visualRect(index);
            const int text = tree.fontMetrics().horizontalAdvance(index.data().toString());
            if (rect.left() < 0 || rect.left() + text > tree.viewport()->width()) return false;
        }
        return true;
    };
    EXPECT_TRUE(test::WaitUntil(wholeNames));
    EXPECT_EQ(tree.horizontalScrollBar()->value(), 0);

    // A narrower pane is remembered; a deep folder chosen in it leaves its parents' names whole
    // at their start, where the eye looks for them.
    browse.Splitter().setSizes({150, browse.width() - 150});
    Run(ID_BROWSE_DONE);
    ui::CBrowseWnd& again = OpenBrowse();
    EXPECT_EQ(again.Splitter().sizes().value(0), 150);
    ui::CShellTree& narrow = again.Tree();
    ASSERT_TRUE(test::WaitUntil([&] { return narrow.SelectedItem() && narrow.SelectedItem()->path == deep; }));
    QCoreApplication::processEvents();
    for (QModelIndex index = narrow.currentIndex().parent(); index.isValid(); index = index.parent())
        EXPECT_GE(narrow.visualRect(index).left(), 0) << index.data().toString().toStdString();
    EXPECT_EQ(again.Splitter().sizes().value(0), 150);
}

TEST_F(Browse, TheTreeSelectsRenamesAndDeletesFoldersAndTheBrowserFollows) {
    ui::CBrowseWnd& browse = OpenBrowse();
    ui::CShellTree& tree = browse.Tree();
    ASSERT_TRUE(tree.SelectPath(dir / "album"));
    EXPECT_TRUE(tree.isExpanded(tree.currentIndex().parent()));
    ui::CThumbsView& view = browse.View();
    EXPECT_TRUE(test::WaitUntil([&] { return view.browser().items().size() == 2; }));
    EXPECT_TRUE(test::WaitUntil([&] { return view.PicturesShown() == 2; }));

    // Expanding lists the subfolder (on another thread); renaming it in place renames it on disk.
    tree.expand(tree.currentIndex());
    ASSERT_TRUE(test::WaitUntil([&] { return tree.model()->rowCount(tree.currentIndex()) == 1; }));
    const QModelIndex rome = tree.model()->index(0, 0, tree.currentIndex());
    tree.setCurrentIndex(rome);
    tree.edit(rome);
    auto* editor = tree.findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("Roma"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(test::WaitUntil([&] { return fs::is_directory(dir / "album/Roma"); }));
    EXPECT_FALSE(fs::exists(dir / "album/Rome"));
    EXPECT_TRUE(test::WaitUntil([&] { return tree.SelectedItem() && tree.SelectedItem()->name == "Roma"; }));

    // Delete moves it to the Trash (after asking) and selects its parent.
    QTest::keyClick(&tree, Qt::Key_Delete);
    EXPECT_FALSE(fs::exists(dir / "album/Roma"));
    EXPECT_TRUE(fs::is_directory(dir / "data/Trash/files/Roma"));
    ASSERT_NE(tree.SelectedItem(), nullptr);
    EXPECT_EQ(tree.SelectedItem()->path, dir / "album");
    EXPECT_EQ(prompt.questions.size(), 1u);

    // A selected folder deleted behind the program's back is noticed by the check.
    fs::create_directories(dir / "album/Later");
    tree.Model().shell().Refresh(*tree.SelectedItem(), false, false);
    ASSERT_TRUE(tree.SelectPath(dir / "album/Later"));
    fs::remove(dir / "album/Later");
    tree.CheckSelection();
    EXPECT_EQ(tree.SelectedItem(), nullptr);
}

TEST_F(Browse, ALibraryShowsThePhotosOfItsFoldersAndFollowsItsFile) {
    ui::CBrowseWnd& browse = OpenBrowse();
    ui::CShellTree& tree = browse.Tree();
    // A first run made the "Pictures" library with the pictures folder (the test's folder).
    ASSERT_TRUE(tree.SelectLibrary("Pictures"));
    CImgThumbsBrowser& browser = browse.Browser();
    EXPECT_EQ(browser.listMode(), ListMode::Library);
    EXPECT_EQ(browser.items().size(), 1u);  // small.jpg; the album is a subfolder

    // A folder included in the library (its file changes): the tree hears of it from the
    // libraries' watcher and shows the library again.
    ShellItem* library = tree.SelectedItem();
    ASSERT_TRUE(tree.Model().shell().IncludeInLibrary(*library, dir / "album"));
    EXPECT_TRUE(test::WaitUntil([&] { return browser.items().size() == 3; }));
    tree.expand(tree.currentIndex());
    EXPECT_EQ(tree.model()->rowCount(tree.currentIndex()), 2);
}

TEST_F(Browse, FilesDroppedOnTheThumbnailsAreMovedOrCopiedIntoTheFolder) {
    ui::CBrowseWnd& browse = OpenBrowse();
    ASSERT_TRUE(browse.Tree().SelectPath(dir / "album"));
    ui::CThumbsView& view = browse.View();
    ASSERT_TRUE(test::WaitUntil([&] { return view.browser().items().size() == 2; }));
    const auto drop = [&](const fs::path& file, Qt::KeyboardModifiers keys) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
        return test::DragAndDrop(view.viewport(), &data, {50, 50}, Qt::CopyAction | Qt::MoveAction, keys);
    };
    // From the same file system a drop moves; with Ctrl it copies, under a free name.
    EXPECT_EQ(drop(dir / "small.jpg", Qt::NoModifier), Qt::MoveAction);
    EXPECT_FALSE(fs::exists(dir / "small.jpg"));
    EXPECT_TRUE(fs::exists(dir / "album/small.jpg"));
    Copy("small.jpg", "small.jpg");
    EXPECT_EQ(drop(dir / "small.jpg", Qt::ControlModifier), Qt::CopyAction);
    EXPECT_TRUE(fs::exists(dir / "small.jpg"));
    EXPECT_TRUE(fs::exists(dir / "album/small (2).jpg"));
    EXPECT_EQ(view.browser().items().size(), 4u);
}

TEST_F(Browse, TheTreesMenuMakesLibrariesAndIncludesFoldersInThem) {
    ui::CBrowseWnd& browse = OpenBrowse();
    ui::CShellTree& tree = browse.Tree();
    const auto menuOn = [&](const fs::path& folder) {
        if (!tree.SelectPath(folder)) return;
        const QPoint at = tree.visualRect(tree.currentIndex()).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree.viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree.viewport(), &event);
    };

    // A new library of the folder the menu was opened on, named as typed, chosen at once.
    test::UiScript named;
    named.Then(test::MenuEntry("New library..."))
        .Then(test::AnswerDialog<QInputDialog>([](QInputDialog& dialog) {
            dialog.setTextValue(QStringLiteral("Trips"));
            return true;
        }));
    menuOn(dir / "album");
    EXPECT_TRUE(named.Done());
    ASSERT_NE(tree.SelectedItem(), nullptr);
    EXPECT_EQ(tree.SelectedItem()->kind, ShellItemKind::Library);
    EXPECT_EQ(tree.SelectedItem()->name, "Trips");
    EXPECT_TRUE(test::WaitUntil([&] { return browse.Browser().items().size() == 2; }));

    // Another folder included in it from the submenu of libraries.
    test::UiScript included;
    included.Then(test::MenuEntry("Include folder in library")).Then(test::MenuEntry("Trips"));
    menuOn(dir / "album/Rome");
    EXPECT_TRUE(included.Done());
    ShellNamespace& shell = tree.Model().shell();
    ShellItem* trips = shell.FindLibrary("Trips");
    ASSERT_NE(trips, nullptr);
    std::vector<fs::path> folders;
    for (const ShellChild& child : shell.ListChildren(*trips)) folders.push_back(child.path);
    EXPECT_EQ(folders, (std::vector<fs::path>{dir / "album", dir / "album/Rome"}));
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(Browse, PropertiesOfAPhotoShowItsImageInfo) {
    ui::CBrowseWnd& browse = OpenBrowse();
    ASSERT_TRUE(browse.Tree().SelectPath(dir / "album"));
    ui::CThumbsView& view = browse.View();
    ASSERT_TRUE(test::WaitUntil([&] { return view.browser().items().size() == 2; }));
    const size_t canon = view.browser().items()[0].path.filename() == "Canon_40D.jpg" ? 0 : 1;
    const PixelRect cell = view.browser().Grid().CellRect(canon);
    const QPoint at((cell.left + cell.right) / 2, cell.top + 40);

    QString manufacturer;
    test::UiScript script;
    script.Then(test::MenuEntry("Properties ..."))
        .Then(test::AnswerDialog<ui::CJFIFDlg>([&](ui::CJFIFDlg& dialog) {
            if (dialog.Details().rowCount() > 0) manufacturer = dialog.Details().item(0, 1)->text();
            return false;
        }));
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.viewport(), &click);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(manufacturer, "Canon");
}

TEST_F(Browse, PhotosDraggedOrPastedFromTheBrowserJoinTheBatchList) {
    ui::CBrowseWnd& browse = OpenBrowse();
    ASSERT_TRUE(browse.Tree().SelectPath(dir / "album"));
    ui::CThumbsView& view = browse.View();
    ASSERT_TRUE(test::WaitUntil([&] { return view.browser().items().size() == 2; }));
    ui::CBasketView& basket = *app->Frame().BasketView();
    const BatchList& list = app->Batch();
    const auto cellCentre = [&](size_t index) {
        const PixelRect cell = view.browser().Grid().CellRect(index);
        return QPoint((cell.left + cell.right) / 2 - view.ScrollPosition().x, cell.top + 40 - view.ScrollPosition().y);
    };
    const fs::path first = view.browser().items()[0].path;
    const fs::path second = view.browser().items()[1].path;

    // A double click (or Enter) selects the photo and does nothing more: browsing goes on.
    // (The desktop sends a press and a release before the double click.)
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(0));
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(0));
    QTest::keyClick(&view, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(app->Frame().BrowseWindow(), &browse);
    EXPECT_FALSE(app->Document().HasImage());
    EXPECT_EQ(view.browser().items().SelectedIndices(), (std::vector<size_t>{0}));

    // Copy in the browser, paste in the batch list: the photo joins, stamped with the bar's size
    // (640 x 480, keeping its proportions).
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    basket.setFocus();
    QTest::keyClick(&basket, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(list.Paths(), (std::vector<fs::path>{first}));
    const bool canon = first.filename() == "Canon_40D.jpg";  // 100 x 68, else 640 x 480
    EXPECT_EQ(list.item(0).batch.width, 640);
    EXPECT_EQ(list.item(0).batch.height, canon ? 435 : 480);

    // Both dragged out of the browser: the drag is refused by the browser itself (its files would
    // stay where they are), and dropped on the batch list they join it, the one already there
    // only when the user wants a second copy.
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    Qt::DropAction onItself = Qt::CopyAction;
    Qt::DropAction onBatchList = Qt::IgnoreAction;
    int drags = 0;
    view.SetDragRunner([&](QMimeData* data) {
        ++drags;
        onItself = test::DragAndDrop(view.viewport(), data, cellCentre(1), Qt::CopyAction | Qt::MoveAction);
        onBatchList = test::DragAndDrop(basket.viewport(), data, {20, 20}, Qt::CopyAction | Qt::MoveAction);
        delete data;
    });
    prompt.SetAnswer(false);
    test::PressAndDrag(view.viewport(), cellCentre(0));
    EXPECT_EQ(onItself, Qt::IgnoreAction);
    EXPECT_EQ(onBatchList, Qt::CopyAction);
    EXPECT_EQ(list.Paths(), (std::vector<fs::path>{first, second}));
    EXPECT_EQ(prompt.questions.size(), 1u);
    EXPECT_TRUE(fs::exists(first) && fs::exists(second));
    EXPECT_EQ(view.browser().items().size(), 2u);
    // A press and drag that comes quickly after a click (the desktop makes it a double click)
    // drags as well; the user does not want second copies this time either.
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(1));
    QMouseEvent move(QEvent::MouseMove, QPointF(cellCentre(1) + QPoint(12, 0)),
                     view.viewport()->mapToGlobal(QPointF(cellCentre(1) + QPoint(12, 0))), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(1) + QPoint(12, 0));
    EXPECT_EQ(drags, 2);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_FALSE(app->Router().StateOf(ID_BATCH_RUN).enabled);  // not while browsing
    Run(ID_BROWSE_DONE);
    EXPECT_TRUE(app->Router().StateOf(ID_BATCH_RUN).enabled);
}

TEST_F(Browse, TabMovesBetweenTheTreeTheBatchListAndTheThumbnails) {
    ui::CBrowseWnd& browse = OpenBrowse();
    QWidget* basket = app->Frame().BasketView();
    EXPECT_EQ(ui::CTabstopNavigator::Instance().Panes(), (std::vector<QWidget*>{&browse.Tree(), basket, &browse.View()}));
    app->Frame().activateWindow();
    browse.Tree().setFocus();
    ASSERT_TRUE(test::WaitUntil([&] { return browse.Tree().hasFocus(); }));
    QTest::keyClick(&browse.Tree(), Qt::Key_Tab);
    EXPECT_TRUE(basket->hasFocus());
    // Shift+Tab goes back, from the first pane round to the last.
    const auto backtab = [](QWidget* from) { QTest::keyClick(from, Qt::Key_Backtab, Qt::ShiftModifier); };
    backtab(basket);
    EXPECT_TRUE(browse.Tree().hasFocus());
    backtab(&browse.Tree());
    EXPECT_TRUE(browse.View().hasFocus());
    backtab(&browse.View());
    EXPECT_TRUE(basket->hasFocus());
    // The last key is a plain one: a key event's modifiers stay the application's until the next
    // one, and a Shift left "held" would make the next test of the same process select ranges.
    QTest::keyClick(basket, Qt::Key_Tab);
    EXPECT_TRUE(browse.View().hasFocus());
}

TEST_F(Browse, TheRememberedFolderIsChosenAgainNextTime) {
    {
        ui::CBrowseWnd& browse = OpenBrowse();
        ASSERT_TRUE(browse.Tree().SelectPath(dir / "album"));
        ASSERT_TRUE(test::WaitUntil([&] { return browse.View().PicturesShown() == 2; }));
        Run(ID_BROWSE_DONE);
    }
    Stop();
    Start();
    ui::CBrowseWnd& browse = OpenBrowse();
    // The tree finds it with its folders listed on other threads.
    EXPECT_TRUE(test::WaitUntil([&] {
        return browse.Tree().SelectedItem() && browse.Tree().SelectedItem()->path == dir / "album";
    }));
    EXPECT_TRUE(test::WaitUntil([&] { return browse.View().browser().items().size() == 2; }));
    // Their pictures come back, from the disk cache the first run left.
    EXPECT_TRUE(test::WaitUntil([&] { return browse.View().PicturesShown() == 2; }));
}

// The remembered folder on a volume that answers slowly: the tree waits for its listings on other
// threads while the window goes on, and selects the folder once they are in.
TEST(ShellTreeSearch, ListsTheFoldersOnTheWayOffTheWindowsThread) {
    test::TempDir dir;
    fs::create_directories(dir / "mnt/usb/DCIM/100/a");
    SpecialFolders folders;
    folders.dataHome = dir / "data";
    std::promise<void> answer;
    std::shared_future<void> answered = answer.get_future().share();
    std::atomic<bool> listedOnWindowThread{false};
    const VolumeSource volumes = [&, answered] {
        listedOnWindowThread = listedOnWindowThread || QThread::currentThread() == qApp->thread();
        answered.wait();
        return std::vector<Volume>{{"usb", dir / "mnt/usb"}};
    };
    ShellNamespace shell(folders, nullptr, volumes);
    ui::CShellTree tree(shell, nullptr, nullptr);
    std::optional<bool> found;
    tree.RestoreSelectionLater((dir / "mnt/usb/DCIM/100").string(), [&](bool f) { found = f; });
    bool windowWentOn = false;
    QTimer::singleShot(0, [&] { windowWentOn = true; });
    EXPECT_TRUE(test::WaitUntil([&] { return windowWentOn; }));
    EXPECT_FALSE(found.has_value());
    answer.set_value();
    ASSERT_TRUE(test::WaitUntil([&] { return found.has_value(); }));
    EXPECT_TRUE(*found);
    ASSERT_NE(tree.SelectedItem(), nullptr);
    EXPECT_EQ(tree.SelectedItem()->path, dir / "mnt/usb/DCIM/100");
    EXPECT_FALSE(listedOnWindowThread);

    // A folder that went is not found; the selection stays.
    found.reset();
    tree.RestoreSelectionLater((dir / "mnt/usb/Gone").string(), [&](bool f) { found = f; });
    ASSERT_TRUE(test::WaitUntil([&] { return found.has_value(); }));
    EXPECT_FALSE(*found);
    EXPECT_EQ(tree.SelectedItem()->path, dir / "mnt/usb/DCIM/100");

    // An item chosen while the search waits stays chosen.
    ShellItem* folder100 = tree.SelectedItem();
    found.reset();
    tree.RestoreSelectionLater((dir / "mnt/usb/DCIM/100/a").string(), [&](bool f) { found = f; });
    ASSERT_TRUE(tree.SelectPath(dir / "mnt/usb/DCIM"));
    ASSERT_TRUE(test::WaitUntil([&] { return folder100->filled; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(found.has_value());
    EXPECT_EQ(tree.SelectedItem()->path, dir / "mnt/usb/DCIM");
}

}  // namespace
}  // namespace kv
