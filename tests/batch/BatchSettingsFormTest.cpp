#include "batch/BatchSettingsForm.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "common/RecordingTargets.h"
#include "common/TestFiles.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

TEST(BatchSettingsFormTest, DefaultFolderIsInThePicturesFolderOrElseInHome) {
    TempDir dir;
    fs::create_directories(dir / "Pictures");
    SpecialFolders folders;
    folders.home = dir.path();
    folders.pictures = dir / "Pictures";
    folders.documents = dir / "Documents";
    EXPECT_EQ(DefaultOutputFolder(folders), (dir / "Pictures").string() + "/Resized_Images/");
    // A new account without a pictures folder.
    fs::remove(dir / "Pictures");
    EXPECT_EQ(DefaultOutputFolder(folders), dir.path().string() + "/Resized_Images/");
    folders.pictures.clear();
    EXPECT_EQ(DefaultOutputFolder(folders), dir.path().string() + "/Resized_Images/");
    folders.home.clear();
    EXPECT_EQ(DefaultOutputFolder(folders), "");
}

TEST(BatchSettingsFormTest, QualityOutsideOneToHundredKeepsTheDialogOpen) {
    TempDir dir;
    for (const char* text : {"0", "101", "", "9x", "-5"}) {
        SCOPED_TRACE(text);
        BatchSettings settings;
        settings.outputFolder = dir.path().string();
        RecordingUserPrompt prompt;
        const BatchSettingsVerdict verdict = AcceptBatchSettings(settings, text, prompt);
        EXPECT_FALSE(verdict);
        EXPECT_FALSE(verdict.qualityAccepted);
        EXPECT_TRUE(verdict.folderAccepted);  // examined all the same
        EXPECT_EQ(prompt.messages, std::vector<std::string>{"Enter an integer between 1 and 100."});
        EXPECT_EQ(settings.jpegQuality, 75);
        EXPECT_EQ(settings.outputFolder, dir.path().string() + "/");
    }
    BatchSettings settings;
    settings.outputFolder = dir.path().string() + "/";
    RecordingUserPrompt prompt;
    EXPECT_TRUE(AcceptBatchSettings(settings, "100", prompt));
    EXPECT_EQ(settings.jpegQuality, 100);
    EXPECT_TRUE(prompt.messages.empty() && prompt.questions.empty());
}

TEST(BatchSettingsFormTest, TheOutputFolderIsAcceptedOnlyWhereResultsCanBeWritten) {
    TempDir dir;
    WriteBytes(dir / "file", {1});
    fs::create_directories(dir / "there");
    const std::string suggested = (dir / "Resized_Images").string() + "/";
    const std::string notFull = "\nis not a full path.\nPlease give the whole path, beginning with \"/\".";
    const struct {
        const char* name;
        std::string typed;
        bool answer;  // to "Create this folder?"
        bool accepted;
        std::string folder;  // what the field holds afterwards
        std::vector<std::string> messages;
        size_t questions;
    } cases[] = {
        {"there", (dir / "there").string(), true, true, (dir / "there/").string(), {}, 0},
        // Nothing typed is no folder at all, never the root of the file system.
        {"empty", "", true, false, "", {"No output folder is given.\nPlease choose the folder the resized images go to."}, 0},
        {"blanks", "  ", true, false, "  ", {"No output folder is given.\nPlease choose the folder the resized images go to."}, 0},
        {"relative", "results", true, false, "results", {"Output folder\nresults" + notFull}, 0},
        {"relative with a slash", "out/", true, false, "out/", {"Output folder\nout/" + notFull}, 0},
        {"home", "~/made", true, true, (dir / "made/").string(), {}, 1},
        {"missing, declined", (dir / "a/b").string(), false, false, (dir / "a/b/").string(), {}, 1},
        {"missing, made with its parents", (dir / "c/d").string(), true, true, (dir / "c/d/").string(), {}, 1},
        {"the dialog's own suggestion, made without a question", suggested, false, true, suggested, {}, 0},
        {"cannot be made", (dir / "file/sub").string(), true, false, (dir / "file/sub/").string(),
         {"Can't create folder\n" + (dir / "file/sub").string() + ".\nPlease check folder name."}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BatchSettings settings;
        settings.outputFolder = c.typed;
        RecordingUserPrompt prompt(c.answer);
        const BatchSettingsVerdict verdict = AcceptBatchSettings(settings, "75", prompt, suggested, dir.path());
        EXPECT_EQ(verdict.folderAccepted, c.accepted);
        EXPECT_EQ(static_cast<bool>(verdict), c.accepted);
        EXPECT_EQ(settings.outputFolder, c.folder);
        EXPECT_EQ(prompt.messages, c.messages);
        EXPECT_EQ(prompt.questions.size(), c.questions);
        if (c.questions) EXPECT_NE(prompt.questions[0].find("does not exist.\nCreate this folder?"), std::string::npos);
        if (c.accepted) EXPECT_TRUE(fs::is_directory(settings.outputFolder));
    }
    EXPECT_FALSE(fs::exists(dir / "a"));
    EXPECT_FALSE(fs::exists("/results"));

    // Results beside their inputs need no folder at all.
    BatchSettings beside;
    beside.sameFolder = true;
    RecordingUserPrompt quiet;
    EXPECT_TRUE(AcceptBatchSettings(beside, "75", quiet));
    EXPECT_TRUE(quiet.messages.empty() && quiet.questions.empty());
}

TEST(BatchSettingsFormTest, AFolderThatCannotBeWrittenIsRefused) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes into any folder";
    TempDir dir;
    fs::create_directories(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    BatchSettings settings;
    settings.outputFolder = (dir / "locked").string();
    RecordingUserPrompt prompt;
    EXPECT_FALSE(AcceptBatchSettings(settings, "75", prompt));
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"Folder\n" + (dir / "locked").string() +
                                                        "\nhas read only attribute.\nPlease select another folder."});
    fs::permissions(dir / "locked", fs::perms::owner_all);
}

}  // namespace
}  // namespace kv::test
