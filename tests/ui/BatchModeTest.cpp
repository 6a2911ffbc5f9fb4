#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <fstream>

#include "UiTestSupport.h"
#include "base/CommandIds.h"
#include "browser/BasketBrowser.h"
#include "ui/batch/BasketView.h"
#include "ui/batch/BatchDlg.h"
#include "ui/batch/BatchProgressDlg.h"
#include "ui/batch/QualitySpin.h"
#include "ui/browser/PopupEdit.h"
#include "ui/resizebar/ResizeDlgBar.h"

namespace kv::test {
namespace {

using namespace CommandId;
using namespace ResizeBarControl;

QUrl UrlOf(const std::filesystem::path& path) { return QUrl::fromLocalFile(QString::fromStdString(path.string())); }

// What a file manager puts on the clipboard or into a drag: the URI list, and for a cut the
// mark GNOME's file managers add.
QMimeData* FileManagerData(const std::vector<std::filesystem::path>& files, bool cut) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    QByteArray gnome = cut ? "cut" : "copy";
    for (const auto& file : files) {
        urls << UrlOf(file);
        gnome += "\n" + UrlOf(file).toEncoded();
    }
    data->setUrls(urls);
    data->setData(QStringLiteral("x-special/gnome-copied-files"), gnome);
    return data;
}

// The modal dialog of a type once it is open.
template <typename Dialog>
Dialog* WaitForModal() {
    Dialog* found = nullptr;
    WaitUntil([&] { return (found = qobject_cast<Dialog*>(QApplication::activeModalWidget())) != nullptr; });
    return found;
}

class BatchMode : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        Run(ID_BATCH_MODE);
    }

    ui::CBasketView& View() { return *app->Frame().BasketView(); }
    QWidget* Viewport() { return View().viewport(); }
    BatchList& List() { return app->Batch(); }

    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (const auto& path : List().Paths()) names.push_back(path.filename().string());
        return names;
    }

    // The middle of an item's picture in the view's client coordinates.
    QPoint CellCentre(size_t index) {
        const PixelRect cell = app->Basket().Grid().CellRect(index);
        const PixelPoint scroll = View().ScrollPosition();
        return {(cell.left + cell.right) / 2 - scroll.x, cell.top + 40 - scroll.y};
    }

    // A selector's entry chosen as the user does.
    static void Choose(QComboBox& selector, int index) {
        selector.setCurrentIndex(index);
        emit selector.activated(index);
    }

    void Click(size_t index, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(Viewport(), Qt::LeftButton, modifiers, CellCentre(index));
    }

    std::vector<std::filesystem::path> Photos(int count) {
        const char* names[] = {"DSCN0010.jpg", "Canon_40D.jpg", "Fujifilm_FinePix_E500.jpg", "image01137.jpg"};
        std::vector<std::filesystem::path> photos;
        for (int i = 0; i < count; ++i) photos.push_back(Copy(names[i % 4], "p" + std::to_string(i) + ".jpg"));
        return photos;
    }

    // Runs the batch: "Batch Settings" gets the folder and OK, "Batch processing" runs to its end
    // and is closed with its button. The log and the status text as they were at the end.
    struct RunResult {
        std::string log;
        QString status;
        QString button;
    };
    // duringRun: what the test does while the run goes on, before it waits for the end.
    RunResult RunBatch(const std::filesystem::path& folder,
                       const std::function<void(ui::CBatchProgressDlg&)>& duringRun = {}) {
        RunResult result;
        QTimer::singleShot(0, [&] {
            ui::CBatchDlg* settings = WaitForModal<ui::CBatchDlg>();
            ASSERT_NE(settings, nullptr);
            settings->FolderField().setText(QString::fromStdString(folder.string()));
            settings->OkButton().click();
        });
        QMetaObject::Connection opened =
            QObject::connect(app.get(), &ui::CKVScaleCrafterApp::BatchRunOpened, [&](ui::CBatchProgressDlg* dialog) {
                if (duringRun) duringRun(*dialog);
                EXPECT_TRUE(WaitUntil([&] { return dialog->IsDone(); }, 60000));
                result.log = dialog->LogText();
                result.status = dialog->StatusText().text();
                result.button = dialog->Button().text();
                dialog->Button().click();
            });
        Run(ID_BATCH_RUN);
        QObject::disconnect(opened);
        return result;
    }
};

