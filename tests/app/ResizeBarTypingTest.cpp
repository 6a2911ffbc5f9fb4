#include <gtest/gtest.h>

#include <functional>

#include "BarFakes.h"
#include "app/PresetMenus.h"

namespace kv::test {
namespace {

using namespace ResizeBarControl;

// The texts a field holds after each key of keys, typed over its selected text: '\b' takes the
// last character back.
std::vector<std::string> KeyByKey(const std::string& keys) {
    std::vector<std::string> texts;
    std::string text;
    for (const char key : keys) {
        if (key == '\b') text.pop_back();
        else text += key;
        texts.push_back(text);
    }
    return texts;
}

// Everything the bar shows.
std::map<int, std::string> Shown(const ResizeBarPresenter& bar) {
    std::map<int, std::string> shown;
    for (int id = IDC_OUT_WIDTH; id <= IDC_RES_UNIT; ++id) shown[id] = bar.Text(id);
    return shown;
}

// One bar typed into key by key and one that gets each field's final value at once, side by side.
struct Bars {
    explicit Bars(bool withImage) : typed(typedSettings), atOnce(atOnceSettings) {
        if (!withImage) return;
        ApplyOpenRule(typedSettings, *typedDocument.OpenImageFacts());
        typed.SetDocument(&typedDocument);
        ApplyOpenRule(atOnceSettings, *atOnceDocument.OpenImageFacts());
        atOnce.SetDocument(&atOnceDocument);
    }
    // A setting of the record, made in both and shown again (as the window does after a choice).
    void Set(const std::function<void(ResizeSettings&)>& change) {
        change(typedSettings);
        change(atOnceSettings);
        typed.SetDocument(typed.Document());
        atOnce.SetDocument(atOnce.Document());
    }
    void Type(int field, const std::string& keys) {
        const std::vector<std::string> texts = KeyByKey(keys);
        for (const std::string& text : texts) typed.OnTextChanged(field, text);
        atOnce.OnTextChanged(field, texts.back());
    }

