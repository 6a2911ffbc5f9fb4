#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <fstream>
#include <functional>
#include <iterator>

#include "UiTestSupport.h"
#include "app/ImageFactsReader.h"
#include "app/ResizeBarControls.h"
#include "ui/frame/MainFrame.h"
#include "ui/resizebar/ResizeDlgBar.h"
#include "ui/resizebar/SpinField.h"

namespace kv::test {
namespace {

using namespace ResizeBarControl;

class SettingsBar : public AppFixture {
protected:
    void Open(const std::string& name = "DSCN0010.jpg") { ASSERT_TRUE(app->OpenDocumentFile(Copy(name))); }
    ui::CResizeDlgBar& Bar() { return app->Frame().SettingsBar(); }
    ui::SpinField* Field(int id) { return qobject_cast<ui::SpinField*>(Bar().Control(id)); }
    QComboBox* Selector(int id) { return qobject_cast<QComboBox*>(Bar().Control(id)); }
    QString FieldText(int id) { return Field(id)->Editor()->text(); }

    // Types into a field as a user does: focus, select all, keys. A value typed before into the
    // same field was entered with Enter.
    void Type(int id, const QString& text) {
        ui::SpinField* field = Field(id);
        if (field->hasFocus()) QTest::keyClick(field->Editor(), Qt::Key_Return);
        field->setFocus();
        field->Editor()->selectAll();
        QTest::keyClicks(field->Editor(), text);
    }