TEST_F(BatchMode, AnEmptyListAsksForPhotosAndCannotRun) {
    EXPECT_TRUE(View().isVisible());
    EXPECT_EQ(AccessibleName(&View()), "Batch list");
    EXPECT_FALSE(app->Router().StateOf(ID_BATCH_RUN).enabled);
    EXPECT_FALSE(app->Router().StateOf(ID_REMOVE_SELECTED).enabled);
    // The text spans half the view's width.
    const QFontMetrics metrics(View().EmptyTextFont());
    EXPECT_NEAR(metrics.horizontalAdvance(QString::fromLatin1(kEmptyBasketText)), Viewport()->width() / 2,
                Viewport()->width() / 10);
}

TEST_F(BatchMode, FilesDroppedOrPastedFromAFileManagerJoinTheListAndStayWhereTheyAre) {
    const auto photos = Photos(4);
    std::unique_ptr<QMimeData> dragged(FileManagerData({photos[0], photos[1]}, false));
    DragAndDrop(Viewport(), dragged.get(), {20, 20}, Qt::CopyAction | Qt::MoveAction);
    EXPECT_EQ(Names(), (std::vector<std::string>{"p0.jpg", "p1.jpg"}));

    // A cut in a file manager pasted here: the list only names the files, so nothing is moved.
    QGuiApplication::clipboard()->setMimeData(FileManagerData({photos[2], photos[3]}, true));
    View().setFocus();
    QTest::keyClick(&View(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Names(), (std::vector<std::string>{"p0.jpg", "p1.jpg", "p2.jpg", "p3.jpg"}));
    for (const auto& photo : photos) EXPECT_TRUE(std::filesystem::exists(photo));
    EXPECT_TRUE(prompt.questions.empty());
    EXPECT_TRUE(app->Router().StateOf(ID_BATCH_RUN).enabled);

    // Something that is no file list is refused.
    QMimeData text;
    text.setText(QStringLiteral("hello"));
    DragAndDrop(Viewport(), &text, {20, 20}, Qt::CopyAction);
    EXPECT_EQ(List().size(), 4u);
}

TEST_F(BatchMode, ASecondCopyOfAFileIsAddedOnlyWhenTheUserSaysSo) {
    const auto photos = Photos(1);
    std::unique_ptr<QMimeData> data(FileManagerData(photos, false));
    DragAndDrop(Viewport(), data.get(), {20, 20}, Qt::CopyAction);
    prompt.SetAnswer(false);
    DragAndDrop(Viewport(), data.get(), {20, 20}, Qt::CopyAction);
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_NE(prompt.questions[0].find("is already selected for batch."), std::string::npos);
    EXPECT_EQ(List().size(), 1u);
    prompt.SetAnswer(true);
    DragAndDrop(Viewport(), data.get(), {20, 20}, Qt::CopyAction);
    EXPECT_EQ(List().size(), 2u);
}

TEST_F(BatchMode, DraggingItemsWithinTheListReordersThem) {
    List().AddFiles(Photos(3));
    bool dragged = false;
    View().SetDragRunner([&](QMimeData* data) {
        dragged = true;
        // Dropped on the left half of the first card: before it.
        const QPoint before = CellCentre(0) - QPoint(60, 0);
        DragAndDrop(Viewport(), data, before, Qt::CopyAction | Qt::MoveAction);
        delete data;
    });
    PressAndDrag(Viewport(), CellCentre(2));
    EXPECT_TRUE(dragged);
    EXPECT_EQ(Names(), (std::vector<std::string>{"p2.jpg", "p0.jpg", "p1.jpg"}));
}

TEST_F(BatchMode, ChoosingAnItemBringsBackItsSettingsAndOpensItsImageAndApplyToAllStampsEveryItem) {
    List().AddFiles(Photos(3));
    auto* algorithm = qobject_cast<QComboBox*>(app->Frame().SettingsBar().Control(IDC_ALGORITHM));
    ASSERT_NE(algorithm, nullptr);

    // The first item chosen gets "Bicubic" while it is selected.
    Click(0);
    ASSERT_TRUE(WaitUntil([&] { return app->Document().HasImage(); }));
    EXPECT_EQ(app->Document().Path().filename(), "p0.jpg");
    Choose(*algorithm, 3);
    EXPECT_EQ(List().item(0).batch.algorithm, ResizeAlgorithm(3));
    EXPECT_NE(List().item(1).batch.algorithm, ResizeAlgorithm(3));

    // Another item, another algorithm; choosing the first again brings its own back.
    Click(1);
    EXPECT_EQ(app->Document().Path().filename(), "p1.jpg");
    Choose(*algorithm, 1);
    Click(0);
    EXPECT_EQ(app->Document().Path().filename(), "p0.jpg");
    EXPECT_EQ(algorithm->currentIndex(), 3);
    EXPECT_EQ(List().item(1).batch.algorithm, ResizeAlgorithm(1));

    // The tool tip tells an item's size and algorithm.
    EXPECT_NE(app->Basket().TooltipAt({CellCentre(0).x(), CellCentre(0).y()}).find("Bicubic"), std::string::npos);

    qobject_cast<QPushButton*>(app->Frame().SettingsBar().Control(IDC_APPLY_TO_ALL))->click();
    for (size_t i = 0; i < List().size(); ++i) EXPECT_EQ(List().item(i).batch.algorithm, ResizeAlgorithm(3)) << i;

    // Delete removes the selected item.
    View().setFocus();
    QTest::keyClick(&View(), Qt::Key_Delete);
    EXPECT_EQ(Names(), (std::vector<std::string>{"p1.jpg", "p2.jpg"}));
}

TEST_F(BatchMode, F2RenamesTheSelectedPhotoInPlaceAndEscLeavesItAlone) {
    const auto photos = Photos(2);
    List().AddFiles(photos);
    Click(1);
    View().setFocus();
    QTest::keyClick(&View(), Qt::Key_F2);
    ui::CPopupEdit* editor = View().RenameEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "p1");
    EXPECT_TRUE(editor->hasFocus());
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("harbour"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(std::filesystem::exists(dir / "harbour.jpg"));
    EXPECT_FALSE(std::filesystem::exists(photos[1]));
    EXPECT_EQ(Names(), (std::vector<std::string>{"p0.jpg", "harbour.jpg"}));
    EXPECT_TRUE(View().hasFocus());

    QTest::keyClick(&View(), Qt::Key_F2);
    ASSERT_TRUE(WaitUntil([&] { return View().RenameEditor() != nullptr; }));
    QTest::keyClicks(View().RenameEditor(), QStringLiteral("other"));
    QTest::keyClick(View().RenameEditor(), Qt::Key_Escape);
    EXPECT_EQ(Names(), (std::vector<std::string>{"p0.jpg", "harbour.jpg"}));
}

TEST_F(BatchMode, ReturnInATextFieldOrAnOpenListIsTheirsAndElsewhereRunsTheBatch) {
    List().AddFiles(Photos(1));
    int opened = 0;
    // Any "Batch Settings" that opens is counted and closed.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* settings = qobject_cast<ui::CBatchDlg*>(QApplication::activeModalWidget())) {
            ++opened;
            settings->reject();
        }
    });
    closer.start(10);
    app->Frame().Actions().UpdateStates();  // as the idle timer would
    auto* width = qobject_cast<QAbstractSpinBox*>(app->Frame().SettingsBar().Control(IDC_OUT_WIDTH));
    ASSERT_NE(width, nullptr);
    width->setFocus();
    QTest::keyClick(width, Qt::Key_Return);
    QTest::qWait(50);
    EXPECT_EQ(opened, 0);
    View().setFocus();
    QTest::keyClick(&View(), Qt::Key_Return);
    EXPECT_EQ(opened, 1);
    // A selector's open list: Return chooses its entry, and only that.
    auto* unit = qobject_cast<QComboBox*>(app->Frame().SettingsBar().Control(IDC_OUT_UNIT));
    ASSERT_NE(unit, nullptr);
    unit->showPopup();
    ASSERT_TRUE(WaitUntil([&] { return unit->view()->isVisible(); }));
    unit->view()->setCurrentIndex(unit->model()->index(1, 0));
    unit->view()->setFocus();
    QTest::keyClick(unit->view(), Qt::Key_Return);
    QTest::qWait(50);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(unit->currentIndex(), 1);
    EXPECT_FALSE(unit->view()->isVisible());
}

