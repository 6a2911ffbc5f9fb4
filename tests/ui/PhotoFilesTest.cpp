#include <QCheckBox>
#include <QMenuBar>
#include <QSpinBox>
#include <QUrl>

#include "UiTestSupport.h"
#include "base/CommandIds.h"
#include "common/OrientedPhotos.h"
#include "imageio/Bitmap.h"
#include "imageio/JpegQuality.h"
#include "imageio/Orientation.h"
#include "ui/dialogs/JpegOptionsDlg.h"
#include "ui/view/KVScaleCrafterView.h"

namespace kv::test {
namespace {

using namespace CommandId;
using PhotoFiles = AppFixture;

std::optional<int32_t> QualityOf(const std::filesystem::path& file) { return EstimateJpegQuality(*Bitmap::FromFile(file)); }

// A JPEG save asks for its quality once its name is chosen, offers the original's, writes what was
// chosen and remembers it for the next run; cancelling the options writes nothing.
TEST_F(PhotoFiles, AJpegSaveAsksItsQualityOfferingTheOriginals) {
    const std::filesystem::path photo = dir / "q92.jpg";
    Bitmap picture(64, 48, PixelFormat24bppRGB);
    ASSERT_EQ(picture.Save(photo, "image/jpeg", 92), Status::Ok);
    ASSERT_TRUE(app->OpenDocumentFile(photo));

    dialogs.answers.push_back(dir / "set.jpeg");
    dialogs.jpegAnswers.push_back(ui::JpegSaveChoice{60, false, 92});
    Run(ID_FILE_SAVE);
    ASSERT_EQ(dialogs.jpegOffers.size(), 1u);
    EXPECT_EQ(dialogs.jpegOffers[0].quality, 75);
    EXPECT_EQ(dialogs.jpegOffers[0].original, 92);
    EXPECT_EQ(QualityOf(dir / "set.jpeg"), 60);

    dialogs.answers.push_back(dir / "same.jpg");
    dialogs.jpegAnswers.push_back(ui::JpegSaveChoice{60, true, 92});
    Run(ID_FILE_SAVE);
    EXPECT_EQ(QualityOf(dir / "same.jpg"), 92);

    dialogs.answers.push_back(dir / "cancelled.jpg");
    dialogs.jpegAnswers.push_back(std::nullopt);
    Run(ID_FILE_SAVE);
    EXPECT_FALSE(std::filesystem::exists(dir / "cancelled.jpg"));
    dialogs.answers.push_back(dir / "other.png");
    Run(ID_FILE_SAVE);
    EXPECT_EQ(dialogs.jpegOffers.size(), 3u);  // none for a PNG
    EXPECT_TRUE(prompt.messages.empty());

    Stop();
    Start();
    EXPECT_EQ(app->Settings().jpegQuality, 60);
    EXPECT_TRUE(app->Settings().sameJpegQuality);
}

TEST(JpegOptionsDialog, SameAsTheOriginalShowsItsQualityAndKeepsTheUsersOwn) {
    ui::CJpegOptionsDlg dialog(ui::JpegSaveChoice{60, false, 92});
    auto* quality = dialog.findChild<QSpinBox*>();
    auto* same = dialog.findChild<QCheckBox*>();
    ASSERT_TRUE(quality && same);
    EXPECT_EQ(quality->value(), 60);
    quality->setValue(40);
    same->setChecked(true);
    EXPECT_FALSE(quality->isEnabled());
    EXPECT_EQ(quality->value(), 92);
    EXPECT_EQ(dialog.Choice().quality, 40);
    EXPECT_TRUE(dialog.Choice().sameAsOriginal);
    same->setChecked(false);
    EXPECT_EQ(quality->value(), 40);
    EXPECT_FALSE(dialog.Choice().sameAsOriginal);

    ui::CJpegOptionsDlg withoutOriginal(ui::JpegSaveChoice{150, true, std::nullopt});
    EXPECT_EQ(withoutOriginal.findChild<QCheckBox*>(), nullptr);
    EXPECT_EQ(withoutOriginal.Choice().quality, 100);
}

TEST(FileDialogFilters, FollowTheOneListOfExtensions) {
    EXPECT_EQ(ui::OpenImageFilter(),
              "All Supported Files (*.jpg *.jpeg *.jpe *.tif *.tiff *.bmp *.gif *.png);;JPEG Files (*.jpg *.jpeg *.jpe);;"
              "TIFF Files (*.tif *.tiff);;Bitmap Files (*.bmp);;GIF Files (*.gif);;PNG Files (*.png);;All Files (*)");
    EXPECT_EQ(ui::SaveImageFilter(),
              "JPEG Files (*.jpg *.jpeg *.jpe);;TIFF Files (*.tif *.tiff);;Bitmap Files (*.bmp);;GIF Files (*.gif);;"
              "PNG Files (*.png)");
    EXPECT_EQ(ui::FilterExtension("TIFF Files (*.tif *.tiff)"), ".tif");
}

// A .JPEG dropped on the view opens as a .jpg does, and is saved under its own extension's format.
TEST_F(PhotoFiles, EverySpellingOpensOnADropAndSaves) {
    const std::filesystem::path photo = Copy("kodak-dc240.jpg", "photo.JPEG");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(photo.string()))});
    QWidget* viewport = app->Frame().View().viewport();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drop);
    ASSERT_EQ(app->Document().Path(), photo);
    Run(ID_FILE_SAVE);  // cancelled: the suggestion keeps the original's spelling
    EXPECT_EQ(dialogs.suggestions.back().extension(), ".JPEG");
    dialogs.answers.push_back(dir / "out.tiff");
    Run(ID_FILE_SAVE);
    EXPECT_EQ(Bitmap::FromFile(dir / "out.tiff")->GetRawFormat(), ImageFormat::Tiff);
    EXPECT_TRUE(prompt.messages.empty());
}

