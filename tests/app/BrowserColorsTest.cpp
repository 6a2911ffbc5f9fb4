#include "app/BrowserColors.h"

#include <gtest/gtest.h>

#include "common/TestFiles.h"

namespace kv {
namespace {

void WriteText(const std::filesystem::path& path, const std::string& text) {
    test::WriteBytes(path, {text.begin(), text.end()});
}

TEST(BrowserColorsTest, DefaultsWithoutAFileAndFromTheShippedFile) {
    const BrowserColors defaults;
    EXPECT_EQ(defaults.background, 0xF4DBCBu);  // red in the low byte
    EXPECT_EQ(ReadBrowserColors("/nonexistent/Res/resourses.ini"), defaults);
    // The file the build copies beside the programs holds the same colours.
    EXPECT_EQ(ReadBrowserColors(std::filesystem::path(KV_SOURCE_DIR) / "Res" / "resourses.ini"), defaults);
}

TEST(BrowserColorsTest, ValuesFromTheResourceFile) {
    test::TempDir dir;
    WriteText(dir / "resourses.ini",
              "[BROWSER]\nTEXT COLOR=300, 10, 20\nBORDER COLOR=1,2\nDETAILS TAB COLOR=-1, 256, 511\n"
              "SELECTED BORDER COLOR=" + std::string(300, ' ') + "1, 2, 3\n");
    const BrowserColors colors = ReadBrowserColors(dir / "resourses.ini");
    const BrowserColors defaults;
    EXPECT_EQ(colors.text, Rgb(44, 10, 20));
    EXPECT_EQ(colors.border, defaults.border);
    EXPECT_EQ(colors.detailsTab, Rgb(255, 0, 255));
    EXPECT_EQ(colors.selectedBorder, Rgb(1, 2, 3));  // blanks around a value are not part of it
    EXPECT_EQ(colors.background, defaults.background);
}

TEST(BrowserColorsTest, ParsingAsPercentDCommaPercentD) {
    struct Case {
        const char* text;
        ColorRef expected;
    };
    constexpr ColorRef fallback = 0x123456;
    const std::vector<Case> cases{
        {"1, 2, 3", Rgb(1, 2, 3)},
        {"1,2,3", Rgb(1, 2, 3)},
        {" +1 ,\t2 , 3 and more", Rgb(1, 2, 3)},
        {"1, 2", fallback},
        {"1; 2; 3", fallback},
        {"red, green, blue", fallback},
        {"99999999999, 0, 0", fallback},
        {"", fallback},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseColor(c.text, fallback), c.expected) << c.text;
    // A value is read as 259 characters at most: a number past that is not seen.
    EXPECT_EQ(ParseColor("1, 2," + std::string(300, ' ') + "3", fallback), Rgb(1, 2, 3));
    test::TempDir dir;
    WriteText(dir / "r.ini", "[BROWSER]\nTEXT COLOR=1, 2," + std::string(300, ' ') + "3\n");
    EXPECT_EQ(ReadBrowserColors(dir / "r.ini").text, BrowserColors{}.text);
}

}  // namespace
}  // namespace kv
