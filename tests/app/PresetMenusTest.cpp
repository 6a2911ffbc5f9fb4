#include <gtest/gtest.h>

#include <string>

#include "app/PresetMenus.h"

namespace kv {
namespace {

TEST(PresetMenus, PaperLabelsAreReadFromTheParentheses) {
    const struct {
        const char* label;
        double width, height;
        PrintUnit unit;
    } cases[] = {
        {"6 3/4 Envelope (3 5/8x6 1/2 inch)", 3.625, 6.5, PrintUnit::Inches},  // the name's fraction is not the size
        {"A4 (210x297 mm)", 210, 297, PrintUnit::Millimeters},
        {"A6 Card (105x148.5 mm)", 105, 148.5, PrintUnit::Millimeters},
        {"Statement (5 1/2x8 1/2 inch)", 5.5, 8.5, PrintUnit::Inches},
        {"#14 Envelope (5x11 1/2 inch)", 5, 11.5, PrintUnit::Inches},
        {"Ledger (17x11 inch)", 17, 11, PrintUnit::Inches},
        {"Photo print (13x18 cm)", 13, 18, PrintUnit::Centimeters},
    };
    for (const auto& c : cases) {
        const std::optional<PaperSize> paper = ParsePaperLabel(c.label);
        ASSERT_TRUE(paper) << c.label;
        EXPECT_DOUBLE_EQ(paper->width, c.width) << c.label;
        EXPECT_DOUBLE_EQ(paper->height, c.height) << c.label;
        EXPECT_EQ(paper->unit, c.unit) << c.label;
    }
    EXPECT_DOUBLE_EQ(ParsePaperLabel("A4 (210x297 mm)")->WidthInches(), 210 / 25.4);
    EXPECT_DOUBLE_EQ(ParsePaperLabel("Photo print (10x15 cm)")->HeightInches(), 15 / 2.54);

    for (const char* bad : {"Photo", "Photo (5x4", "Photo (5 inch)", "Photo (ax4 inch)", "Photo (5x1/0 inch)",
                            "A4 (0x297 mm)", "Odd (5x4 yards)", "Odd (5x4cm)"})
        EXPECT_FALSE(ParsePaperLabel(bad)) << bad;
}

TEST(PresetMenus, PaperMenuHasTheStandardPapersAndThePhotoLabsPrints) {
    std::vector<size_t> separators;
    int millimetreGroup = 0;
    for (size_t i = 0; i < kPaperPresets.size(); ++i) {
        if (kPaperPresets[i].empty()) {
            separators.push_back(i);
            continue;
        }
        const std::optional<PaperSize> paper = ParsePaperLabel(kPaperPresets[i]);
        ASSERT_TRUE(paper) << kPaperPresets[i];
        // Every paper of the first group is in millimetres, and no later one.
        EXPECT_EQ(paper->unit == PrintUnit::Millimeters, separators.empty()) << kPaperPresets[i];
        millimetreGroup += paper->unit == PrintUnit::Millimeters ? 1 : 0;
    }
    EXPECT_EQ(separators, (std::vector<size_t>{17, 39, 53}));
    EXPECT_EQ(millimetreGroup, 17);
    EXPECT_EQ(kPaperPresets.front(), "A0 (841x1189 mm)");
    EXPECT_EQ(kPaperPresets[52], "Photo (16x12 inch)");
    const std::vector<std::string_view> prints(kPaperPresets.begin() + 54, kPaperPresets.end());
    EXPECT_EQ(prints, (std::vector<std::string_view>{"Photo print (10x15 cm)", "Photo print (13x18 cm)",
                                                     "Photo print (4x6 inch)", "Photo print (5x7 inch)",
                                                     "Photo print (8x10 inch)"}));
}

TEST(PresetMenus, SizeMenuLabelsCarryTheirSizes) {
    std::vector<size_t> separators;
    for (size_t i = 0; i < kSizePresets.size(); ++i) {
        const SizePreset& preset = kSizePresets[i];
        if (preset.label.empty()) {
            separators.push_back(i);
            continue;
        }
        if (preset.label == kOriginalSizeLabel) continue;
        const std::string expected = "(" + std::to_string(preset.width) + "x" + std::to_string(preset.height) + ")";
        EXPECT_TRUE(preset.label.ends_with(expected)) << preset.label;
    }
    EXPECT_EQ(separators, (std::vector<size_t>{1, 12}));
    EXPECT_EQ(kSizePresets[0].label, "Original size");
    EXPECT_EQ(kSizePresets[11].label, "HD (1920x1080)");
    // Today's screens, up to 4K and 5K.
    EXPECT_EQ(kSizePresets[kSizePresets.size() - 2].label, "Desktop (3840x2160)");
    EXPECT_EQ(kSizePresets.back().label, "Desktop (5120x2880)");
}

TEST(PresetMenus, ResolutionEntriesSetTheNumberBeforeTheFirstBlank) {
    const std::vector<std::string_view> labels(kResolutionPresets.begin(), kResolutionPresets.end());
    EXPECT_EQ(labels, (std::vector<std::string_view>{"Default Printer", "Original", "", "72 DPI", "96 DPI", "120 DPI",
                                                     "150 DPI", "240 DPI", "300 DPI", "360 DPI", "600 DPI", "1200 DPI",
                                                     "2400 DPI", "4800 DPI"}));
    EXPECT_EQ(ParseResolutionLabel("72 DPI"), 72.0);
    EXPECT_EQ(ParseResolutionLabel("4800 DPI"), 4800.0);
    EXPECT_FALSE(ParseResolutionLabel("Original"));
    EXPECT_FALSE(ParseResolutionLabel("0 DPI"));
}

}  // namespace
}  // namespace kv
