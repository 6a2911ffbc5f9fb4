#include "platform/ProfileStore.h"

#include <gtest/gtest.h>

#include "common/TestFiles.h"
#include "platform/PrivateProfile.h"

namespace kv {
namespace {

std::string ReadText(const std::filesystem::path& path) {
    const auto bytes = test::ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
    test::WriteBytes(path, {text.begin(), text.end()});
}

TEST(ProfileStoreTest, ValuesSurviveAFlushAndOneGroupPerSection) {
    test::TempDir dir;
    const auto file = dir / "KARVO Imaging" / "KARVO Scale Crafter.conf";
    {
        ProfileStore store(file);
        store.WriteInt("MAIN", "INTERPOLMODE", 7);
        store.WriteDecimal("MAIN", "DPI", 300);
        store.WriteText("BROWSER", "DEFAULT", "/home/u/Pictures, old;1 %x");
        store.WriteInt("BATCH", "JPEGQUALITY", -3);
        ASSERT_TRUE(store.Flush());  // creates the missing folder
    }
    const std::string text = ReadText(file);
    EXPECT_NE(text.find("[MAIN]"), std::string::npos);
    EXPECT_NE(text.find("DPI=300.000000"), std::string::npos);
    EXPECT_NE(text.find("[BATCH]"), std::string::npos);

    const ProfileStore store(file);
    EXPECT_EQ(store.ReadInt("MAIN", "INTERPOLMODE", 4), 7);
    EXPECT_EQ(store.ReadDecimal("MAIN", "DPI", 1), 300.0);
    EXPECT_EQ(store.ReadText("BROWSER", "DEFAULT", ""), "/home/u/Pictures, old;1 %x");
    EXPECT_EQ(store.ReadInt("BATCH", "JPEGQUALITY", 75), -3);
    EXPECT_EQ(store.ReadInt("BATCH", "JPEGQUALITY_", 75), 75);
    EXPECT_EQ(store.ReadInt("MAIN", "JPEGQUALITY", 75), 75);  // the same name in another section
    EXPECT_FALSE(store.Contains("MAIN", "WIDTH"));
}

TEST(ProfileStoreTest, HandEditedValuesAndTheirFallbacks) {
    test::TempDir dir;
    WriteText(dir / "a.conf",
              "[MAIN]\nDPI=72.5\nPERCENTW=1e2\nPERCENTH= 12,5\nWIDTH=abc\nHEIGHT=99999999999\n"
              "RESUNITS=-1\nA=inf\nB=\nC=+3.25xyz\n");
    const ProfileStore store(dir / "a.conf");
    EXPECT_EQ(store.ReadDecimal("MAIN", "DPI", 300), 72.5);
    EXPECT_EQ(store.ReadDecimal("MAIN", "PERCENTW", 0), 100.0);
    EXPECT_EQ(store.ReadDecimal("MAIN", "PERCENTH", 0), 12.0);  // a comma ends the number
    EXPECT_EQ(store.ReadInt("MAIN", "WIDTH", 640), 640);
    EXPECT_EQ(store.ReadInt("MAIN", "HEIGHT", 480), 480);
    EXPECT_EQ(store.ReadInt("MAIN", "RESUNITS", 0), -1);
    EXPECT_EQ(store.ReadDecimal("MAIN", "A", 300), 300.0);
    EXPECT_EQ(store.ReadDecimal("MAIN", "B", 300), 300.0);
    EXPECT_EQ(store.ReadDecimal("MAIN", "C", 300), 3.25);
    EXPECT_EQ(store.ReadDecimal("MAIN", "missing", 5), 5.0);
}

TEST(ProfileStoreTest, FlushReportsAFileThatCannotBeWritten) {
    test::TempDir dir;
    WriteText(dir / "file", "x");
    ProfileStore store(dir / "file" / "a.conf");
    store.WriteInt("MAIN", "WIDTH", 1);
    EXPECT_FALSE(store.Flush());
}

TEST(ProfileStoreTest, FixedTextAsPercentFWritesIt) {
    EXPECT_EQ(FormatFixed6(300), "300.000000");
    EXPECT_EQ(FormatFixed6(72.5f), "72.500000");
    EXPECT_EQ(FormatFixed6(-0.0000004), "-0.000000");
    EXPECT_EQ(FormatFixed6(1e20), "100000000000000000000.000000");
}

TEST(PrivateProfileTest, ReadsLikeAHandEditedIniFile) {
    test::TempDir dir;
    WriteText(dir / "r.ini",
              "\xEF\xBB\xBF; colours\r\n[Other]\r\nTEXT COLOR=1, 2, 3\r\n"
              "[ browser ]\r\n  text color  =  300, 10, 20  \r\n;BORDER COLOR=9, 9, 9\r\n"
              "QUOTED=\"5, 6, 7\"\r\nEMPTY=\r\nnoequals\r\n");
    const auto file = dir / "r.ini";
    EXPECT_EQ(ReadPrivateProfileString(file, "BROWSER", "TEXT COLOR"), "300, 10, 20");
    EXPECT_EQ(ReadPrivateProfileString(file, "Other", "text COLOR"), "1, 2, 3");
    EXPECT_EQ(ReadPrivateProfileString(file, "BROWSER", "QUOTED"), "5, 6, 7");
    EXPECT_EQ(ReadPrivateProfileString(file, "BROWSER", "EMPTY"), "");
    EXPECT_EQ(ReadPrivateProfileString(file, "BROWSER", "BORDER COLOR"), std::nullopt);
    EXPECT_EQ(ReadPrivateProfileString(file, "NONE", "TEXT COLOR"), std::nullopt);
    EXPECT_EQ(ReadPrivateProfileString(dir / "missing.ini", "BROWSER", "TEXT COLOR"), std::nullopt);
}

}  // namespace
}  // namespace kv