    ResizeSettings typedSettings;
    ResizeSettings atOnceSettings;
    FakeDocument typedDocument{640, 480, 300};
    FakeDocument atOnceDocument{640, 480, 300};
    ResizeBarPresenter typed;
    ResizeBarPresenter atOnce;
};

TEST(ResizeBarTyping, AValueTypedKeyByKeyEndsWhereTheSameValueEnteredAtOnceDoes) {
    using S = ResizeSettings;
    const struct {
        const char* name;
        std::function<void(S&)> setup;
        std::vector<std::pair<int, std::string>> keys;  // field, keys
        int32_t width, height;                          // what the record then holds
    } cases[] = {
        {"resolution, pixels follow", [](S&) {}, {{IDC_OUT_RES, "150"}}, 320, 240},
        {"resolution corrected", [](S&) {}, {{IDC_OUT_RES, "1500\b"}}, 320, 240},
        {"resolution under None", [](S& s) { s.correction = SizeCorrection::None; }, {{IDC_OUT_RES, "75"}}, 160, 120},
        {"resolution while editing the print size",
         [](S& s) {
             s.editPrints = true;
             s.correction = SizeCorrection::Crop;
         },
         {{IDC_OUT_RES, "600"}}, 640, 480},
        {"resolution in dots per cm", [](S& s) { s.resolutionUnit = ResolutionUnit::DotsPerCm; },
         {{IDC_OUT_RES, "59.06"}}, 320, 240},
        {"width under Keep aspect", [](S&) {}, {{IDC_OUT_WIDTH, "1000"}}, 1000, 750},
        {"width under Crop", [](S& s) { s.correction = SizeCorrection::Crop; }, {{IDC_OUT_WIDTH, "0500"}}, 500, 480},
        {"height under None", [](S& s) { s.correction = SizeCorrection::None; }, {{IDC_OUT_HEIGHT, "1200"}}, 640, 1200},
        {"width refused", [](S&) {}, {{IDC_OUT_WIDTH, "2"}}, 640, 480},
        {"percent under Keep aspect", [](S& s) { s.inPercents = true; }, {{IDC_OUT_WIDTH, "150"}}, 960, 720},
        {"percents under None",
         [](S& s) {
             s.inPercents = true;
             s.correction = SizeCorrection::None;
         },
         {{IDC_OUT_WIDTH, "12.5"}, {IDC_OUT_HEIGHT, "250"}}, 80, 1200},
        {"print size in inches", [](S& s) { s.editPrints = true; }, {{IDC_OUT_PRNWIDTH, "4"}}, 1200, 900},
        {"print size in picas under Crop",
         [](S& s) {
             s.editPrints = true;
             s.correction = SizeCorrection::Crop;
             s.printUnit = PrintUnit::Picas;
         },
         {{IDC_OUT_PRNWIDTH, "24"}, {IDC_OUT_PRNHEIGHT, "36"}}, 1200, 1800},
        {"print size in points under None",
         [](S& s) {
             s.editPrints = true;
             s.correction = SizeCorrection::None;
             s.printUnit = PrintUnit::Points;
         },
         {{IDC_OUT_PRNHEIGHT, "144"}}, 640, 600},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bars bars(true);
        bars.Set(c.setup);
        for (const auto& [field, keys] : c.keys) bars.Type(field, keys);
        EXPECT_EQ(bars.typedSettings, bars.atOnceSettings);
        EXPECT_EQ(Shown(bars.typed), Shown(bars.atOnce));
        EXPECT_EQ(bars.typedSettings.width, c.width);
        EXPECT_EQ(bars.typedSettings.height, c.height);
        // Leaving the fields shows the same again.
        for (const auto& [field, keys] : c.keys) {
            bars.typed.OnFieldLeft(field);
            bars.atOnce.OnFieldLeft(field);
        }
        EXPECT_EQ(Shown(bars.typed), Shown(bars.atOnce));
    }
}

TEST(ResizeBarTyping, APercentTypedForABatchWithoutAPhotoIsTakenWhole) {
    Bars bars(false);
    bars.Set([](ResizeSettings& s) {
        s.batchMode = true;
        s.inPercents = true;
    });
    bars.Type(IDC_OUT_WIDTH, "2500\b");
    EXPECT_EQ(bars.typedSettings, bars.atOnceSettings);
    EXPECT_EQ(Shown(bars.typed), Shown(bars.atOnce));
    EXPECT_DOUBLE_EQ(bars.typedSettings.percentHeight, 250);
}

TEST_F(BarTest, TheSideNotTypedIntoKeepsItsPixelsThoughItsFieldShowsThemRounded) {
    FakeDocument document(640, 480, 300);
    Open(document);
    bar.OnSelect(IDC_CORRECTION, static_cast<int>(SizeCorrection::None));
    // 359 pixels show as 74.79 %, which is 358.99 pixels.
    bar.OnTextChanged(IDC_OUT_HEIGHT, "359");
    bar.OnFieldLeft(IDC_OUT_HEIGHT);
    bar.OnSelect(IDC_OUT_UNIT, 1);
    EXPECT_EQ(Text(IDC_OUT_HEIGHT), "74.79");
    bar.OnTextChanged(IDC_OUT_WIDTH, "50");
    EXPECT_EQ(std::pair(settings.width, settings.height), std::pair(320, 359));

    // 10 cm at 300 dpi are 1181 pixels, shown again as 9.9991 cm once the field is left.
    bar.OnSelect(IDC_UNITS_SIZE, static_cast<int>(PrintUnit::Centimeters));
    bar.OnEditPrints(true);
    bar.OnTextChanged(IDC_OUT_PRNWIDTH, "10");
    bar.OnFieldLeft(IDC_OUT_PRNWIDTH);
    EXPECT_EQ(Text(IDC_OUT_PRNWIDTH), "9.9991");
    bar.OnTextChanged(IDC_OUT_PRNHEIGHT, "5");
    EXPECT_EQ(std::pair(settings.width, settings.height), std::pair(1181, 590));
}

TEST_F(BarTest, StepsMenusAndOtherFieldsActOnWhatWasTypedBeforeThem) {
    FakeDocument document(640, 480, 300);
    Open(document);
    for (const std::string& text : KeyByKey("150")) bar.OnTextChanged(IDC_OUT_RES, text);
    EXPECT_EQ(std::pair(settings.width, settings.height), std::pair(320, 240));
    // A step starts from 150 dots per inch, not from where the typing began.
    bar.OnSpin(IDC_SPIN_RES, 1);
    bar.OnSpinReleased();
    EXPECT_FLOAT_EQ(settings.dpi, 151.0f);
    EXPECT_EQ(std::pair(settings.width, settings.height), std::pair(322, 242));

    // Typed after a menu's choice, a value starts from what the menu set: 72 dots per inch made
    // 154x115 of 640x480, and 300 typed then makes that 642x479.
    const auto& labels = kResolutionPresets;
    bar.OnMenuItem(PresetMenu::Resolutions, std::find(labels.begin(), labels.end(), "300 DPI") - labels.begin());
    bar.OnMenuItem(PresetMenu::Resolutions, std::find(labels.begin(), labels.end(), "72 DPI") - labels.begin());
    EXPECT_EQ(std::pair(settings.width, settings.height), std::pair(154, 115));
    for (const std::string& text : KeyByKey("300")) bar.OnTextChanged(IDC_OUT_RES, text);
    EXPECT_EQ(std::pair(settings.width, settings.height), std::pair(642, 479));

    // A value confirmed with Enter stays when the next one typed over it is refused.
    for (const std::string& text : KeyByKey("500")) bar.OnTextChanged(IDC_OUT_WIDTH, text);
    bar.OnFieldEntered();
    EXPECT_FALSE(bar.OnTextChanged(IDC_OUT_WIDTH, "2"));
    EXPECT_EQ(std::pair(settings.width, settings.height), std::pair(500, 375));

    // A record changed by someone else between two keys (an item of the batch list chosen) is
    // where the next key starts from: the other change stays.
    for (const std::string& text : KeyByKey("40")) bar.OnTextChanged(IDC_OUT_WIDTH, text);
    EXPECT_EQ(std::pair(settings.width, settings.height), std::pair(40, 30));
    settings.dpi = 150;
    bar.OnTextChanged(IDC_OUT_WIDTH, "400");
    EXPECT_EQ(std::pair(settings.width, settings.height), std::pair(400, 300));
    EXPECT_FLOAT_EQ(settings.dpi, 150.0f);
}

}  // namespace
}  // namespace kv::test
