#include "batch/BatchSettingsForm.h"

#include <gtest/gtest.h>

#include "common/RecordingTargets.h"
#include "common/TestFiles.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

TEST(BatchSettingsFormTest, DefaultFolderIsTheFirstUserFolderThatExists) {
    TempDir dir;
    fs::create_directories(dir / "Documents");
    fs::create_directories(dir / "Desktop");
    SpecialFolders folders;
    folders.pictures = dir / "Pictures";  // not there
    folders.documents = dir / "Documents";
    folders.desktop = dir / "Desktop";
    EXPECT_EQ(DefaultOutputFolder(folders), (dir / "Documents").string() + "/Resized_Images/");
    folders.documents.clear();
    EXPECT_EQ(DefaultOutputFolder(folders), (dir / "Desktop").string() + "/Resized_Images/");
    folders.desktop = dir / "nowhere";
    EXPECT_EQ(DefaultOutputFolder(folders), "");
}

TEST(BatchSettingsFormTest, QualityOutsideOneToHundredKeepsTheDialogOpen) {
    TempDir dir;
    for (const char* text : {"0", "101", "", "9x", "-5"}) {
        SCOPED_TRACE(text);
        BatchSettings settings;
        settings.outputFolder = dir.path().string();
        RecordingUserPrompt prompt;
        EXPECT_FALSE(AcceptBatchSettings(settings, text, prompt));
        EXPECT_EQ(prompt.messages, std::vector<std::string>{"Enter an integer between 1 and 100."});
        EXPECT_EQ(settings.jpegQuality, 75);
        EXPECT_EQ(settings.outputFolder, dir.path().string() + "/");  // examined all the same
    }
    BatchSettings settings;
    settings.outputFolder = dir.path().string() + "/";
    RecordingUserPrompt prompt;
    EXPECT_TRUE(AcceptBatchSettings(settings, "100", prompt));
    EXPECT_EQ(settings.jpegQuality, 100);
    EXPECT_TRUE(prompt.messages.empty() && prompt.questions.empty());
}

TEST(BatchSettingsFormTest, AMissingFolderIsOfferedForCreationWithItsParents) {
    TempDir dir;
    BatchSettings settings;
    const fs::path wanted = dir / "a" / "b" / "c";
    settings.outputFolder = wanted.string();

    RecordingUserPrompt no(false);
    EXPECT_TRUE(AcceptBatchSettings(settings, "75", no));
    EXPECT_EQ(no.questions, std::vector<std::string>{"Folder\n" + wanted.string() + "\ndoes not exist.\nCreate this folder?"});
    EXPECT_FALSE(fs::exists(dir / "a"));

    RecordingUserPrompt yes(true);
    EXPECT_TRUE(AcceptBatchSettings(settings, "75", yes));
    EXPECT_TRUE(fs::is_directory(wanted));
    EXPECT_TRUE(yes.messages.empty());

    // A folder that cannot be made, and a folder beside each input that is not examined at all.
    WriteBytes(dir / "file", {1});
    settings.outputFolder = (dir / "file" / "sub").string() + "/";
    RecordingUserPrompt failing(true);
    EXPECT_TRUE(AcceptBatchSettings(settings, "75", failing));
    EXPECT_EQ(failing.messages,
              std::vector<std::string>{"Can't create folder\n" + (dir / "file" / "sub").string() + ".\nPlease check folder name."});
    settings.sameFolder = true;
    RecordingUserPrompt quiet(true);
    EXPECT_TRUE(AcceptBatchSettings(settings, "75", quiet));
    EXPECT_TRUE(quiet.messages.empty() && quiet.questions.empty());
}

}  // namespace
}  // namespace kv::test
