#include <QComboBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <thread>

#include "UiTestSupport.h"
#include "browser/BasketBrowser.h"
#include "browser/ImgThumbsBrowser.h"
#include "base/CommandIds.h"
#include "engine/Progress.h"
#include "imageio/Bitmap.h"
#include "ui/commands/CommandActions.h"
#include "ui/browse/BrowseWnd.h"
#include "ui/frame/MainFrame.h"
#include "ui/frame/StatusText.h"
#include "ui/resizebar/ResizeDlgBar.h"
#include "ui/view/KVScaleCrafterView.h"

namespace kv::test {
namespace {

using namespace CommandId;
using Frame = AppFixture;

std::vector<QString> ToolbarTexts(QToolBar& toolbar) {
    std::vector<QString> texts;
    for (QAction* action : toolbar.actions()) texts.push_back(action->isSeparator() ? QString() : action->iconText());
    return texts;
}

TEST_F(Frame, StartsInSingleModeWithItsButtonsAndMenus) {
    ui::CMainFrame& frame = app->Frame();
    EXPECT_EQ(ToolbarTexts(frame.ToolBar()),
              (std::vector<QString>{"Open", "Save", "", "Batch Mode", "", "Previous", "Next"}));
    EXPECT_EQ(frame.ToolBar().toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_EQ(frame.ToolBar().iconSize(), QSize(32, 32));
    EXPECT_FALSE(frame.BatchRow().isVisible());
    EXPECT_FALSE(frame.Progress().isVisible());
    EXPECT_EQ(frame.windowTitle(), "KARVO Scale Crafter 3");
    EXPECT_EQ(frame.dockWidgetArea(&frame.SettingsDock()), Qt::RightDockWidgetArea);
    // Nothing to save or step through without an image.
    EXPECT_FALSE(frame.Actions().Action(ID_FILE_SAVE)->isEnabled());
    EXPECT_FALSE(frame.Actions().Action(ID_VIEW_NEXT)->isEnabled());
    EXPECT_TRUE(frame.Actions().Action(ID_FILE_OPEN)->isEnabled());
    EXPECT_EQ(frame.Actions().Action(ID_FILE_OPEN)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));

    // Every menu entry and toolbar button is found by its name.
    for (QAction* menu : frame.menuBar()->actions()) {
        EXPECT_FALSE(AccessibleName(menu->menu()).isEmpty());
        for (QAction* entry : menu->menu()->actions())
            if (!entry->isSeparator()) {
                EXPECT_FALSE(entry->text().remove('&').isEmpty());
            }
    }
    for (QAction* action : frame.ToolBar().actions()) {
        if (action->isSeparator()) continue;
        EXPECT_EQ(AccessibleName(frame.ToolBar().widgetForAction(action)), action->iconText());
    }
}

// The access keys of one menu's entries must all differ, or Alt and the letter reaches only the first.
void ExpectUniqueAccessKeys(const QString& menu, const std::vector<QString>& texts) {
    std::map<QKeySequence, QString> taken;
    for (const QString& text : texts) {
        const QKeySequence key = QKeySequence::mnemonic(text);
        if (key.isEmpty()) continue;
        const auto [at, fresh] = taken.emplace(key, text);
        EXPECT_TRUE(fresh) << menu.toStdString() << ": " << text.toStdString() << " and " << at->second.toStdString();
    }
}

void ExpectUniqueAccessKeys(QMenu& menu) {
    std::vector<QString> texts;
    for (QAction* action : menu.actions()) {
        texts.push_back(action->text());
        if (action->menu()) ExpectUniqueAccessKeys(*action->menu());
    }
    ExpectUniqueAccessKeys(menu.title(), texts);
}

void ExpectUniqueAccessKeys(const QString& menu, const std::vector<ContextMenuEntry>& entries) {
    std::vector<QString> texts;
    for (const ContextMenuEntry& entry : entries) {
        texts.push_back(QString::fromStdString(entry.text));
        ExpectUniqueAccessKeys(QString::fromStdString(entry.text), entry.submenu);
    }
    ExpectUniqueAccessKeys(menu, texts);
}

TEST_F(Frame, NoTwoEntriesOfAMenuShareAnAccessKey) {
    ui::CMainFrame& frame = app->Frame();
    ASSERT_TRUE(app->OpenDocumentFile(Copy("DSCN0010.jpg")));  // the File menu with a recent file
    Run(ID_BATCH_MODE);
    Run(ID_BROWSE);
    ASSERT_NE(frame.BrowseWindow(), nullptr);
    std::vector<QString> titles;
    for (QAction* menu : frame.menuBar()->actions()) {
        titles.push_back(menu->text());
        ExpectUniqueAccessKeys(*menu->menu());
    }
    ExpectUniqueAccessKeys(QStringLiteral("menu bar"), titles);
    ExpectUniqueAccessKeys(frame.Actions().IconsPopup());
    for (const ContextMenuKind kind : {ContextMenuKind::EmptySpace, ContextMenuKind::OneItem, ContextMenuKind::SeveralItems}) {
        ExpectUniqueAccessKeys(QStringLiteral("batch list"), app->Basket().MenuFor(kind).entries);
        ExpectUniqueAccessKeys(QStringLiteral("browse window"), frame.BrowseWindow()->Browser().MenuFor(kind).entries);
    }
}

TEST_F(Frame, BatchModeShowsTheBatchRowSwapsTheButtonsAndKeepsTheRowHeight) {
    ui::CMainFrame& frame = app->Frame();
    frame.Actions().Run(ID_BATCH_MODE);
    EXPECT_TRUE(app->Settings().batchMode);
    EXPECT_TRUE(frame.BatchRow().isVisible());
    EXPECT_TRUE(frame.Actions().Action(ID_BATCH_MODE)->isChecked());
    EXPECT_EQ(ToolbarTexts(frame.ToolBar()), (std::vector<QString>{"Open", "Browse", "", "Batch Mode", "", "Remove", "",
                                                                    "Run ", "", "Previous", "Next", "", "View"}));
    // A first run gives the batch row one row of cells.
    const int client = frame.Splitter().height();
    EXPECT_NEAR(frame.Splitter().sizes()[1], frame.BatchRowHeightFor(app->Basket().zoom()), 1);

    frame.Splitter().setSizes({300, client - 300});
    frame.Actions().Run(ID_BATCH_MODE);
    EXPECT_FALSE(frame.BatchRow().isVisible());
    EXPECT_EQ(ToolbarTexts(frame.ToolBar()).size(), 7u);
    frame.Actions().Run(ID_BATCH_MODE);
    EXPECT_NEAR(frame.Splitter().sizes()[0], 300, 2);
}

TEST_F(Frame, BarsAreShownAndHiddenFromTheViewMenu) {
    ui::CMainFrame& frame = app->Frame();
    for (int id : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_VIEW_RESIZE_SETTINGS}) {
        EXPECT_TRUE(frame.Actions().Action(id)->isChecked());
        frame.Actions().Run(id);
        EXPECT_FALSE(frame.Actions().Action(id)->isChecked());
    }
    EXPECT_FALSE(frame.ToolBar().isVisible());
    EXPECT_FALSE(frame.statusBar()->isVisible());
    EXPECT_FALSE(frame.SettingsDock().isVisible());
    frame.Actions().Run(ID_VIEW_RESIZE_SETTINGS);
    EXPECT_TRUE(frame.SettingsDock().isVisible());
}

TEST_F(Frame, ProgressNoticesFromAnotherThreadMoveTheBar) {
    QProgressBar& bar = app->Frame().Progress();
    ICommandTarget& target = app->CommandTarget();
    std::thread worker([&] {
        target.PostCommand(CommandId::ID_RESIZE_STARTED);
        OverallPercent.store(45);
        for (int i = 0; i < 50; ++i) target.PostCommand(CommandId::ID_RESIZE_PROGRESS);
    });
    worker.join();
    // Nothing runs on the poster's thread; the notices arrive through the event loop.
    EXPECT_FALSE(bar.isVisible());
    ASSERT_TRUE(WaitUntil([&] { return bar.isVisible() && bar.value() == 45; }));
    EXPECT_EQ(bar.minimum(), 0);
    EXPECT_EQ(bar.maximum(), 90);
    const int w = app->Frame().statusBar()->width();
    EXPECT_EQ(bar.geometry().x(), w - w / 3 - 20);
    EXPECT_EQ(bar.geometry().width(), w / 3);

    OverallPercent.store(97);
    target.PostCommand(CommandId::ID_RESIZE_PROGRESS);
    ASSERT_TRUE(WaitUntil([&] { return bar.value() == 90; }));
    target.PostCommand(CommandId::ID_RESIZE_DONE);
    EXPECT_TRUE(WaitUntil([&] { return !bar.isVisible(); }));
}

TEST_F(Frame, NextAndPreviousStepThroughTheFolderAndFillTheRecentFiles) {
    const std::filesystem::path a = Copy("DSCN0010.jpg", "a.jpg");
    Copy("Canon_40D.jpg", "b.gif");  // not stepped to
    const std::filesystem::path c = Copy("kodak-dc240.jpg", "c.jpg");
    dialogs.answers.push_back(a);
    Run(ID_FILE_OPEN);
    ASSERT_EQ(app->Document().Path(), a);
    EXPECT_EQ(app->Frame().windowTitle(), "a.jpg - KARVO Scale Crafter 3");
    EXPECT_TRUE(app->Frame().Actions().Action(ID_VIEW_NEXT)->isEnabled());

    app->Frame().Actions().Run(ID_VIEW_NEXT);
    EXPECT_EQ(app->Document().Path(), c);
    app->Frame().Actions().Run(ID_VIEW_NEXT);
    EXPECT_EQ(app->Document().Path(), a);
    app->Frame().Actions().Run(ID_VIEW_PREVIOUS);
    EXPECT_EQ(app->Document().Path(), c);
    EXPECT_EQ(prompt.beeps, 0);

    // The File menu lists them newest first; choosing one opens it.
    ASSERT_EQ(app->RecentFiles().files(), (std::vector<std::filesystem::path>{c, a}));
    QMenu* file = app->Frame().menuBar()->actions().first()->menu();
    QAction* second = nullptr;
    for (QAction* action : file->actions())
        if (action->text() == "&2 a.jpg") second = action;
    ASSERT_NE(second, nullptr);
    second->trigger();
    EXPECT_EQ(app->Document().Path(), a);

    // A recent file that went away leaves the list when it fails to open.
    std::filesystem::remove(c);
    Run(ID_FILE_MRU_FILE1 + 1);
    EXPECT_EQ(app->RecentFiles().files(), std::vector<std::filesystem::path>{a});
    EXPECT_EQ(prompt.messages.size(), 1u);
}

TEST_F(Frame, ResizeAndSaveWritesThroughTheSaveDialog) {
    ASSERT_TRUE(app->OpenDocumentFile(Copy("DSCN0010.jpg")));
    app->Settings().width = 320;
    app->Settings().height = 240;
    Run(ID_FILE_SAVE);  // cancelled
    ASSERT_EQ(dialogs.suggestions.size(), 1u);
    EXPECT_EQ(dialogs.suggestions[0], dir / "DSCN0010_RESIZED_TO_320x240.jpg");
    EXPECT_TRUE(prompt.messages.empty());

    const std::filesystem::path out = dir / "out.png";
    dialogs.answers.push_back(out);
    Run(ID_FILE_SAVE);
    const std::unique_ptr<Bitmap> written = Bitmap::FromFile(out);
    EXPECT_EQ(written->GetWidth(), 320);
    EXPECT_EQ(written->GetHeight(), 240);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_FALSE(QApplication::overrideCursor());
}

// A picture with transparent pixels is drawn as any other, and its result keeps its alpha where
// the format holds it and shows on white where it does not.
TEST_F(Frame, ATransparentPictureIsDrawnAndSavedWithItsAlpha) {
    ASSERT_TRUE(app->OpenDocumentFile(Copy("alpha/rgba.png", "rgba.png")));  // 48 x 32, a red disc
    app->Settings().width = 96;
    app->Settings().height = 64;
    app->Settings().algorithm = 4;
    app->UpdateAllViews();
    app->Frame().View().viewport()->repaint();
    EXPECT_EQ(app->Frame().View().DrawingState(), "Quick drawing");
    for (const char* name : {"out.png", "out.jpg"}) {
        SCOPED_TRACE(name);
        const std::filesystem::path out = dir / name;
        dialogs.answers.push_back(out);
        Run(ID_FILE_SAVE);
        EXPECT_TRUE(prompt.messages.empty());
        const std::unique_ptr<Bitmap> written = Bitmap::FromFile(out);
        ASSERT_EQ(written->GetWidth(), 96);
        BitmapData data;
        ASSERT_EQ(written->LockBits({0, 0, 96, 64}, ImageLockMode::Read, PixelFormat32bppARGB, &data), Status::Ok);
        const uint8_t* corner = data.scan0;
        const uint8_t* centre = data.scan0 + 32 * static_cast<ptrdiff_t>(data.stride) + 4 * 48;
        const bool png = std::string(name) == "out.png";
        EXPECT_EQ(corner[3], png ? 0 : 255);
        if (!png) {
            EXPECT_GT(std::min({corner[0], corner[1], corner[2]}), 245);  // white, no hidden green
        }
        EXPECT_EQ(centre[3], 255);
        EXPECT_GT(centre[2], 230);  // red
        EXPECT_LT(centre[1], 25);
        written->UnlockBits(&data);
    }
}

TEST_F(Frame, AboutShowsTheVersionAndHelpAndHomePageOpenTheBrowser) {
    Run(ID_APP_ABOUT);
    ASSERT_TRUE(WaitUntil([&] { return app->AboutBox() && app->AboutBox()->isVisible(); }));
    EXPECT_EQ(app->AboutBox()->text(), "KARVO Scale Crafter v. 3.5.0.0");
    app->AboutBox()->close();
    EXPECT_TRUE(WaitUntil([&] { return app->AboutBox() == nullptr; }));

    Run(ID_HOME_PAGE);
    ASSERT_EQ(openedUrls.size(), 1u);
    EXPECT_EQ(openedUrls[0].scheme(), "https");
    // The manual beside the program.
    std::filesystem::create_directories(dir / "program/help");
    WriteBytes(dir / "program/help/index.html", {'<', 'p', '>'});
    Run(ID_HELP_TOPICS);
    ASSERT_EQ(openedUrls.size(), 2u);
    const auto page = [&](const char* name) { return QUrl::fromLocalFile(QString::fromStdString((dir / "program/help" / name).string())); };
    EXPECT_EQ(openedUrls[1], page("index.html"));

    // F1 opens the page of the part of the window with the focus; a page that is missing gives the first one.
    WriteBytes(dir / "program/help/size.html", {'<', 'p', '>'});
    ASSERT_TRUE(app->OpenDocumentFile(Copy("DSCN0010.jpg")));  // the bar's fields take the focus with a photo open
    QApplication::setActiveWindow(&app->Frame());
    const auto helpFor = [&](QWidget* part) {
        part->setFocus();
        EXPECT_TRUE(WaitUntil([&] {
            const QWidget* focus = QApplication::focusWidget();
            return focus && (focus == part || part->isAncestorOf(focus));
        })) << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "no focus");
        Run(ID_HELP_TOPICS);
        return openedUrls.back();
    };
    EXPECT_EQ(helpFor(app->Frame().SettingsBar().Control(ResizeBarControl::IDC_OUT_WIDTH)), page("size.html"));
    QUrl correction = page("size.html");
    correction.setFragment("correction");
    EXPECT_EQ(helpFor(app->Frame().SettingsBar().Control(ResizeBarControl::IDC_CORRECTION)), correction);
    EXPECT_EQ(helpFor(app->Frame().SettingsBar().Control(ResizeBarControl::IDC_ALGORITHM)), page("index.html"));
}

