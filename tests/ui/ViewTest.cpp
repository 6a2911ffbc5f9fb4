#include <QMimeData>
#include <QScrollBar>

#include "UiTestSupport.h"
#include "app/ResizeBarControls.h"
#include "ui/frame/MainFrame.h"
#include "ui/resizebar/ResizeDlgBar.h"
#include "ui/view/KVScaleCrafterView.h"
#include "ui/view/NavigatorWnd.h"

namespace kv::test {
namespace {

class View : public AppFixture {
protected:
    ui::CKVScaleCrafterView& MainView() { return app->Frame().View(); }
    ui::CNavigatorWnd& Navigator() { return app->Frame().SettingsBar().Navigator(); }

    // Opens a photo and sets the output size and algorithm as the bar would.
    void OpenAt(const std::string& name, int percent, ResizeAlgorithm algorithm) {
        ASSERT_TRUE(app->OpenDocumentFile(Copy(name, std::filesystem::path(name).filename())));
        ResizeBarPresenter& bar = app->Presenter();
        bar.OnSelect(ResizeBarControl::IDC_ALGORITHM, algorithm);
        bar.OnSelect(ResizeBarControl::IDC_OUT_UNIT, 1);
        bar.OnTextChanged(ResizeBarControl::IDC_OUT_WIDTH, std::to_string(percent));
        app->UpdateAllViews();
    }
};

TEST_F(View, AnOwnAlgorithmShowsThePlaceholderThenTheExactPreview) {
    OpenAt("kodak-dc240.jpg", 200, 9);  // 640 x 480 shown at 1280 x 960
    EXPECT_TRUE(WaitUntil([&] { return MainView().DrawingState() == "Exact preview"; }, 60000));
    EXPECT_EQ(MainView().accessibleDescription(), "Exact preview");
    // The view shows the output pixel for pixel: its scroll range is the output less the window.
    EXPECT_EQ(MainView().horizontalScrollBar()->maximum(), std::max(0, 1280 - MainView().viewport()->width()));

    // A standard algorithm draws at once and asks for nothing.
    app->Presenter().OnSelect(ResizeBarControl::IDC_ALGORITHM, 1);
    EXPECT_TRUE(WaitUntil([&] { return MainView().DrawingState() == "Quick drawing"; }));
    MainView().viewport()->repaint();
    EXPECT_EQ(MainView().DrawingState(), "Quick drawing");
}

TEST_F(View, ASmallOutputIsCentredWithoutScrollBars) {
    OpenAt("DSCN0010.jpg", 50, 4);
    EXPECT_EQ(MainView().horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(MainView().verticalScrollBar()->maximum(), 0);
    const QImage shot = MainView().viewport()->grab().toImage();
    const QPoint centre(shot.width() / 2, shot.height() / 2);
    EXPECT_NE(shot.pixelColor(centre), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(2, 2), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(centre.x() - 160 - 3, centre.y()), QColor(Qt::white));
}

// A red disc on a transparent ground whose hidden colour is green, 48 x 32, at 400 %: the ground
// shows the board of light squares in the quick drawing and in the exact preview, the green never.
TEST_F(View, TransparentPartsShowTheBoardAndNeverTheColourUnderThem) {
    for (const ResizeAlgorithm algorithm : {ResizeAlgorithm{4}, ResizeAlgorithm{9}}) {
        SCOPED_TRACE(algorithm);
        OpenAt("alpha/rgba.png", 400, algorithm);
        const char* state = algorithm == 9 ? "Exact preview" : "Quick drawing";
        ASSERT_TRUE(WaitUntil([&] { return MainView().DrawingState() == state; }, 60000));
        const QImage shot = MainView().viewport()->grab().toImage();
        const QPoint centre(shot.width() / 2, shot.height() / 2);
        const QColor disc = shot.pixelColor(centre);
        EXPECT_GT(disc.red(), 200);
        EXPECT_LT(disc.green(), 40);
        // The output's corners (192 x 128 around the centre) are ground: a light and a darker square.
        EXPECT_EQ(shot.pixelColor(centre + QPoint(-95, -63)), QColor(0xFF, 0xFF, 0xFF));
        EXPECT_EQ(shot.pixelColor(centre + QPoint(-95 + 8, -63)), QColor(0xCC, 0xCC, 0xCC));
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                ASSERT_FALSE(c.green() > c.red() + 32 && c.green() > c.blue() + 32) << x << "," << y;
            }
    }
}

TEST_F(View, DraggingTheImagePansAndDraggingTheNavigatorScrolls) {
    OpenAt("DSCN0010.jpg", 400, 4);  // 2560 x 1920
    QWidget* viewport = MainView().viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(300, 300));
    QTest::mouseMove(viewport, QPoint(200, 250));
    EXPECT_TRUE(MainView().IsPanning());
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(200, 250));
    EXPECT_EQ(MainView().ScrollPosition(), QPoint(100, 50));
    EXPECT_FALSE(MainView().IsPanning());

    // The navigator's rectangle followed; dragging it far right stops at the picture's edge.
    const PixelRect before = Navigator().ViewRect();
    ASSERT_FALSE(before.IsEmpty());
    const PixelRect picture = Navigator().PictureRect();
    const QPoint grab((before.left + before.right) / 2, (before.top + before.bottom) / 2);
    QTest::mousePress(&Navigator(), Qt::LeftButton, {}, grab);
    QTest::mouseMove(&Navigator(), grab + QPoint(500, 0));
    QTest::mouseRelease(&Navigator(), Qt::LeftButton, {}, grab + QPoint(500, 0));
    EXPECT_EQ(Navigator().ViewRect().right, picture.right);
    EXPECT_EQ(MainView().ScrollPosition().x(), MainView().horizontalScrollBar()->maximum());
    EXPECT_NEAR(MainView().ScrollPosition().y(), 50, 2560 / picture.Width() + 1);
}

}  // namespace
}  // namespace kv::test

namespace kv::test {
namespace {

TEST_F(View, APhotoDroppedOnTheViewIsOpened) {
    const std::filesystem::path photo = Copy("kodak-dc240.jpg");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString((dir / "notes.txt").string())),
                  QUrl::fromLocalFile(QString::fromStdString(photo.string()))});
    QWidget* viewport = MainView().viewport();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drop);
    EXPECT_EQ(app->Document().Path(), photo);

    QMimeData text;
    text.setUrls({QUrl::fromLocalFile(QString::fromStdString((dir / "notes.txt").string()))});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, {});
    refused.setAccepted(false);
    QApplication::sendEvent(viewport, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

}  // namespace
}  // namespace kv::test
