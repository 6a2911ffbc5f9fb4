#include <QDockWidget>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QLineEdit>
#include <QToolBar>

#include "base/CommandIds.h"
#include "browser/ImgThumbsBrowser.h"
#include "browser/ShellNamespace.h"
#include "ui/UiTestSupport.h"
#include "ui/browse/BrowseWnd.h"
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
    EXPECT_EQ(browse.Splitter().sizes().value(0), ui::CBrowseWnd::kDefaultLeftWidth);
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
    EXPECT_TRUE(frame.SettingsDock().isVisible());
    EXPECT_TRUE(frame.View().isVisible());
    EXPECT_EQ(ToolbarTexts(frame.ToolBar()).front(), "Open");

    // Opened again, the tree is as wide as it was; leaving batch mode closes the browse window.
    EXPECT_EQ(OpenBrowse().Splitter().sizes().value(0), 260);
    Run(ID_BATCH_MODE);
    EXPECT_EQ(frame.BrowseWindow(), nullptr);
    EXPECT_EQ(frame.ButtonSet(), ToolbarSet::Single);
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
        const QPointF at(50, 50);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, keys);
        QApplication::sendEvent(view.viewport(), &enter);
        QDragMoveEvent move(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, keys);
        QApplication::sendEvent(view.viewport(), &move);
        QDropEvent dropped(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, keys);
        QApplication::sendEvent(view.viewport(), &dropped);
        return dropped.dropAction();
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

TEST_F(Browse, TabMovesBetweenTheTreeAndTheThumbnails) {
    ui::CBrowseWnd& browse = OpenBrowse();
    app->Frame().activateWindow();
    browse.Tree().setFocus();
    ASSERT_TRUE(test::WaitUntil([&] { return browse.Tree().hasFocus(); }));
    QTest::keyClick(&browse.Tree(), Qt::Key_Tab);
    EXPECT_TRUE(browse.View().hasFocus());
    // Shift+Tab from the last pane goes back (and Tab there would wrap to the first).
    QKeyEvent backtab(QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier);
    QApplication::sendEvent(&browse.View(), &backtab);
    EXPECT_TRUE(browse.Tree().hasFocus());
    EXPECT_EQ(ui::CTabstopNavigator::Instance().Panes(), (std::vector<QWidget*>{&browse.Tree(), &browse.View()}));
    // The test ends with the focus in the thumbnails: a tree with the focus when the window goes
    // leaves the next test's unshown dialog without its key presses (in one process only).
    QTest::keyClick(&browse.Tree(), Qt::Key_Tab);
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
    ASSERT_NE(browse.Tree().SelectedItem(), nullptr);
    EXPECT_EQ(browse.Tree().SelectedItem()->path, dir / "album");
    EXPECT_TRUE(test::WaitUntil([&] { return browse.View().browser().items().size() == 2; }));
    // Their pictures come back, from the disk cache the first run left.
    EXPECT_TRUE(test::WaitUntil([&] { return browse.View().PicturesShown() == 2; }));
}

}  // namespace
}  // namespace kv