TEST_F(Frame, WithoutAWebBrowserF1SaysWhereTheManualIs) {
    browserStarts = false;
    Run(ID_HELP_TOPICS);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0], "The manual is not installed; it belongs in the folder\n" + (dir / "program/help").string());

    std::filesystem::create_directories(dir / "program/help");
    WriteBytes(dir / "program/help/index.html", {'<', 'p', '>'});
    Run(ID_HELP_TOPICS);
    const std::string manual = (dir / "program/help/index.html").string();
    ASSERT_EQ(prompt.messages.size(), 2u);
    EXPECT_EQ(prompt.messages[1], "No web browser could be started to show the manual.\nThe manual is the file\n" +
                                      manual + "\nwhich any web browser opens.");
    EXPECT_EQ(prompt.beeps, 0);
    // The status bar says it as well, for a while.
    EXPECT_EQ(app->Frame().StatusText().text().toStdString(), "The manual: " + manual);
}

TEST_F(Frame, TheStatusTextIsReadOutAsStatusWithWhatItShows) {
    ui::CMainFrame& frame = app->Frame();
    QAccessibleInterface* status = QAccessible::queryAccessibleInterface(&frame.StatusText());
    ASSERT_NE(status, nullptr);
    const auto read = [&] {
        return std::pair(status->text(QAccessible::Name), status->text(QAccessible::Value));
    };
    EXPECT_EQ(read(), std::pair(QStringLiteral("Status"), QStringLiteral("Ready")));
    EXPECT_EQ(status->text(QAccessible::Description), "Ready");

    // A menu entry's prompt while it is highlighted, then the standing text again.
    QStatusTipEvent tip(QStringLiteral("Opens a photo"));
    QApplication::sendEvent(&frame, &tip);
    EXPECT_EQ(read(), std::pair(QStringLiteral("Status"), QStringLiteral("Opens a photo")));
    QStatusTipEvent none{QString()};
    QApplication::sendEvent(&frame, &none);
    EXPECT_EQ(read().second, "Ready");

    // What a save says, which passes after a while.
    const std::filesystem::path output = dir / "saved.jpg";
    ASSERT_TRUE(app->OpenDocumentFile(Copy("DSCN0010.jpg")));
    dialogs.answers.push_back(output);
    Run(ID_FILE_SAVE);
    ASSERT_TRUE(std::filesystem::exists(output));
    EXPECT_EQ(read().second.toStdString(), "Saved " + output.string());
    frame.ShowMessage(QStringLiteral("3 files"));
    EXPECT_EQ(read().second.toStdString(), "Saved " + output.string());
    frame.ShowPassingMessage({}, 0);
    EXPECT_EQ(read().second, "3 files");
}