    // Chooses a menu entry of a preset button once the menu is open.
    void ChooseFromMenu(int buttonId, const QString& entry) {
        bool chosen = false;
        QTimer::singleShot(0, [&] {
            ASSERT_TRUE(WaitUntil([] { return QApplication::activePopupWidget() != nullptr; }));
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (QAction* action : menu->actions())
                if (action->text() == entry) {
                    chosen = true;
                    menu->setActiveAction(action);
                    QTest::keyClick(menu, Qt::Key_Return);
                    return;
                }
            menu->close();
        });
        QTest::mouseClick(qobject_cast<QPushButton*>(Bar().Control(buttonId)), Qt::LeftButton);
        EXPECT_TRUE(chosen) << entry.toStdString();
    }
};

TEST_F(SettingsBar, WithoutAnImageTheSizeFieldsAreDisabled) {
    EXPECT_FALSE(Field(IDC_OUT_WIDTH)->isEnabled());
    EXPECT_FALSE(Bar().Control(IDC_OUT_PREDIFINED)->isEnabled());
    EXPECT_TRUE(Selector(IDC_ALGORITHM)->isEnabled());
    EXPECT_EQ(Selector(IDC_ALGORITHM)->currentText(), "High Quality Bicubic");
}

TEST_F(SettingsBar, TypingAWidthKeepsTheAspectAndARejectedOneComesBackOnLeaving) {
    Open();  // 640 x 480
    EXPECT_EQ(FieldText(IDC_OUT_WIDTH), "640");
    Type(IDC_OUT_WIDTH, "400");
    EXPECT_EQ(app->Settings().width, 400);
    EXPECT_EQ(app->Settings().height, 300);
    EXPECT_EQ(FieldText(IDC_OUT_HEIGHT), "300");
    EXPECT_EQ(qobject_cast<QLabel*>(Bar().Control(IDC_NEW_RAWSIZE))->text(), "Raw size: 351.6KB");

    Type(IDC_OUT_WIDTH, "2");
    EXPECT_EQ(app->Settings().width, 400);
    EXPECT_EQ(FieldText(IDC_OUT_WIDTH), "2");
    Field(IDC_OUT_HEIGHT)->setFocus();
    EXPECT_TRUE(WaitUntil([&] { return FieldText(IDC_OUT_WIDTH) == "400"; }));
}

std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every field typed into key by key, as a user types, in both edit modes and under each correction:
// the bar ends where kvscale, given the same values on its command line, does, and "Resize and
// Save" writes the very file kvscale writes.
TEST_F(SettingsBar, ValuesTypedKeyByKeyGiveWhatKvscaleGivesForTheSameValues) {
    const std::filesystem::path photo = Copy("DSCN0010.jpg");  // 640 x 480 at 300 dots per inch
    const auto choose = [&](int selector, int index) { emit Selector(selector)->activated(index); };
    // A click on a radio button's mark.
    const auto click = [&](int radio) {
        QWidget* button = Bar().Control(radio);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    };
    const auto editPrint = [&] { click(IDC_EDIT_PRINT); };
    const struct {
        const char* name;
        std::function<void()> setup;
        std::vector<std::pair<int, QString>> keys;  // field, keys ('\b' for Backspace)
        QStringList kvscale;
        int width, height;
    } cases[] = {
        {"resolution", [] {}, {{IDC_OUT_RES, "150"}}, {"--dpi", "150"}, 320, 240},
        {"resolution corrected", [] {}, {{IDC_OUT_RES, "1500\b"}}, {"--dpi", "150"}, 320, 240},
        {"resolution while editing the print size", editPrint, {{IDC_OUT_RES, "600"}},
         {"--dpi", "600", "--size", "640x480"}, 640, 480},
        {"width under Crop", [&] { choose(IDC_CORRECTION, 1); }, {{IDC_OUT_WIDTH, "1000"}},
         {"--correction", "crop", "--width", "1000"}, 1000, 480},
        {"height under None", [&] { choose(IDC_CORRECTION, 2); }, {{IDC_OUT_HEIGHT, "1200"}},
         {"--correction", "none", "--height", "1200"}, 640, 1200},
        {"percent under Keep aspect", [&] { choose(IDC_OUT_UNIT, 1); }, {{IDC_OUT_WIDTH, "150"}},
         {"--percent", "150"}, 960, 720},
        {"percents under None",
         [&] {
             choose(IDC_CORRECTION, 2);
             choose(IDC_OUT_UNIT, 1);
         },
         {{IDC_OUT_WIDTH, "75"}, {IDC_OUT_HEIGHT, "75"}}, {"--correction", "none", "--percent", "75"}, 480, 360},
        {"print size in inches", editPrint, {{IDC_OUT_PRNWIDTH, "4"}, {IDC_OUT_PRNHEIGHT, "3"}},
         {"--print", "4x3", "--unit", "in"}, 1200, 900},
        {"print size in centimetres under Crop",
         [&] {
             choose(IDC_CORRECTION, 1);
             choose(IDC_UNITS_SIZE, static_cast<int>(PrintUnit::Centimeters));
             editPrint();
         },
         {{IDC_OUT_PRNWIDTH, "10"}, {IDC_OUT_PRNHEIGHT, "5"}}, {"--correction", "crop", "--print", "10x5", "--unit", "cm"},
         1181, 590},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Each case starts from the photo as it opens, with the bar's choices back at their defaults.
        choose(IDC_CORRECTION, 0);
        choose(IDC_OUT_UNIT, 0);
        choose(IDC_UNITS_SIZE, 0);
        click(IDC_EDIT_PIXEL);
        ASSERT_TRUE(app->OpenDocumentFile(photo));
        c.setup();
        for (const auto& [field, keys] : c.keys) {
            ui::SpinField* edit = Field(field);
            edit->setFocus();
            edit->Editor()->selectAll();
            for (const QChar key : keys) {
                if (key == u'\b') QTest::keyClick(edit->Editor(), Qt::Key_Backspace);
                else QTest::keyClicks(edit->Editor(), QString(key));
            }
        }
        Selector(IDC_ALGORITHM)->setFocus();  // the last field is left
        EXPECT_EQ(std::pair(app->Settings().width, app->Settings().height), std::pair(c.width, c.height));

        const std::filesystem::path saved = dir / ("window" + std::to_string(n) + ".png");
        const std::filesystem::path written = dir / ("kvscale" + std::to_string(n++) + ".png");
        dialogs.answers.push_back(saved);
        Run(CommandId::ID_FILE_SAVE);
        QProcess kvscale;
        kvscale.start(QStringLiteral(KVSCALE_PATH), QStringList{"resize", QString::fromStdString(photo.string()), "-o",
                                                                QString::fromStdString(written.string())} + c.kvscale);
        ASSERT_TRUE(kvscale.waitForFinished(60000));
        ASSERT_EQ(kvscale.exitCode(), 0) << kvscale.readAllStandardError().toStdString();
        const std::optional<ImageFacts> facts = ReadImageFacts(saved);
        ASSERT_TRUE(facts);
        EXPECT_EQ(std::pair(facts->width, facts->height), std::pair(c.width, c.height));
        // A PNG keeps its resolution in whole dots per metre.
        EXPECT_NEAR(facts->dpiX, app->Settings().dpi, 0.02);
        EXPECT_TRUE(FileBytes(saved) == FileBytes(written));
    }
}

TEST_F(SettingsBar, SpinStepsWaitForTheReleaseBeforeThePreviewRestarts) {
    Open();
    ui::SpinField* width = Field(IDC_OUT_WIDTH);
    width->setFocus();
    QTest::keyPress(width, Qt::Key_Up);
    QTest::keyPress(width, Qt::Key_Up);
    EXPECT_EQ(app->Settings().width, 642);
    EXPECT_EQ(FieldText(IDC_OUT_WIDTH), "642");
    EXPECT_TRUE(app->Document().IsAdjusting());
    // The bar's timer leaves the stepping alone while the key is held.
    QSignalSpy ticks(&Bar().SpinTimer(), &QTimer::timeout);
    ASSERT_TRUE(ticks.wait(3000));
    ASSERT_TRUE(ticks.wait(3000));
    EXPECT_TRUE(app->Document().IsAdjusting());
    QTest::keyRelease(width, Qt::Key_Up);
    EXPECT_FALSE(app->Document().IsAdjusting());

    // A step whose release never arrives is ended by the timer.
    width->stepBy(-1);
    EXPECT_EQ(app->Settings().width, 641);
    EXPECT_TRUE(app->Document().IsAdjusting());
    EXPECT_TRUE(WaitUntil([&] { return !app->Document().IsAdjusting(); }, 3000));
}

TEST_F(SettingsBar, PresetMenusSetSizePaperAndResolution) {
    Open("kodak-dc240.jpg");  // 640 x 480
    ChooseFromMenu(IDC_OUT_PREDIFINED, "HD (1920x1080)");
    EXPECT_EQ(app->Settings().width, 1440);  // fitted into the box with the image's aspect
    EXPECT_EQ(app->Settings().height, 1080);

    ChooseFromMenu(IDC_OUT_RES_PREDIFINED, "300 DPI");
    EXPECT_FLOAT_EQ(app->Settings().dpi, 300.0f);
    EXPECT_EQ(FieldText(IDC_OUT_RES), "300");

    ChooseFromMenu(IDC_OUT_PRN_PREDIFINED, "A4 (210x297 mm)");
    // The paper turns with the landscape image, which is fitted inside: 280 x 210 mm at 300 dpi.
    EXPECT_EQ(app->Settings().width, 3307);
    EXPECT_EQ(app->Settings().height, 2480);
}

TEST_F(SettingsBar, UnitSelectorsChangeWhatTheFieldsShow) {
    Open();
    QComboBox* unit = Selector(IDC_OUT_UNIT);
    unit->setFocus();
    QTest::keyClick(unit, Qt::Key_Down);
    EXPECT_TRUE(app->Settings().inPercents);
    EXPECT_EQ(FieldText(IDC_OUT_WIDTH), "100");
    Type(IDC_OUT_WIDTH, "400");
    EXPECT_EQ(app->Settings().width, 2560);
    EXPECT_EQ(FieldText(IDC_OUT_HEIGHT), "400");

    QComboBox* sizeUnits = Selector(IDC_UNITS_SIZE);
    sizeUnits->setFocus();
    QTest::keyClick(sizeUnits, Qt::Key_Down);  // millimetres
    EXPECT_EQ(app->Settings().printUnit, PrintUnit::Millimeters);
    EXPECT_EQ(qobject_cast<QLabel*>(Bar().Control(IDC_PRNHEIGHT_UNIT))->text(), "mm");

    QComboBox* algorithm = Selector(IDC_ALGORITHM);
    algorithm->setFocus();
    QTest::keyClick(algorithm, Qt::Key_End);
    EXPECT_EQ(app->Settings().algorithm, 9);
    EXPECT_EQ(algorithm->currentText(), "KARVO Super-Resolution");

    // Editing the print size instead of the pixels.
    auto* editPrint = qobject_cast<QRadioButton*>(Bar().Control(IDC_EDIT_PRINT));
    QTest::mouseClick(editPrint, Qt::LeftButton, {}, QPoint(6, editPrint->height() / 2));
    EXPECT_TRUE(app->Settings().editPrints);
    EXPECT_FALSE(Field(IDC_OUT_WIDTH)->isEnabled());
    EXPECT_TRUE(Field(IDC_OUT_PRNWIDTH)->isEnabled());
}

TEST_F(SettingsBar, TheCheckBoxLocksOrAppliesToNewByMode) {
    auto* check = qobject_cast<QCheckBox*>(Bar().Control(IDC_LOCK_SETTINGS));
    EXPECT_EQ(check->text(), "&Lock settings");
    EXPECT_FALSE(Bar().Control(IDC_APPLY_TO_ALL)->isVisibleTo(&Bar()));
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, check->height() / 2));
    EXPECT_TRUE(app->Settings().lockSettings);