TEST_F(BatchMode, SmallIconsSizeTheBatchRowToOneRowOfCellsAndTheSameZoomChangesNothing) {
    List().AddFiles(Photos(2));
    Run(ID_VIEW_SMALL_ICONS);
    EXPECT_EQ(app->Basket().zoom(), kSmallIconsZoom);
    EXPECT_TRUE(app->Router().StateOf(ID_VIEW_SMALL_ICONS).checked);
    QSplitter& splitter = app->Frame().Splitter();
    // The splitter may round by a pixel.
    EXPECT_NEAR(splitter.sizes()[1], app->Frame().BatchRowHeightFor(kSmallIconsZoom), 1);
    // Exactly one row of cells, none of the next.
    EXPECT_NEAR(Viewport()->height(), ThumbCellSize(kSmallIconsZoom).height, 1);

    splitter.setSizes({splitter.sizes()[0] - 50, splitter.sizes()[1] + 50});
    const QList<int> moved = splitter.sizes();
    Run(ID_VIEW_SMALL_ICONS);
    EXPECT_EQ(splitter.sizes(), moved);
    Run(ID_VIEW_LARGE_ICONS);
    EXPECT_NEAR(splitter.sizes()[1], app->Frame().BatchRowHeightFor(kLargeIconsZoom), 1);
}

