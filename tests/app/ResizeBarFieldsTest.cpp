#include <gtest/gtest.h>

#include "BarFakes.h"

namespace kv::test {
namespace {

using namespace ResizeBarControl;

TEST_F(BarTest, KeepAspectLinksTheOtherSideAndTheRejectedSideIsRestoredOnLeaving) {
    FakeDocument document(1000, 500, 300);
    Open(document);

    EXPECT_TRUE(bar.OnTextChanged(IDC_OUT_WIDTH, "400"));
    EXPECT_EQ(settings.width, 400);
    EXPECT_EQ(settings.height, 200);
    EXPECT_EQ(Text(IDC_OUT_HEIGHT), "200");
    EXPECT_EQ(Text(IDC_OUT_PRNWIDTH), "1.3333");
    EXPECT_EQ(Text(IDC_OUT_PRNHEIGHT), "0.6667");
    EXPECT_EQ(Text(IDC_NEW_RAWSIZE), "Raw size: 234.4KB");
    EXPECT_EQ(document.Restarts(), 1u);

    EXPECT_FALSE(bar.OnTextChanged(IDC_OUT_HEIGHT, "1"));
    EXPECT_EQ(settings.height, 200);
    EXPECT_EQ(settings.width, 400);
    EXPECT_EQ(Text(IDC_OUT_HEIGHT), "1");  // as typed, until the field is left
    bar.OnFieldLeft(IDC_OUT_HEIGHT);
    EXPECT_EQ(Text(IDC_OUT_HEIGHT), "200");
}

TEST_F(BarTest, PixelFieldsAcceptWholeNumbersFromThreeToOneHundredThousand) {
    FakeDocument document(1000, 500);
    Open(document);
    settings.correction = SizeCorrection::None;
    const struct {
        const char* text;
        bool accepted;
        int32_t width;
    } cases[] = {
        {"2", false, 1000},  {"3", true, 3},      {"100000", true, 100000}, {"100001", false, 1000},
        {"12.5", false, 1000}, {"-5", false, 1000}, {"abc", false, 1000},     {"", false, 1000},
    };
    for (const auto& c : cases) {
        settings.width = 1000;
        EXPECT_EQ(bar.OnTextChanged(IDC_OUT_WIDTH, c.text), c.accepted) << c.text;
        EXPECT_EQ(settings.width, c.width) << c.text;
        EXPECT_EQ(settings.height, 500) << c.text;
        bar.OnFieldLeft(IDC_OUT_WIDTH);
        EXPECT_EQ(Text(IDC_OUT_WIDTH), std::to_string(c.width)) << c.text;
    }
}

TEST_F(BarTest, WithoutAnImagePrintSizesStoreNothingAndPercentsAreKeptForTheBatch) {
    EnterBatchMode();  // the fields are editable without an image only in batch mode
    EXPECT_EQ(Text(IDC_OUT_PRNWIDTH), "2.1333");
    EXPECT_FALSE(bar.OnTextChanged(IDC_OUT_PRNWIDTH, "2"));
    EXPECT_EQ(settings.width, 640);

    settings.inPercents = true;
    bar.SetDocument(nullptr);
    EXPECT_EQ(Text(IDC_OUT_PRNWIDTH), "");

    // The batch's photos take their sizes from the percent, so the one the field shows is kept;
    // Keep aspect keeps both sides at it. The pixel size waits for a photo.
    EXPECT_TRUE(bar.OnTextChanged(IDC_OUT_WIDTH, "50"));
    EXPECT_DOUBLE_EQ(settings.percentWidth, 50);
    EXPECT_DOUBLE_EQ(settings.percentHeight, 50);
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(Text(IDC_OUT_HEIGHT), "50");
    bar.OnFieldLeft(IDC_OUT_WIDTH);
    EXPECT_EQ(Text(IDC_OUT_WIDTH), "50");

    // Out of the range without a photo (0.3 to 3000) nothing is kept, and leaving shows the kept one.
    EXPECT_FALSE(bar.OnTextChanged(IDC_OUT_HEIGHT, "3001"));
    EXPECT_DOUBLE_EQ(settings.percentHeight, 50);
    bar.OnFieldLeft(IDC_OUT_HEIGHT);
    EXPECT_EQ(Text(IDC_OUT_HEIGHT), "50");

    settings.correction = SizeCorrection::None;
    EXPECT_TRUE(bar.OnTextChanged(IDC_OUT_HEIGHT, "25"));
    EXPECT_DOUBLE_EQ(settings.percentHeight, 25);
    EXPECT_DOUBLE_EQ(settings.percentWidth, 50);
}

TEST_F(BarTest, PercentOfTheOpenImage) {
    FakeDocument document(1000, 500);
    Open(document);
    bar.OnSelect(IDC_OUT_UNIT, 1);
    EXPECT_EQ(Text(IDC_OUT_WIDTH), "100");
    EXPECT_EQ(document.Notices(), 0u);  // the unit alone changes no size

    EXPECT_TRUE(bar.OnTextChanged(IDC_OUT_WIDTH, "50"));
    EXPECT_EQ(settings.width, 500);
    EXPECT_EQ(settings.height, 250);
    EXPECT_DOUBLE_EQ(settings.percentHeight, 50);
    EXPECT_EQ(Text(IDC_OUT_HEIGHT), "50");
    bar.OnFieldLeft(IDC_OUT_WIDTH);

    // 0.3% of 1000 pixels is the smallest width; the linked height is held to 3 pixels.
    EXPECT_FALSE(bar.OnTextChanged(IDC_OUT_WIDTH, "0.29"));
    EXPECT_EQ(settings.width, 500);
    EXPECT_TRUE(bar.OnTextChanged(IDC_OUT_WIDTH, "0.3"));
    EXPECT_EQ(settings.width, 3);
    EXPECT_EQ(settings.height, 3);

    // Shown as the percent of the size, rounded to two decimals.
    settings.correction = SizeCorrection::None;
    EXPECT_TRUE(bar.OnTextChanged(IDC_OUT_HEIGHT, "33.333"));
    EXPECT_EQ(settings.height, 166);
    EXPECT_EQ(Text(IDC_OUT_WIDTH), "0.3");  // the fields are no longer linked
    bar.OnFieldLeft(IDC_OUT_HEIGHT);
    EXPECT_EQ(Text(IDC_OUT_HEIGHT), "33.2");
    EXPECT_DOUBLE_EQ(settings.percentHeight, 33.2);
}

TEST_F(BarTest, PrintSizeEditsSetThePixels) {
    FakeDocument document(1000, 500, 300);
    Open(document);
    EXPECT_FALSE(bar.OnTextChanged(IDC_OUT_PRNWIDTH, "2"));  // disabled while editing pixels
    bar.OnEditPrints(true);

    EXPECT_TRUE(bar.OnTextChanged(IDC_OUT_PRNWIDTH, "2"));
    EXPECT_EQ(settings.width, 600);
    EXPECT_EQ(settings.height, 300);
    EXPECT_EQ(Text(IDC_OUT_WIDTH), "600");
    EXPECT_EQ(Text(IDC_OUT_HEIGHT), "300");
    EXPECT_EQ(Text(IDC_OUT_PRNHEIGHT), "1");
    EXPECT_EQ(Text(IDC_OUT_PRNWIDTH), "2");
    bar.OnFieldLeft(IDC_OUT_PRNWIDTH);

    // Less than one pixel at 300 dpi is rejected.
    EXPECT_FALSE(bar.OnTextChanged(IDC_OUT_PRNWIDTH, "0.003"));
    EXPECT_EQ(settings.width, 600);
    bar.OnFieldLeft(IDC_OUT_PRNWIDTH);
    EXPECT_EQ(Text(IDC_OUT_PRNWIDTH), "2");
}

TEST_F(BarTest, ResolutionLimitsFollowTheUnit) {
    const struct {
        ResolutionUnit unit;
        const char* text;
        bool accepted;
        float dpi;
    } cases[] = {
        {ResolutionUnit::DotsPerInch, "0.5", false, 300},     {ResolutionUnit::DotsPerInch, "1", true, 1},
        {ResolutionUnit::DotsPerInch, "100000", true, 100000}, {ResolutionUnit::DotsPerInch, "100001", false, 300},
        {ResolutionUnit::DotsPerCm, "10000", true, 25400},     {ResolutionUnit::DotsPerCm, "0.3", false, 300},
        {ResolutionUnit::DotsPerCm, "0.4", true, 1.016f},      {ResolutionUnit::DotsPerMm, "0.039", false, 300},
        {ResolutionUnit::DotsPerMm, "3937", true, 99999.8f},   {ResolutionUnit::DotsPerMm, "3938", false, 300},
    };
    for (const auto& c : cases) {
        ResizeSettings s;
        s.editPrints = true;
        ResizeBarPresenter presenter(s);
        FakeDocument document(3000, 2000, 300);
        presenter.SetDocument(&document);
        presenter.OnSelect(IDC_UNITS_RES, static_cast<int>(c.unit));
        EXPECT_EQ(presenter.OnTextChanged(IDC_OUT_RES, c.text), c.accepted) << c.text;
        EXPECT_FLOAT_EQ(s.dpi, c.dpi) << c.text;
        EXPECT_EQ(presenter.Text(IDC_OUT_RES), c.text);  // the field keeps what was typed
    }
}

TEST_F(BarTest, TypedResolutionRescalesPixelsOrPrintSize) {
    FakeDocument document(3000, 2000, 300);
    Open(document);
    EXPECT_TRUE(bar.OnTextChanged(IDC_OUT_RES, "150"));
    EXPECT_EQ(settings.width, 1500);
    EXPECT_EQ(settings.height, 1000);
    EXPECT_EQ(Text(IDC_OUT_PRNWIDTH), "10");

    bar.OnEditPrints(true);
    EXPECT_TRUE(bar.OnTextChanged(IDC_OUT_RES, "300"));
    EXPECT_EQ(settings.width, 1500);
    EXPECT_EQ(Text(IDC_OUT_PRNWIDTH), "5");
    // The new resolution reaches the document and the batch list like any other change.
    EXPECT_EQ(document.Restarts(), 2u);
}

TEST_F(BarTest, PrintEditResolutionIsStampedOntoSelectedBatchItems) {
    FakeDocument document(3000, 2000, 300);
    EnterBatchMode();
    Open(document);
    bar.OnEditPrints(true);
    const int32_t width = settings.width;
    EXPECT_TRUE(bar.OnTextChanged(IDC_OUT_RES, "72"));
    EXPECT_EQ(stamping.selected, 1);
    EXPECT_EQ(settings.width, width);
}

TEST_F(BarTest, SpinStepsClampAndDeferThePreviewUntilRelease) {
    FakeDocument document(1000, 500, 300);
    Open(document);

    bar.OnSpin(IDC_SPIN_WIDTH, +1);
    EXPECT_EQ(Text(IDC_OUT_WIDTH), "1001");
    EXPECT_EQ(settings.height, 500);
    EXPECT_TRUE(document.IsAdjusting());
    EXPECT_EQ(document.Restarts(), 0u);
    EXPECT_EQ(document.Notices(), 1u);

    bar.OnTextChanged(IDC_OUT_WIDTH, "100000");
    bar.OnSpin(IDC_SPIN_WIDTH, +1);
    EXPECT_EQ(Text(IDC_OUT_WIDTH), "100000");
    bar.OnTextChanged(IDC_OUT_WIDTH, "3");
    bar.OnSpin(IDC_OUT_WIDTH, -1);
    EXPECT_EQ(Text(IDC_OUT_WIDTH), "3");
    EXPECT_EQ(settings.width, 3);
    EXPECT_EQ(document.Restarts(), 0u);

    bar.OnSpinReleased();
    EXPECT_FALSE(document.IsAdjusting());
    EXPECT_EQ(document.Restarts(), 1u);

    // A field that is not editable does not step.
    bar.OnSpin(IDC_SPIN_PRNWIDTH, +1);
    EXPECT_FALSE(document.IsAdjusting());
    EXPECT_EQ(document.Notices(), 6u);
}

TEST_F(BarTest, TimerEndsAStepWhoseReleaseNeverCame) {
    FakeDocument document(1000, 500, 300);
    Open(document);
    bar.OnSpin(IDC_SPIN_HEIGHT, -1);
    EXPECT_EQ(settings.height, 499);
    EXPECT_EQ(settings.width, 998);

    bar.OnTimer(/*keyOrButtonDown=*/true);
    EXPECT_TRUE(document.IsAdjusting());
    EXPECT_EQ(document.Restarts(), 0u);
    bar.OnTimer(false);
    EXPECT_FALSE(document.IsAdjusting());
    EXPECT_EQ(document.Restarts(), 1u);
    bar.OnTimer(false);
    EXPECT_EQ(document.Notices(), 2u);
}

TEST_F(BarTest, SpinStepsInTheFieldsOwnUnit) {
    FakeDocument document(3000, 2000, 300);
    Open(document);
    bar.OnSelect(IDC_UNITS_RES, static_cast<int>(ResolutionUnit::DotsPerCm));
    EXPECT_EQ(Text(IDC_OUT_RES), "118.11");
    bar.OnSpin(IDC_SPIN_RES, +1);
    EXPECT_EQ(Text(IDC_OUT_RES), "119.11");
    EXPECT_FLOAT_EQ(settings.dpi, static_cast<float>(119.11 * 2.54));

    bar.OnSelect(IDC_OUT_UNIT, 1);
    EXPECT_EQ(Text(IDC_OUT_WIDTH), "100.83");  // 3025 of 3000 pixels
    bar.OnTextChanged(IDC_OUT_WIDTH, "0.5");
    bar.OnSpin(IDC_SPIN_WIDTH, -1);  // clamped to 0.1%, 3 of 3000 pixels
    EXPECT_EQ(Text(IDC_OUT_WIDTH), "0.1");
    EXPECT_EQ(settings.width, 3);
}

TEST_F(BarTest, EnablingFollowsImageBatchModeAndEditMode) {
    const struct {
        bool image, batch, editPrints;
        bool width, printWidth, resolution, unit, sizes, printSpin, resolutionPresets;
    } cases[] = {
        {false, false, false, false, false, false, false, false, false, true},
        {false, true, false, true, true, true, true, true, true, true},
        {true, false, false, true, false, true, true, true, false, true},
        {true, false, true, false, true, true, true, true, true, true},
    };
    for (const auto& c : cases) {
        ResizeSettings s;
        s.batchMode = c.batch;
        s.editPrints = c.editPrints;
        ResizeBarPresenter presenter(s);
        FakeDocument document(100, 100);
        FakeDocument empty;
        presenter.SetDocument(c.image ? &document : &empty);
        const auto where = ::testing::Message() << "image " << c.image << " batch " << c.batch << " prints "
                                                << c.editPrints;
        EXPECT_EQ(presenter.IsEnabled(IDC_OUT_WIDTH), c.width) << where;
        EXPECT_EQ(presenter.IsEnabled(IDC_SPIN_HEIGHT), c.width) << where;
        EXPECT_EQ(presenter.IsEnabled(IDC_OUT_PRNWIDTH), c.printWidth) << where;
        EXPECT_EQ(presenter.IsEnabled(IDC_OUT_RES), c.resolution) << where;
        EXPECT_EQ(presenter.IsEnabled(IDC_OUT_UNIT), c.unit) << where;
        EXPECT_EQ(presenter.IsEnabled(IDC_OUT_PREDIFINED), c.sizes) << where;
        EXPECT_EQ(presenter.IsEnabled(IDC_OUT_PRN_PREDIFINED), c.sizes) << where;
        EXPECT_EQ(presenter.IsEnabled(IDC_SPIN_PRNWIDTH), c.printSpin) << where;
        EXPECT_EQ(presenter.IsEnabled(IDC_OUT_RES_PREDIFINED), c.resolutionPresets) << where;
        EXPECT_TRUE(presenter.IsEnabled(IDC_CORRECTION)) << where;
    }
}

TEST_F(BarTest, WritesShownByTheWindowAreNotTakenAsEdits) {
    ResizeBarPresenter* presenter = &bar;
    EchoingListener window(presenter);
    bar.SetListener(&window);
    FakeDocument document(1000, 500, 300);
    Open(document);
    EXPECT_EQ(window.navigatorRefreshes, 1);

    bar.OnTextChanged(IDC_OUT_WIDTH, "400");
    EXPECT_EQ(document.Notices(), 1u);
    EXPECT_EQ(settings.height, 200);
    EXPECT_GE(window.changes, 2);
}

}  // namespace
}  // namespace kv::test