TEST_F(Frame, SettingsWrittenAtExitAreReadAtTheNextStart) {
    const std::filesystem::path photo = Copy("DSCN0010.jpg");
    ASSERT_TRUE(app->OpenDocumentFile(photo));
    app->Settings().algorithm = 9;
    app->Settings().inPercents = true;
    app->Settings().lockSettings = true;
    app->Settings().percentWidth = app->Settings().percentHeight = 400;
    Stop();
    Start({photo.string()});
    EXPECT_EQ(app->Settings().algorithm, 9);
    EXPECT_TRUE(app->Settings().lockSettings);
    // The locked percent settings applied to the photo opened from the command line.
    EXPECT_EQ(app->Document().Path(), photo);
    EXPECT_EQ(app->Settings().width, 2560);
    EXPECT_EQ(app->RecentFiles().files(), std::vector<std::filesystem::path>{photo});
}

TEST_F(Frame, SeveralFilesOnTheCommandLineFillTheBatchList) {
    Stop();
    const std::filesystem::path a = Copy("DSCN0010.jpg", "a.jpg");
    const std::filesystem::path b = Copy("kodak-dc240.jpg", "b.jpg");
    Start({a.string(), b.string(), (dir / "missing.jpg").string()});
    EXPECT_TRUE(app->Settings().batchMode);
    EXPECT_EQ(app->Batch().size(), 2u);
    EXPECT_FALSE(app->Document().HasImage());
    EXPECT_TRUE(app->Frame().BatchRow().isVisible());
}

}  // namespace
}  // namespace kv::test

