#include <gtest/gtest.h>

#include <limits>

#include "app/ResizeBarControls.h"
#include "app/ResizeSettings.h"

namespace kv {
namespace {

TEST(ResizeSettings, StartsFromTheDefaults) {
    const ResizeSettings s;
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 480);
    EXPECT_FLOAT_EQ(s.dpi, 300);
    EXPECT_DOUBLE_EQ(s.percentWidth, 100);
    EXPECT_EQ(s.correction, SizeCorrection::KeepAspect);
    EXPECT_EQ(s.algorithm, 4);
    EXPECT_EQ(s.printUnit, PrintUnit::Inches);
    EXPECT_EQ(s.resolutionUnit, ResolutionUnit::DotsPerInch);
    EXPECT_FALSE(s.inPercents || s.editPrints || s.lockSettings || s.batchMode || s.openingFromBatchList);
    EXPECT_TRUE(s.applyToNew);
    EXPECT_EQ(s.jpegQuality, 75);
}

TEST(ResizeSettings, ValuesFromOutsideAreBroughtIntoRange) {
    ResizeSettings s;
    s.printUnit = static_cast<PrintUnit>(5);
    s.resolutionUnit = static_cast<ResolutionUnit>(-1);
    s.correction = static_cast<SizeCorrection>(3);
    s.algorithm = 10;
    s.width = 0;
    s.height = -7;
    s.dpi = std::numeric_limits<float>::quiet_NaN();
    s.percentWidth = -1;
    s.percentHeight = std::numeric_limits<double>::infinity();
    s.jpegQuality = 101;
    s.Validate();
    EXPECT_EQ(s, ResizeSettings{});

    // Values in range are kept, including a small image's own size and an odd resolution.
    ResizeSettings kept;
    kept.printUnit = PrintUnit::Points;
    kept.resolutionUnit = ResolutionUnit::DotsPerCm;
    kept.correction = SizeCorrection::None;
    kept.algorithm = 9;
    kept.width = 1;
    kept.height = 2;
    kept.dpi = 72.5f;
    kept.percentWidth = 0.5;
    kept.jpegQuality = 0;
    ResizeSettings validated = kept;
    validated.Validate();
    EXPECT_EQ(validated, kept);

    for (float dpi : {0.5f, 100001.0f, -300.0f}) {
        ResizeSettings d;
        d.dpi = dpi;
        d.Validate();
        EXPECT_FLOAT_EQ(d.dpi, 300) << dpi;
    }
}

TEST(ResizeSettings, UnitTablesHoldTheFactors) {
    EXPECT_EQ(ValidPrintUnit(2), PrintUnit::Centimeters);
    EXPECT_EQ(ValidPrintUnit(int64_t{1} << 40), PrintUnit::Inches);
    EXPECT_EQ(ValidResolutionUnit(1), ResolutionUnit::DotsPerMm);
    EXPECT_EQ(ValidSizeCorrection(-1), SizeCorrection::KeepAspect);
    EXPECT_DOUBLE_EQ(Info(PrintUnit::Picas).perInch, 6);
    EXPECT_EQ(Info(PrintUnit::Points).label, "pt");
    EXPECT_DOUBLE_EQ(Info(ResolutionUnit::DotsPerCm).dpiFactor, 2.54);
    EXPECT_EQ(Info(ResolutionUnit::DotsPerMm).selectorText, "Dots per mm");
}

TEST(ResizeBarControls, TooltipIsTheFirstLineCutAtEightyCharacters) {
    EXPECT_EQ(TooltipText("Sets output width\nWidth"), "Sets output width");
    EXPECT_EQ(TooltipText("First\r\nSecond"), "First");
    EXPECT_EQ(TooltipText(std::string(100, 'a')), std::string(80, 'a'));
    // Characters, not bytes: 81 two-byte letters keep 80 of them whole.
    std::string umlauts;
    for (int i = 0; i < 81; ++i) umlauts += "\xC3\xA4";
    EXPECT_EQ(TooltipText(umlauts), umlauts.substr(0, 160));

    using namespace ResizeBarControl;
    EXPECT_EQ(ControlTooltip(IDC_OUT_UNIT, false), "Sets units for above fields");
    EXPECT_EQ(ControlTooltip(IDC_LOCK_SETTINGS, false), "Select this item to apply current settings to next open image");
    EXPECT_EQ(ControlTooltip(IDC_LOCK_SETTINGS, true),
              "Select this item to apply current settings to next selected for batch image");
    EXPECT_EQ(ControlTooltip(IDC_APPLY_TO_ALL, true), "Click to apply current settings to all images for batch processing");
    EXPECT_EQ(ControlTooltip(IDC_SPIN_WIDTH, false), "");
}

}  // namespace
}  // namespace kv
