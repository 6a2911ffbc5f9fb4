#include <gtest/gtest.h>

#include <algorithm>

#include "BarFakes.h"

namespace kv::test {
namespace {

using namespace ResizeBarControl;

size_t PaperPosition(std::string_view label) {
    return static_cast<size_t>(std::find(kPaperPresets.begin(), kPaperPresets.end(), label) - kPaperPresets.begin());
}

size_t ResolutionPosition(std::string_view label) {
    return static_cast<size_t>(std::find(kResolutionPresets.begin(), kResolutionPresets.end(), label) -
                               kResolutionPresets.begin());
}

TEST_F(BarTest, A4OnALandscapeImageTurnsAndFitsThePaper) {
    FakeDocument document(3000, 2000, 300);
    Open(document);
    bar.OnMenuItem(PresetMenu::Papers, PaperPosition("A4 (210x297 mm)"));
    // 297 x 198 mm at 300 dpi.
    EXPECT_EQ(settings.width, 3507);
    EXPECT_EQ(settings.height, 2338);
    EXPECT_EQ(Text(IDC_OUT_WIDTH), "3507");
    EXPECT_EQ(Text(IDC_OUT_PRNWIDTH), "11.6929");
    EXPECT_EQ(Text(IDC_OUT_PRNHEIGHT), "7.79528");
    EXPECT_EQ(document.Restarts(), 1u);
}

TEST_F(BarTest, APhotoPrintInCentimetresTurnsAndFitsAsAPaperDoes) {
    FakeDocument document(3000, 2000, 300);
    Open(document);
    bar.OnSelect(IDC_UNITS_SIZE, static_cast<int>(PrintUnit::Centimeters));
    bar.OnMenuItem(PresetMenu::Papers, PaperPosition("Photo print (10x15 cm)"));
    // 15 x 10 cm, the image's own aspect, at 300 dpi: 5.9055 x 3.937 inches.
    EXPECT_EQ(settings.width, 1771);
    EXPECT_EQ(settings.height, 1181);
    EXPECT_EQ(Text(IDC_OUT_PRNWIDTH), "15");
    EXPECT_EQ(Text(IDC_OUT_PRNHEIGHT), "10");
}

TEST_F(BarTest, PaperTurnsToTheImageOpenOrLastShown) {
    const struct {
        const char* name;
        std::optional<std::pair<int32_t, int32_t>> image;  // nothing: no image shown since start-up
        bool closeAfterwards;
        const char* paper;
        int32_t width, height;
    } cases[] = {
        {"portrait image", std::pair{500, 1000}, false, "Photo (5x3 1/2 inch)", 350, 500},
        {"square image counts as portrait", std::pair{500, 500}, false, "Photo (5x3 1/2 inch)", 350, 500},
        {"landscape image", std::pair{1000, 500}, false, "Photo (5x3 1/2 inch)", 500, 350},
        {"landscape image turns a portrait paper", std::pair{1000, 500}, false, "A4 (210x297 mm)", 1169, 826},
        {"the image last shown", std::pair{500, 1000}, true, "Ledger (17x11 inch)", 1100, 1700},
        {"no image yet: as the label writes it", std::nullopt, false, "Ledger (17x11 inch)", 1700, 1100},
    };
    for (const auto& c : cases) {
        ResizeSettings s;
        s.correction = SizeCorrection::None;
        s.dpi = 100;
        ResizeBarPresenter presenter(s);
        FakeDocument document(c.image ? c.image->first : 0, c.image ? c.image->second : 0, 100);
        if (c.image) presenter.SetDocument(&document);
        if (c.closeAfterwards) presenter.SetDocument(nullptr);
        presenter.OnMenuItem(PresetMenu::Papers, PaperPosition(c.paper));
        EXPECT_EQ(s.width, c.width) << c.name;
        EXPECT_EQ(s.height, c.height) << c.name;
    }
}

TEST_F(BarTest, PaperOnAnExtremeImageIsHeldToThreePixels) {
    FakeDocument document(10000, 10, 1);
    Open(document);
    bar.OnMenuItem(PresetMenu::Papers, PaperPosition("A6 Card (105x148.5 mm)"));
    // 148.5 x 0.1485 mm at 1 dpi would be 5 x 0 pixels.
    EXPECT_EQ(settings.width, 5);
    EXPECT_EQ(settings.height, 3);
}

TEST_F(BarTest, StandardResolutionsRescaleOrChangeThePrintSize) {
    FakeDocument document(3000, 2000, 300);
    Open(document);
    bar.OnMenuItem(PresetMenu::Resolutions, ResolutionPosition("72 DPI"));
    EXPECT_FLOAT_EQ(settings.dpi, 72);
    EXPECT_EQ(Text(IDC_OUT_RES), "72");
    EXPECT_EQ(settings.width, 720);
    EXPECT_EQ(settings.height, 480);
    EXPECT_EQ(Text(IDC_OUT_PRNWIDTH), "10");  // the print size stays

    FakeDocument second(3000, 2000, 300);
    Open(second);
    bar.OnEditPrints(true);
    bar.OnMenuItem(PresetMenu::Resolutions, ResolutionPosition("72 DPI"));
    EXPECT_EQ(settings.width, 3000);
    EXPECT_EQ(Text(IDC_OUT_PRNWIDTH), "41.6667");
    EXPECT_EQ(Text(IDC_OUT_PRNHEIGHT), "27.7778");
}

TEST_F(BarTest, OriginalAndPrinterResolutions) {
    FakeDocument document(3000, 2000, 72);
    Open(document);
    bar.OnTextChanged(IDC_OUT_RES, "300");
    EXPECT_EQ(settings.width, 12500);

    bar.OnMenuItem(PresetMenu::Resolutions, ResolutionPosition("Original"));
    EXPECT_FLOAT_EQ(settings.dpi, 72);
    EXPECT_EQ(settings.width, 3000);

    // Without a printer the entry does nothing at all.
    const size_t notices = document.Notices();
    bar.OnMenuItem(PresetMenu::Resolutions, ResolutionPosition("Default Printer"));
    EXPECT_EQ(document.Notices(), notices);
    FakePrinter unreachable(0);
    bar.SetDefaultPrinter(&unreachable);
    bar.OnMenuItem(PresetMenu::Resolutions, ResolutionPosition("Default Printer"));
    EXPECT_EQ(document.Notices(), notices);

    FakePrinter printer(600);
    bar.SetDefaultPrinter(&printer);
    bar.OnMenuItem(PresetMenu::Resolutions, ResolutionPosition("Default Printer"));
    EXPECT_FLOAT_EQ(settings.dpi, 600);
    EXPECT_EQ(Text(IDC_OUT_RES), "600");
    EXPECT_EQ(settings.width, 25000);
}

TEST_F(BarTest, MenuEntriesAndTheirStates) {
    const auto labels = [](const std::vector<MenuItem>& items) {
        std::vector<std::string> out;
        for (const MenuItem& item : items) out.push_back(item.separator ? "-" : item.label);
        return out;
    };
    EXPECT_EQ(labels(bar.MenuItems(PresetMenu::Sizes)),
              (std::vector<std::string>{"Original size", "-", "Multimedia (320x240)", "VCD PAL (352x288)",
                                        "VCD NTSC (352x240)", "SVCD PAL (480x576)", "SVCD NTSC (480x480)",
                                        "DVD PAL Full-D1 (720x576)", "DVD PAL (704x576)", "DVD NTSC Full-D1 (720x480)",
                                        "DVD NTSC (704x480)", "HD (1920x1080)", "-", "Desktop (640x480)",
                                        "Desktop (800x600)", "Desktop (1024x768)", "Desktop (1152x864)",
                                        "Desktop (1280x1024)", "Desktop (1600x1200)", "Desktop (1920x1080)",
                                        "Desktop (1920x1200)", "Desktop (2560x1440)", "Desktop (3840x2160)",
                                        "Desktop (5120x2880)"}));
    EXPECT_EQ(bar.MenuItems(PresetMenu::Papers).size(), 59u);

    const struct {
        bool image;
        std::optional<int> printerDpi;
        bool printerEnabled, originalEnabled;
    } cases[] = {
        {false, std::nullopt, false, false},
        {true, std::nullopt, false, true},
        {false, 600, true, false},
    };
    for (const auto& c : cases) {
        ResizeSettings s;
        ResizeBarPresenter presenter(s);
        FakeDocument document(100, 100);
        if (c.image) presenter.SetDocument(&document);
        FakePrinter printer(c.printerDpi);
        presenter.SetDefaultPrinter(&printer);
        const std::vector<MenuItem> items = presenter.MenuItems(PresetMenu::Resolutions);
        ASSERT_EQ(items.size(), 14u);
        EXPECT_EQ(items[0], (MenuItem{"Default Printer", false, c.printerEnabled}));
        EXPECT_EQ(items[1], (MenuItem{"Original", false, c.originalEnabled}));
        EXPECT_TRUE(items[2].separator);
        EXPECT_EQ(items[3], (MenuItem{"72 DPI", false, true}));
        EXPECT_EQ(items[13], (MenuItem{"4800 DPI", false, true}));
    }
}

TEST_F(BarTest, PredefinedSizesAreFittedUnderKeepAspect) {
    bar.OnMenuItem(PresetMenu::Sizes, 0);  // "Original size" without an image
    EXPECT_EQ(settings.width, 640);
    bar.OnMenuItem(PresetMenu::Sizes, 11);  // "HD (1920x1080)", nothing to fit to
    EXPECT_EQ(settings.width, 1920);
    EXPECT_EQ(settings.height, 1080);

    FakeDocument document(1000, 500, 300);
    Open(document);
    bar.OnMenuItem(PresetMenu::Sizes, 14);  // "Desktop (800x600)"
    EXPECT_EQ(settings.width, 800);
    EXPECT_EQ(settings.height, 400);
    EXPECT_EQ(Text(IDC_OUT_PRNHEIGHT), "1.3333");
    bar.OnMenuItem(PresetMenu::Sizes, 0);
    EXPECT_EQ(settings.width, 1000);
    EXPECT_EQ(settings.height, 500);
    bar.OnMenuItem(PresetMenu::Sizes, 1);  // a separator
    EXPECT_EQ(document.Restarts(), 2u);

    bar.OnSelect(IDC_CORRECTION, static_cast<int>(SizeCorrection::None));
    bar.ChooseSizePreset({640, 480});
    EXPECT_EQ(settings.height, 480);
    bar.OnSelect(IDC_CORRECTION, static_cast<int>(SizeCorrection::KeepAspect));
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 320);
    EXPECT_EQ(Text(IDC_OUT_HEIGHT), "320");
}

TEST_F(BarTest, OriginalImageTexts) {
    const struct {
        int32_t width, height;
        PixelFormat format;
        float dpi;
        PrintUnit printUnit;
        ResolutionUnit resolutionUnit;
        const char *pixels, *bits, *raw, *print, *resolution, *newRaw;
    } cases[] = {
        {1000, 1000, PixelFormat24bppRGB, 200, PrintUnit::Inches, ResolutionUnit::DotsPerInch, "1000x1000 pixels",
         "24 bits per pixel", "Raw size: 2.9MB", "5.00x5.00 inches", "200 dots per inch", "Raw size: 2.9MB"},
        {100, 100, PixelFormat8bppIndexed, 200, PrintUnit::Millimeters, ResolutionUnit::DotsPerMm, "100x100 pixels",
         "8 bits per pixel", "Raw size: 9.8KB", "12.70x12.70 mm", "7.87 dots per mm", "Raw size: 29.3KB"},
        {1000, 500, PixelFormat32bppARGB, 200, PrintUnit::Centimeters, ResolutionUnit::DotsPerCm, "1000x500 pixels",
         "32 bits per pixel", "Raw size: 1.9MB", "12.70x6.35 cm", "78.74 dots per cm", "Raw size: 1.4MB"},
        {1000, 500, PixelFormat24bppRGB, 200, PrintUnit::Picas, ResolutionUnit::DotsPerInch, "1000x500 pixels",
         "24 bits per pixel", "Raw size: 1.4MB", "30x15 picas", "200 dots per inch", "Raw size: 1.4MB"},
        {1000, 500, PixelFormat24bppRGB, 200, PrintUnit::Points, ResolutionUnit::DotsPerInch, "1000x500 pixels",
         "24 bits per pixel", "Raw size: 1.4MB", "360x180 points", "200 dots per inch", "Raw size: 1.4MB"},
        {100, 100, PixelFormat1bppIndexed, 0, PrintUnit::Inches, ResolutionUnit::DotsPerInch, "100x100 pixels",
         "1 bits per pixel", "Raw size: 1.2KB", "", "", "Raw size: 29.3KB"},
    };
    for (const auto& c : cases) {
        ResizeSettings s;
        s.printUnit = c.printUnit;
        s.resolutionUnit = c.resolutionUnit;
        ResizeBarPresenter presenter(s);
        FakeDocument document(c.width, c.height, c.dpi, c.format);
        ApplyOpenRule(s, *document.OpenImageFacts());
        presenter.SetDocument(&document);
        EXPECT_EQ(presenter.Text(IDC_ORIG_PIXELS), c.pixels);
        EXPECT_EQ(presenter.Text(IDC_ORIG_BITS), c.bits);
        EXPECT_EQ(presenter.Text(IDC_ORIG_RAWSIZE), c.raw);
        EXPECT_EQ(presenter.Text(IDC_ORIG_PRINTSIZE), c.print);
        EXPECT_EQ(presenter.Text(IDC_ORIG_RES), c.resolution);
        EXPECT_EQ(presenter.Text(IDC_NEW_RAWSIZE), c.newRaw);
        EXPECT_EQ(presenter.Text(IDC_PRNWIDTH_UNIT), Info(c.printUnit).label);
        EXPECT_EQ(presenter.Text(IDC_RES_UNIT), Info(c.resolutionUnit).label);

        // Without an image the texts about it are empty.
        presenter.SetDocument(nullptr);
        for (int id : {IDC_ORIG_PIXELS, IDC_ORIG_BITS, IDC_ORIG_RAWSIZE, IDC_ORIG_PRINTSIZE, IDC_ORIG_RES,
                       IDC_NEW_RAWSIZE})
            EXPECT_EQ(presenter.Text(id), "") << id;
    }
}

TEST_F(BarTest, UnitSelectorsTakeEffectOnlyWithAnImage) {
    bar.OnSelect(IDC_UNITS_SIZE, static_cast<int>(PrintUnit::Millimeters));
    EXPECT_EQ(settings.printUnit, PrintUnit::Inches);
    EXPECT_EQ(bar.Selection(IDC_UNITS_SIZE), 0);

    FakeDocument document(3000, 2000, 300);
    Open(document);
    bar.OnSelect(IDC_UNITS_SIZE, static_cast<int>(PrintUnit::Millimeters));
    EXPECT_EQ(settings.printUnit, PrintUnit::Millimeters);
    EXPECT_EQ(Text(IDC_PRNWIDTH_UNIT), "mm");
    EXPECT_EQ(Text(IDC_OUT_PRNWIDTH), "254");
    EXPECT_EQ(Text(IDC_ORIG_PRINTSIZE), "254.00x169.33 mm");
    bar.OnSelect(IDC_UNITS_SIZE, 5);  // no such entry
    EXPECT_EQ(settings.printUnit, PrintUnit::Millimeters);
    EXPECT_EQ(document.Notices(), 0u);

    bar.OnSelect(IDC_ALGORITHM, 9);
    EXPECT_EQ(settings.algorithm, 9);
    EXPECT_EQ(document.Restarts(), 1u);
    EXPECT_EQ(bar.SelectorItems(IDC_ALGORITHM).front(), "Nearest Neighbor");
    EXPECT_EQ(bar.SelectorItems(IDC_ALGORITHM).back(), "KARVO Super-Resolution");
}

TEST_F(BarTest, BatchModeSwitchesTheCheckBoxAndStampsTheBatchList) {
    FakeDocument document(1000, 500, 300);
    Open(document);
    EXPECT_EQ(Text(IDC_LOCK_SETTINGS), "&Lock settings");
    EXPECT_FALSE(bar.IsVisible(IDC_APPLY_TO_ALL));
    bar.OnCheckBox(true);
    EXPECT_TRUE(settings.lockSettings);
    bar.OnTextChanged(IDC_OUT_WIDTH, "400");
    EXPECT_EQ(stamping.selected, 0);

    EnterBatchMode();
    EXPECT_EQ(Text(IDC_LOCK_SETTINGS), "Apply to &new");
    EXPECT_TRUE(bar.IsChecked(IDC_LOCK_SETTINGS));  // apply to new starts on
    EXPECT_TRUE(bar.IsVisible(IDC_APPLY_TO_ALL));
    EXPECT_EQ(bar.Tooltip(IDC_LOCK_SETTINGS),
              "Select this item to apply current settings to next selected for batch image");
    bar.OnCheckBox(false);
    EXPECT_FALSE(settings.applyToNew);
    EXPECT_TRUE(settings.lockSettings);

    bar.OnTextChanged(IDC_OUT_WIDTH, "500");
    EXPECT_EQ(stamping.selected, 1);
    EXPECT_EQ(stamping.all, 0);
    bar.ApplyToAll();
    EXPECT_EQ(stamping.all, 1);
}

}  // namespace
}  // namespace kv::test
