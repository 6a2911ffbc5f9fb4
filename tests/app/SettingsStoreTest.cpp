#include "app/SettingsStore.h"

#include <gtest/gtest.h>

#include "common/TestFiles.h"

namespace kv {
namespace {

void WriteText(const std::filesystem::path& path, const std::string& text) {
    test::WriteBytes(path, {text.begin(), text.end()});
}

std::string ReadText(const std::filesystem::path& path) {
    const auto bytes = test::ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

TEST(SettingsStoreTest, FirstStartWithNoSettingsFileGivesTheDefaults) {
    test::TempDir dir;
    const StoredSettings s = SettingsStore(dir / "none.conf").LoadAll();
    EXPECT_EQ(s.resize, ResizeSettings{});
    EXPECT_EQ(s.resize.width, 640);
    EXPECT_EQ(s.resize.height, 480);
    EXPECT_EQ(s.resize.dpi, 300.0f);
    EXPECT_EQ(s.resize.correction, SizeCorrection::KeepAspect);
    EXPECT_EQ(s.resize.algorithm, 4);
    EXPECT_EQ(s.resize.jpegQuality, 75);
    EXPECT_TRUE(s.resize.applyToNew);
    EXPECT_EQ(s.batch, BatchSettings{});
    EXPECT_EQ(s.batch.policy, CollisionPolicy::Overwrite);
    EXPECT_EQ(s.batch.jpegQuality, 75);
    EXPECT_EQ(s.iconsZoom, 100);
    EXPECT_EQ(s.browseDefault, "");
    // No update address and no check at start-up: the program contacts no server unless told where.
    EXPECT_EQ(s.internet.homePage, InternetSettings::kDefaultHomePage);
    EXPECT_TRUE(s.internet.updateAddress.empty());
    EXPECT_FALSE(s.internet.checkAtStart);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.conf"));
}

TEST(SettingsStoreTest, SavedSettingsComeBack) {
    test::TempDir dir;
    const auto file = dir / "KARVO Imaging" / "KARVO Scale Crafter.conf";
    StoredSettings saved;
    saved.resize.algorithm = 9;
    saved.resize.resolutionUnit = ResolutionUnit::DotsPerCm;
    saved.resize.printUnit = PrintUnit::Points;
    saved.resize.correction = SizeCorrection::None;
    saved.resize.inPercents = saved.resize.editPrints = saved.resize.lockSettings = true;
    saved.resize.applyToNew = false;
    saved.resize.jpegQuality = 93;
    saved.resize.width = 1234;
    saved.resize.height = 99;
    saved.resize.dpi = 72.5f;
    saved.resize.percentWidth = 12.25;
    saved.resize.percentHeight = 400;
    saved.batch = {CollisionPolicy::UniqueName, OutputFormat::Png, "/home/u/Resized Images/", true, 42, true};
    saved.iconsZoom = 66;
    saved.browseDefault = "/home/u/Bilder, alt";
    saved.internet = {"https://home.example/", "https://updates.example/latest.txt", true};
    SettingsStore store(file);
    ASSERT_TRUE(store.Save(saved));

    const std::string text = ReadText(file);
    for (const char* line : {"INTERPOLMODE=9", "DPI=72.500000", "PERCENTW=12.250000", "PERCENTH=400.000000",
                             "APPLYTOALL=0", "OVERWRITEMETHOD=2", "ICONSZOOM=66", "CHECKATSTART=1"})
        EXPECT_NE(text.find(line), std::string::npos) << line;

    EXPECT_EQ(SettingsStore(file).LoadAll().resize, saved.resize);
    const StoredSettings loaded = SettingsStore(file).LoadAll();
    EXPECT_EQ(loaded.batch, saved.batch);
    EXPECT_EQ(loaded.iconsZoom, 66);
    EXPECT_EQ(loaded.browseDefault, saved.browseDefault);
    EXPECT_EQ(loaded.internet.homePage, saved.internet.homePage);
    EXPECT_EQ(loaded.internet.updateAddress, saved.internet.updateAddress);
    EXPECT_TRUE(loaded.internet.checkAtStart);
}

TEST(SettingsStoreTest, ValuesAreValidatedBeforeUse) {
    test::TempDir dir;
    WriteText(dir / "s.conf",
              "[MAIN]\nINTERPOLMODE=42\nRESUNITS=3\nSIZEUNITS=-1\nCORRECTPROP=9\nWIDTH=0\nHEIGHT=-5\n"
              "DPI=72.5\nPERCENTW=-3\nPERCENTH=abc\nJPEGQUALITY=101\nINPERCENTS=7\n"
              "[INTERFACE]\nICONSZOOM=0\n"
              "[BATCH]\nOVERWRITEMETHOD=3\nOUTFORMAT=5\nJPEGQUALITY=0\nNEWNAME=2\n"
              "[INTERNET]\nHOMEPAGE=javascript:alert(1)\nUPDATEADDRESS=file:///etc/passwd\n");
    const StoredSettings s = SettingsStore(dir / "s.conf").LoadAll();
    const ResizeSettings d;
    EXPECT_EQ(s.resize.algorithm, d.algorithm);
    EXPECT_EQ(s.resize.resolutionUnit, d.resolutionUnit);
    EXPECT_EQ(s.resize.printUnit, d.printUnit);
    EXPECT_EQ(s.resize.correction, d.correction);
    EXPECT_EQ(s.resize.width, d.width);
    EXPECT_EQ(s.resize.height, d.height);
    EXPECT_EQ(s.resize.dpi, 72.5f);
    EXPECT_EQ(s.resize.percentWidth, 100.0);
    EXPECT_EQ(s.resize.percentHeight, 100.0);
    EXPECT_EQ(s.resize.jpegQuality, 75);
    EXPECT_TRUE(s.resize.inPercents);
    EXPECT_EQ(s.iconsZoom, 100);
    EXPECT_EQ(s.batch.policy, CollisionPolicy::Overwrite);
    EXPECT_EQ(s.batch.format, OutputFormat::Keep);
    EXPECT_EQ(s.batch.jpegQuality, 75);
    EXPECT_TRUE(s.batch.newName);
    // Only web addresses are opened or asked.
    EXPECT_EQ(s.internet.homePage, InternetSettings::kDefaultHomePage);
    EXPECT_TRUE(s.internet.updateAddress.empty());
}

TEST(SettingsStoreTest, ResolutionsNoFloatHoldsTakeTheDefault) {
    test::TempDir dir;
    for (const char* dpi : {"1e300", "-1e300", "0", "100001"}) {
        WriteText(dir / "s.conf", std::string("[MAIN]\nDPI=") + dpi + "\n");
        ResizeSettings s;
        s.dpi = 1;
        SettingsStore(dir / "s.conf").LoadMain(s);
        EXPECT_EQ(s.dpi, 300.0f) << dpi;
    }
}

TEST(SettingsStoreTest, NothingIsWrittenAfterARunThatEndedEarly) {
    test::TempDir dir;
    SettingsStore store(dir / "s.conf");
    store.SkipSave();
    const StoredSettings settings;
    EXPECT_TRUE(store.Save(settings));
    EXPECT_FALSE(std::filesystem::exists(dir / "s.conf"));
}

TEST(SettingsStoreTest, SaveReportsAnUnwritableFile) {
    test::TempDir dir;
    WriteText(dir / "file", "");
    SettingsStore store(dir / "file" / "s.conf");
    const StoredSettings settings;
    EXPECT_FALSE(store.Save(settings));
}

}  // namespace
}  // namespace kv