TEST_F(BatchMode, ARunFromTheWindowWritesEveryPhotoAndLogsEachFile) {
    List().AddFiles(Photos(3));
    List().StampAll();
    const std::filesystem::path out = dir / "fresh" / "results";
    const RunResult run = RunBatch(out);
    // The missing folder was offered and made.
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_NE(prompt.questions[0].find("does not exist.\nCreate this folder?"), std::string::npos);
    EXPECT_EQ(run.button, "Done");
    EXPECT_EQ(run.status, "Processing 3 from 3");
    for (int i = 0; i < 3; ++i) {
        const std::string name = "p" + std::to_string(i) + ".jpg";
        EXPECT_TRUE(std::filesystem::is_regular_file(out / name)) << name;
        EXPECT_NE(run.log.find("File " + std::to_string(i + 1) + " from 3\r\n"), std::string::npos);
        EXPECT_NE(run.log.find("Name: " + name), std::string::npos);
    }
    // The settings stay for the next run.
    EXPECT_EQ(app->Stored().batch.outputFolder, out.string() + "/");
}

TEST_F(BatchMode, AnOwnAlgorithmShowsItsProgressAndCancelEndsTheFileItIsOn) {
    ResizeSettings& settings = app->Settings();
    settings.algorithm = 9;
    settings.width = 2400;
    settings.height = 1800;
    List().AddFiles(Photos(2));
    ASSERT_EQ(List().item(1).batch.algorithm, 9);
    bool barSeen = false;
    const RunResult run = RunBatch(dir / "out", [&](ui::CBatchProgressDlg& dialog) {
        barSeen = WaitUntil([&] { return dialog.ProgressBar().isVisible() && dialog.ProgressBar().value() > 0; });
        EXPECT_EQ(dialog.ProgressBar().maximum(), 90);
        EXPECT_EQ(dialog.Button().text(), "Cancel");
        dialog.Button().click();
    });
    EXPECT_TRUE(barSeen);
    EXPECT_EQ(run.button, "Done");
    EXPECT_NE(run.log.find("Operation canceled by user!"), std::string::npos);
    EXPECT_EQ(run.log.find("File 2 from 2"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "p0.jpg"));
}