namespace kv::test {
namespace {

TEST_F(Frame, EveryControlOfTheWindowHasAnAccessibleName) {
    ASSERT_TRUE(app->OpenDocumentFile(Copy("DSCN0010.jpg")));
    for (QWidget* widget : app->Frame().findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
                             qobject_cast<QAbstractSpinBox*>(widget) || qobject_cast<QLineEdit*>(widget) ||
                             qobject_cast<QAbstractScrollArea*>(widget) || qobject_cast<QProgressBar*>(widget);
        // Scroll bars and a spin box's own text field are parts of the control that holds them.
        if (!control || qobject_cast<QScrollBar*>(widget) || qobject_cast<QAbstractSpinBox*>(widget->parentWidget()))
            continue;
        EXPECT_FALSE(AccessibleName(widget).isEmpty())
            << widget->metaObject()->className() << " " << widget->objectName().toStdString();
    }
}

TEST_F(Frame, AnUnregisterRunShowsNoWindowAndWritesNoSettings) {
    Stop();
    std::filesystem::remove_all(dir / "config");
    ui::AppEnvironment environment;
    environment.folders = Folders();
    environment.prompt = &prompt;
    ui::CKVScaleCrafterApp early(std::move(environment));
    EXPECT_FALSE(early.InitInstance({"/Unregister"}));
    early.ExitInstance();
    EXPECT_FALSE(std::filesystem::exists(Folders().SettingsFile()));
}

}  // namespace
}  // namespace kv::test
