#include "app/SettingsFile.h"

#include <gtest/gtest.h>

#include "common/RecordingTargets.h"
#include "common/TestFiles.h"

namespace kv {
namespace {

using Bytes = std::vector<uint8_t>;

// A settings file built by hand from its layout: 1000 x 750 at 72.5 dpi, dots per cm, points,
// Crop, algorithm 7, percent mode on, print-edit off, lock on.
Bytes HandBuiltFile() {
    Bytes bytes;
    for (const char c : std::string("KARVO ScaleCrafter 2.0 Settings")) bytes.insert(bytes.end(), {uint8_t(c), 0});
    const Bytes fields{
        0xE8, 0x03, 0x00, 0x00,  // width 1000
        0xEE, 0x02, 0x00, 0x00,  // height 750
        0x00, 0x00, 0x91, 0x42,  // 72.5f
        0x02, 0x00, 0x00, 0x00,  // dots per cm
        0x04, 0x00, 0x00, 0x00,  // points
        0x01, 0x00, 0x00, 0x00,  // Crop
        0x07, 0x00, 0x00, 0x00,  // algorithm
        0x01, 0x00, 0x00, 0x00,  // in percents
        0x00, 0x00, 0x00, 0x00,  // edit prints
        0x01, 0x00, 0x00, 0x00,  // lock settings
    };
    bytes.insert(bytes.end(), fields.begin(), fields.end());
    return bytes;
}

ResizeSettings HandBuiltSettings() {
    ResizeSettings s;
    s.width = 1000;
    s.height = 750;
    s.dpi = 72.5f;
    s.resolutionUnit = ResolutionUnit::DotsPerCm;
    s.printUnit = PrintUnit::Points;
    s.correction = SizeCorrection::Crop;
    s.algorithm = 7;
    s.inPercents = true;
    s.editPrints = false;
    s.lockSettings = true;
    return s;
}

TEST(SettingsFileTest, WrittenByteForByteAsTheLayoutSays) {
    ASSERT_EQ(HandBuiltFile().size(), kSettingsFileSize);
    ResizeSettings s = HandBuiltSettings();
    s.percentWidth = 50;  // neither the percentages nor the qualities are part of the file
    s.jpegQuality = 10;
    s.applyToNew = false;
    EXPECT_EQ(EncodeSettingsFile(s), HandBuiltFile());

    test::TempDir dir;
    test::RecordingUserPrompt prompt;
    ASSERT_TRUE(SaveSettingsFile(dir / "a.qzr", s, prompt));
    EXPECT_EQ(test::ReadBytes(dir / "a.qzr"), HandBuiltFile());
}

TEST(SettingsFileTest, LoadingSetsTheTenFieldsAndKeepsThePercentages) {
    test::TempDir dir;
    test::WriteBytes(dir / "a.qzr", HandBuiltFile());
    ResizeSettings s;
    s.percentWidth = 33;
    s.jpegQuality = 90;
    test::RecordingUserPrompt prompt;
    ASSERT_TRUE(LoadSettingsFile(dir / "a.qzr", s, prompt));
    ResizeSettings expected = HandBuiltSettings();
    expected.percentWidth = 33;
    expected.jpegQuality = 90;
    EXPECT_EQ(s, expected);
    EXPECT_TRUE(prompt.messages.empty());
}

TEST(SettingsFileTest, AWrongHeaderChangesNothing) {
    test::TempDir dir;
    Bytes wrong = HandBuiltFile();
    wrong[2] = 'B';
    Bytes batchList;
    for (const char c : std::string("KARVO ScaleCrafter 2.0 Batch")) batchList.insert(batchList.end(), {uint8_t(c), 0});
    batchList.resize(102);
    const Bytes whole = HandBuiltFile();
    const Bytes cut(whole.begin(), whole.begin() + 61);
    for (const Bytes& bytes : {wrong, batchList, cut, Bytes{}}) {
        test::WriteBytes(dir / "x.qzr", bytes);
        ResizeSettings s;
        test::RecordingUserPrompt prompt;
        EXPECT_FALSE(LoadSettingsFile(dir / "x.qzr", s, prompt));
        EXPECT_EQ(s, ResizeSettings{});
        EXPECT_EQ(prompt.messages, std::vector<std::string>{"Wrong file!"});
    }
}

TEST(SettingsFileTest, AShortFileKeepsTheFieldsItDoesNotHold) {
    struct Case {
        size_t size;
        int32_t width, height;
        float dpi;
        bool lock;
    };
    const ResizeSettings d;
    const std::vector<Case> cases{
        {62, d.width, d.height, d.dpi, false},      // the header alone
        {65, d.width, d.height, d.dpi, false},      // a width cut in the middle
        {66, 1000, d.height, d.dpi, false},
        {74, 1000, 750, 72.5f, false},
        {101, 1000, 750, 72.5f, false},             // all but the lock flag
        {102, 1000, 750, 72.5f, true},
    };
    for (const auto& c : cases) {
        const Bytes whole = HandBuiltFile();
        ResizeSettings s;
        bool complete = false;
        ASSERT_TRUE(DecodeSettingsFile(std::span(whole).first(c.size), s, &complete)) << c.size;
        EXPECT_EQ(complete, c.size == 102) << c.size;
        EXPECT_EQ(s.width, c.width) << c.size;
        EXPECT_EQ(s.height, c.height) << c.size;
        EXPECT_EQ(s.dpi, c.dpi) << c.size;
        EXPECT_EQ(s.lockSettings, c.lock) << c.size;
    }
    // Bytes past the tenth field are ignored.
    Bytes longer = HandBuiltFile();
    longer.resize(4096, 0xAB);
    ResizeSettings s;
    ASSERT_TRUE(DecodeSettingsFile(longer, s));
    EXPECT_EQ(s, HandBuiltSettings());
}

TEST(SettingsFileTest, ValuesOutOfRangeTakeTheirDefaults) {
    Bytes bytes = HandBuiltFile();
    const auto put = [&](size_t offset, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put(62, 0);           // width
    put(70, 0x7FC00000);  // resolution: not a number
    put(74, 3);           // resolution unit
    put(78, 0xFFFFFFFF);  // print unit -1
    put(82, 3);           // correction
    put(86, 42);          // algorithm
    ResizeSettings s;
    ASSERT_TRUE(DecodeSettingsFile(bytes, s));
    const ResizeSettings d;
    EXPECT_EQ(s.width, d.width);
    EXPECT_EQ(s.height, 750);
    EXPECT_EQ(s.dpi, d.dpi);
    EXPECT_EQ(s.resolutionUnit, d.resolutionUnit);
    EXPECT_EQ(s.printUnit, d.printUnit);
    EXPECT_EQ(s.correction, d.correction);
    EXPECT_EQ(s.algorithm, d.algorithm);
}

TEST(SettingsFileTest, FilesThatCannotBeOpenedOrWrittenAreReported) {
    test::TempDir dir;
    ResizeSettings s;
    test::RecordingUserPrompt prompt;
    EXPECT_FALSE(LoadSettingsFile(dir / "missing.qzr", s, prompt));
    EXPECT_FALSE(LoadSettingsFile(dir.path(), s, prompt));
    EXPECT_FALSE(SaveSettingsFile(dir / "no" / "a.qzr", s, prompt));
    EXPECT_EQ(prompt.messages, (std::vector<std::string>{"Can't open file\n" + (dir / "missing.qzr").string() + "!",
                                                         "Can't open file\n" + dir.path().string() + "!",
                                                         "Can't write file\n" + (dir / "no" / "a.qzr").string() + "!"}));
    EXPECT_EQ(s, ResizeSettings{});
}

}  // namespace
}  // namespace kv