TEST_F(BatchMode, AnOutputFolderTheRunCannotWriteToIsRefusedBeforeItStarts) {
    List().AddFiles(Photos(2));
    std::ofstream(dir / "plain-file") << "x";
    const std::string before = app->Stored().batch.outputFolder;
    bool started = false;
    const QMetaObject::Connection opened = QObject::connect(
        app.get(), &ui::CKVScaleCrafterApp::BatchRunOpened, [&](ui::CBatchProgressDlg* dialog) {
            started = true;
            dialog->reject();
        });
    const struct {
        std::string typed;
        std::string message;
    } cases[] = {
        {"", "No output folder is given.\nPlease choose the folder the resized images go to."},
        {"results", "Output folder\nresults\nis not a full path.\nPlease give the whole path, beginning with \"/\"."},
        {(dir / "plain-file" / "out").string(),
         "Can't create folder\n" + (dir / "plain-file" / "out").string() + ".\nPlease check folder name."},
    };
    std::vector<std::string> refusedWith;
    QTimer::singleShot(0, [&] {
        ui::CBatchDlg* settings = WaitForModal<ui::CBatchDlg>();
        ASSERT_NE(settings, nullptr);
        for (const auto& c : cases) {
            prompt.messages.clear();
            settings->FolderField().setText(QString::fromStdString(c.typed));
            settings->OkButton().click();
            EXPECT_TRUE(settings->isVisible()) << c.typed;
            // The folder field takes the focus, its text chosen for typing over.
            EXPECT_EQ(settings->focusWidget(), &settings->FolderField()) << c.typed;
            refusedWith.push_back(prompt.messages.empty() ? std::string() : prompt.messages.back());
        }
        settings->reject();
    });
    Run(ID_BATCH_RUN);
    QObject::disconnect(opened);
    EXPECT_FALSE(started);
    ASSERT_EQ(refusedWith.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(refusedWith[i], cases[i].message);
    EXPECT_EQ(app->Stored().batch.outputFolder, before);
    EXPECT_FALSE(std::filesystem::exists("/p0.jpg"));
}

// "Batch Settings" on its own.
class BatchSettingsDialog : public testing::Test {
protected:
    RecordingUserPrompt prompt;
    TempDir dir;
    std::optional<std::filesystem::path> picked;
    static void TypeQuality(ui::CBatchDlg& dialog, const QString& text) {
        dialog.QualitySpin().setFocus();
        dialog.QualitySpin().selectAll();
        QTest::keyClick(&dialog.QualitySpin(), Qt::Key_Delete);
        QTest::keyClicks(&dialog.QualitySpin(), text);
    }
    ui::CBatchDlg Make(const BatchSettings& settings) {
        return ui::CBatchDlg(settings, (dir / "Resized_Images/").string(), prompt,
                             [this](QWidget*, const std::filesystem::path&) { return picked; });
    }
};

TEST_F(BatchSettingsDialog, ShowsItsFieldsAndDisablesTheFolderWhileResultsGoBesideTheirInputs) {
    BatchSettings settings;
    settings.policy = CollisionPolicy(2);
    settings.format = OutputFormat(4);
    ui::CBatchDlg dialog = Make(settings);
    EXPECT_EQ(dialog.windowTitle(), "Batch Settings");
    EXPECT_EQ(dialog.FolderField().text().toStdString(), (dir / "Resized_Images/").string());
    EXPECT_EQ(dialog.PolicyGroup().checkedId(), 2);
    EXPECT_EQ(dialog.FormatSelector().count(), 5);
    EXPECT_EQ(dialog.FormatSelector().currentText(), "PNG files (*.png)");
    EXPECT_EQ(dialog.QualitySpin().Text(), "75");

    dialog.SameFolderBox().setChecked(true);
    EXPECT_FALSE(dialog.FolderField().isEnabled());
    EXPECT_FALSE(dialog.BrowseButton().isEnabled());
    EXPECT_FALSE(dialog.NewNameBox().isEnabled());
    dialog.SameFolderBox().setChecked(false);
    EXPECT_TRUE(dialog.FolderField().isEnabled());
    EXPECT_TRUE(dialog.NewNameBox().isEnabled());

    // The picker's folder gets its final slash; a cancelled picker leaves the field.
    picked = dir / "chosen";
    dialog.BrowseButton().click();
    EXPECT_EQ(dialog.FolderField().text().toStdString(), (dir / "chosen/").string());
    picked.reset();
    dialog.BrowseButton().click();
    EXPECT_EQ(dialog.FolderField().text().toStdString(), (dir / "chosen/").string());
}

TEST_F(BatchSettingsDialog, AQualityOutsideOneToAHundredKeepsTheDialogOpenWithItsMessage) {
    ui::CBatchDlg dialog = Make(BatchSettings{});
    dialog.FolderField().setText(QString::fromStdString(dir.path().string()));
    dialog.show();
    for (const char* typed : {"0", "101", "", "abc"}) {
        TypeQuality(dialog, QString::fromLatin1(typed));
        dialog.OkButton().click();
        EXPECT_TRUE(dialog.isVisible()) << typed;
    }
    EXPECT_GE(std::count(prompt.messages.begin(), prompt.messages.end(), std::string("Enter an integer between 1 and 100.")), 2);

    // The arrows stop at the ends of the range.
    dialog.QualitySpin().SetValue(100);
    dialog.QualitySpin().stepBy(1);
    EXPECT_EQ(dialog.QualitySpin().Text(), "100");
    dialog.QualitySpin().SetValue(1);
    dialog.QualitySpin().stepBy(-1);
    EXPECT_EQ(dialog.QualitySpin().Text(), "1");

    TypeQuality(dialog, QStringLiteral("90"));
    dialog.PolicyGroup().button(0)->click();
    dialog.OkButton().click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.Result().jpegQuality, 90);
    EXPECT_EQ(dialog.Result().policy, CollisionPolicy(0));
    EXPECT_EQ(dialog.Result().outputFolder, dir.path().string() + "/");
}

}  // namespace
}  // namespace kv::test