    app->Frame().ToggleBatchMode();
    EXPECT_EQ(check->text(), "Apply to &new");
    EXPECT_EQ(AccessibleName(check), "Apply to new");
    EXPECT_TRUE(check->isChecked());  // apply to new is on by default
    EXPECT_TRUE(Bar().Control(IDC_APPLY_TO_ALL)->isVisibleTo(&Bar()));
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, check->height() / 2));
    EXPECT_FALSE(app->Settings().applyToNew);
    EXPECT_TRUE(app->Settings().lockSettings);
    // In batch mode the fields are open without an image.
    EXPECT_TRUE(Field(IDC_OUT_WIDTH)->isEnabled());
}

TEST_F(SettingsBar, TheOpenImagesFactsAreReadOutAsTheirValuesWithWhatTheyAre) {
    Open();  // 640 x 480
    auto* pixels = qobject_cast<QLabel*>(Bar().Control(IDC_ORIG_PIXELS));
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(AccessibleName(pixels), "640x480 pixels");
    EXPECT_EQ(pixels->accessibleDescription(), "Original image pixel size");
    EXPECT_EQ(AccessibleName(Bar().Control(IDC_ORIG_RES)), "300 dots per inch");
}

TEST_F(SettingsBar, EveryControlHasAnAccessibleNameAndATooltip) {
    for (QWidget* widget : Bar().findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
                             qobject_cast<QAbstractSpinBox*>(widget);
        if (!control) continue;
        EXPECT_FALSE(AccessibleName(widget).isEmpty()) << widget->metaObject()->className();
        EXPECT_FALSE(widget->toolTip().isEmpty()) << AccessibleName(widget).toStdString();
        // What's This? shows the same text as a pop-up.
        EXPECT_EQ(widget->whatsThis(), widget->toolTip()) << AccessibleName(widget).toStdString();
    }
    EXPECT_EQ(AccessibleName(Field(IDC_OUT_WIDTH)), "Width");
    EXPECT_EQ(AccessibleName(Field(IDC_OUT_PRNWIDTH)), "Print width");
    EXPECT_EQ(AccessibleName(Bar().Control(IDC_EDIT_PRINT)), "Edit print size");
    EXPECT_EQ(Bar().Control(IDC_OUT_UNIT)->toolTip(), "Sets units for above fields");
}

}  // namespace
}  // namespace kv::test