// "Turn Photos Upright" in the View menu, on by default: off, the open photo is shown as its file
// stores it at once, and the choice holds at the next start.
TEST_F(PhotoFiles, TurningPhotosUprightIsAViewMenuChoiceThatLasts) {
    if (!HaveOrientationTools()) GTEST_SKIP() << "ImageMagick or exiftool is not installed";
    const TurnPicturesUprightScope restore(true);
    ASSERT_TRUE(RunQuiet("/usr/bin/convert " + ToolQuoted(DataPath("kodak-dc240.jpg")) + " -strip " +
                         ToolQuoted(dir / "upright.png")));
    const std::filesystem::path photo = dir / "sideways.jpg";
    ASSERT_TRUE(MakeOrientedPhoto(dir / "upright.png", 6, photo));
    QAction* upright = app->Frame().Actions().Action(ID_VIEW_UPRIGHT);
    ASSERT_NE(upright, nullptr);
    ASSERT_TRUE(app->OpenDocumentFile(photo));
    app->Frame().Actions().UpdateStates();
    EXPECT_TRUE(upright->isChecked());
    EXPECT_EQ(app->Document().ImageWidth(), 640);
    EXPECT_EQ(app->Settings().width, 640);

    Run(ID_VIEW_UPRIGHT);
    EXPECT_FALSE(upright->isChecked());
    EXPECT_EQ(app->Document().ImageWidth(), 480);
    EXPECT_EQ(app->Settings().width, 480);

    Stop();
    Start({photo.string()});
    EXPECT_FALSE(app->Frame().Actions().Action(ID_VIEW_UPRIGHT)->isChecked());
    EXPECT_EQ(app->Document().ImageWidth(), 480);  // read ahead upright, opened as stored
    Run(ID_VIEW_UPRIGHT);
    EXPECT_EQ(app->Document().ImageWidth(), 640);
}

}  // namespace
}  // namespace kv::test
