#include <gtest/gtest.h>

#include "app/DesktopSettings.h"
#include "app/RecentFileList.h"
#include "common/TestFiles.h"
#include "platform/ProfileStore.h"

namespace kv {
namespace {

TEST(UpdateCheck, ReadsPlainVersionTextsOnly) {
    struct Case {
        const char* text;
        std::optional<ProgramVersion> version;
    };
    const Case cases[] = {
        {"3.6.1", ProgramVersion{3, 6, 1, 0}},
        {" 3.5.0.7\r\n", ProgramVersion{3, 5, 0, 7}},
        {"4.0", ProgramVersion{4, 0, 0, 0}},
        {"3", std::nullopt},
        {"3.5.", std::nullopt},
        {"3.5.0.0.1", std::nullopt},
        {"<html>3.6</html>", std::nullopt},
        {"70000.1", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<ProgramVersion> got = ParseVersionText(c.text);
        ASSERT_EQ(got.has_value(), c.version.has_value()) << c.text;
        if (got) {
            EXPECT_EQ(VersionText(*got), VersionText(*c.version)) << c.text;
        }
    }
}

TEST(UpdateCheck, TellsWhatTheAnswerMeans) {
    const ProgramVersion current{3, 5, 0, 0};
    EXPECT_EQ(UpdateAnswerText(std::nullopt, current), "No update information is available.");
    EXPECT_EQ(UpdateAnswerText(ProgramVersion{3, 5, 1, 0}, current),
              "A newer version of KARVO Scale Crafter is available: 3.5.1.0.\nYou have 3.5.0.0.");
    EXPECT_EQ(UpdateAnswerText(ProgramVersion{3, 5, 0, 0}, current), "KARVO Scale Crafter 3.5.0.0 is the latest version.");
    EXPECT_EQ(AboutVersionLine(current), "KARVO Scale Crafter v. 3.5.0.0");
}

TEST(RecentFileList, KeepsFourNewestFirstAndSurvivesTheSettingsFile) {
    test::TempDir dir;
    RecentFileList list;
    for (const char* name : {"/p/a.jpg", "/q/a.jpg", "/p/b.jpg", "/p/e&f.jpg", "/p/b.jpg"}) list.Add(name);
    ASSERT_EQ(list.files(), (std::vector<std::filesystem::path>{"/p/b.jpg", "/p/e&f.jpg", "/q/a.jpg", "/p/a.jpg"}));
    EXPECT_EQ(list.MenuText(0), "&1 b.jpg");
    EXPECT_EQ(list.MenuText(1), "&2 e&&f.jpg");
    // Two entries of the same name show their folders.
    EXPECT_EQ(list.MenuText(2), "&3 /q/a.jpg");
    EXPECT_EQ(list.MenuText(3), "&4 /p/a.jpg");
    list.Add("/p/c.jpg");
    ASSERT_EQ(list.files(), (std::vector<std::filesystem::path>{"/p/c.jpg", "/p/b.jpg", "/p/e&f.jpg", "/q/a.jpg"}));
    EXPECT_EQ(list.MenuText(3), "&4 a.jpg");

    {
        ProfileStore profile(dir / "settings.conf");
        list.Save(profile);
        ASSERT_TRUE(profile.Flush());
    }
    ProfileStore profile(dir / "settings.conf");
    RecentFileList loaded;
    loaded.Load(profile);
    EXPECT_EQ(loaded.files(), list.files());

    loaded.Remove("/p/b.jpg");
    EXPECT_EQ(loaded.files().size(), 3u);
    // A relative path in the file names nothing the program opened.
    profile.WriteText("Recent File List", "File1", "relative.jpg");
    loaded.Load(profile);
    EXPECT_EQ(loaded.files().size(), 3u);
}

TEST(SplitterMemory, RightHeightIsAbsentUntilWritten) {
    test::TempDir dir;
    ProfileStore profile(dir / "settings.conf");
    EXPECT_FALSE(ReadRightHeight(profile));
    WriteRightHeight(profile, 480);
    EXPECT_EQ(ReadRightHeight(profile), 480);
}

}  // namespace
}  // namespace kv
