#include "app/PresetPicker.h"

#include <gtest/gtest.h>

#include "common/RecordingTargets.h"
#include "common/TestFiles.h"

namespace kv {
namespace {

class PresetPickerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder);
        for (const char* name : {"beta.qzr", "Alpha.qzr", "gamma.QZR", "list.qzb", "notes.txt", ".qzr", "qzr"})
            test::WriteBytes(folder / name, {1});
        std::filesystem::create_directory(folder / "dir.qzr");
    }

    PresetPicker Picker(PresetPickerMode mode, test::RecordingUserPrompt& prompt) {
        PresetPicker picker("Save settings", folder, "qzr", mode, prompt);
        EXPECT_TRUE(picker.Open());
        return picker;
    }

    test::TempDir dir;
    std::filesystem::path folder = dir / "KARVO Scale Crafter" / "Settings";
};

TEST_F(PresetPickerTest, ListsTheSortedNamesOfItsOwnExtension) {
    test::RecordingUserPrompt prompt;
    EXPECT_EQ(Picker(PresetPickerMode::Load, prompt).names(), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    EXPECT_EQ(ListPresets(folder, "qzb"), std::vector<std::string>{"list"});
    EXPECT_TRUE(ListPresets(dir / "missing", "qzr").empty());
}

TEST_F(PresetPickerTest, OpeningCreatesTheFolder) {
    test::RecordingUserPrompt prompt;
    PresetPicker picker("Save batch", dir / "data" / "KARVO Scale Crafter" / "Batches", "qzb", PresetPickerMode::Save,
                        prompt);
    ASSERT_TRUE(picker.Open());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "data" / "KARVO Scale Crafter" / "Batches"));
    EXPECT_TRUE(picker.names().empty());

    test::WriteBytes(dir / "file", {1});
    PresetPicker blocked("Save batch", dir / "file" / "Batches", "qzb", PresetPickerMode::Save, prompt);
    EXPECT_FALSE(blocked.Open());
}

TEST_F(PresetPickerTest, LoadNeedsAListedName) {
    test::RecordingUserPrompt prompt;
    PresetPicker picker = Picker(PresetPickerMode::Load, prompt);
    EXPECT_FALSE(picker.Accept(""));
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_FALSE(picker.Accept("delta"));
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"No such name exists."});
    EXPECT_FALSE(picker.Accept("list"));  // a batch list is not a settings file
    ASSERT_TRUE(picker.Accept("BETA"));
    EXPECT_EQ(picker.chosenPath(), folder / "beta.qzr");
    ASSERT_TRUE(picker.Accept("gamma"));
    EXPECT_EQ(picker.chosenPath(), folder / "gamma.qzr");  // the listed name with the extension asked for
    EXPECT_TRUE(prompt.questions.empty());
}

TEST_F(PresetPickerTest, SavingOverAListedNameAsksFirst) {
    test::RecordingUserPrompt no(false);
    PresetPicker picker = Picker(PresetPickerMode::Save, no);
    EXPECT_FALSE(picker.Accept("alpha"));
    EXPECT_EQ(no.questions, std::vector<std::string>{"This file already exists.\nOverwrite?"});
    EXPECT_TRUE(picker.chosenPath().empty());
    ASSERT_TRUE(picker.Accept("new one"));
    EXPECT_EQ(picker.chosenPath(), folder / "new one.qzr");
    EXPECT_EQ(no.questions.size(), 1u);

    test::RecordingUserPrompt yes(true);
    PresetPicker overwrite = Picker(PresetPickerMode::Save, yes);
    ASSERT_TRUE(overwrite.Accept("alpha"));
    EXPECT_EQ(overwrite.chosenPath(), folder / "Alpha.qzr");
}

TEST_F(PresetPickerTest, NamesThatCannotBeFileNamesAreExplained) {
    const std::string tooLong(252, 'x');  // with ".qzr" one byte more than a file name may have
    const struct {
        std::string name;
        std::string why;
    } cases[] = {
        {"web/small", "it becomes a file name, and a file name can't contain \"/\"."},
        {"../escape", "it becomes a file name, and a file name can't contain \"/\"."},
        {".", "\".\" and \"..\" name folders, not files."},
        {"..", "\".\" and \"..\" name folders, not files."},
        {tooLong, "it is too long for a file name (at most 251 bytes)."},
    };
    for (const auto& c : cases) {
        test::RecordingUserPrompt prompt;
        PresetPicker picker = Picker(PresetPickerMode::Save, prompt);
        EXPECT_FALSE(picker.Accept(c.name)) << c.name;
        EXPECT_EQ(prompt.messages, std::vector<std::string>{"The name \"" + c.name + "\" cannot be used:\n" + c.why});
        EXPECT_TRUE(picker.chosenPath().empty());
    }
    test::RecordingUserPrompt prompt;
    PresetPicker picker = Picker(PresetPickerMode::Save, prompt);
    EXPECT_TRUE(picker.Accept(std::string(251, 'x')));
}

TEST_F(PresetPickerTest, DeleteRemovesFileAndEntryAfterAsking) {
    test::RecordingUserPrompt no(false);
    PresetPicker kept = Picker(PresetPickerMode::Load, no);
    EXPECT_FALSE(kept.Delete("beta"));
    EXPECT_TRUE(std::filesystem::exists(folder / "beta.qzr"));
    EXPECT_FALSE(kept.Delete("unknown"));
    EXPECT_EQ(no.questions, std::vector<std::string>{"Delete this entry?"});

    test::RecordingUserPrompt yes(true);
    PresetPicker picker = Picker(PresetPickerMode::Load, yes);
    ASSERT_TRUE(picker.Delete("Beta"));
    EXPECT_FALSE(std::filesystem::exists(folder / "beta.qzr"));
    EXPECT_EQ(picker.names(), (std::vector<std::string>{"Alpha", "gamma"}));
    EXPECT_TRUE(std::filesystem::exists(folder / "list.qzb"));
}

}  // namespace
}  // namespace kv
