#include "batch/OutputPath.h"
#include "batch/UniqueNameClaim.h"

#include <gtest/gtest.h>

#include "common/TestFiles.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

class OutputPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir / "pics");
        fs::create_directories(dir / "out");
        settings.outputFolder = (dir / "out").string() + "/";
    }
    OutputDecision Decide(const std::string& input, int32_t w = 320, int32_t h = 200, const PathTaken& taken = {}) {
        return DecideOutputPath(settings, dir / "pics" / input, w, h, taken);
    }
    std::string Out(const std::string& name) const { return (dir / "out" / name).string(); }

    TempDir dir;
    BatchSettings settings;
};

TEST_F(OutputPathTest, NameFolderAndExtensionFollowTheSettings) {
    const struct {
        bool newName, sameFolder;
        OutputFormat format;
        std::string input, expected;
    } cases[] = {
        {true, false, OutputFormat::Keep, "a.jpg", "out/a_RESIZED_TO_320x200.jpg"},
        {false, false, OutputFormat::Keep, "a.jpg", "out/a.jpg"},
        {false, false, OutputFormat::Png, "a.jpg", "out/a.png"},
        {false, false, OutputFormat::Tiff, "a.b.JPG", "out/a.b.tif"},
        {true, false, OutputFormat::Bmp, "noext", "out/noext_RESIZED_TO_320x200.bmp"},
        {false, false, OutputFormat::Keep, "noext", "out/noext"},
        // Beside the input the suffix is always added, so no input is its own result's name.
        {false, true, OutputFormat::Keep, "a.jpg", "pics/a_RESIZED_TO_320x200.jpg"},
        {true, true, OutputFormat::Jpeg, "a.gif", "pics/a_RESIZED_TO_320x200.jpg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        settings.newName = c.newName;
        settings.sameFolder = c.sameFolder;
        settings.format = c.format;
        const OutputDecision d = Decide(c.input);
        EXPECT_EQ(d.action, OutputAction::Write);
        EXPECT_EQ(d.path, dir / c.expected);
    }
    // An output folder without its final slash works the same.
    settings = BatchSettings{};
    settings.outputFolder = (dir / "out").string();
    EXPECT_EQ(Decide("a.jpg").path, dir / "out/a.jpg");
}

TEST_F(OutputPathTest, AnExistingOutputIsSkippedReplacedOrAvoided) {
    for (const char* name : {"x.jpg", "x_1.jpg", "x_2.jpg"}) WriteBytes(dir / "out" / name, {1, 2, 3});

    settings.policy = CollisionPolicy::Skip;
    EXPECT_EQ(Decide("x.jpg").action, OutputAction::Skip);
    EXPECT_EQ(Decide("x.jpg").path, Out("x.jpg"));
    EXPECT_EQ(Decide("y.jpg").action, OutputAction::Write);

    settings.policy = CollisionPolicy::Overwrite;
    EXPECT_EQ(Decide("x.jpg").path, Out("x.jpg"));
    EXPECT_EQ(ReadBytes(dir / "out" / "x.jpg"), (std::vector<uint8_t>{1, 2, 3}));  // left for the new file to replace

    settings.policy = CollisionPolicy::UniqueName;
    EXPECT_EQ(Decide("x.jpg").path, Out("x_3.jpg"));
    // A dangling symbolic link is taken too: writing there would replace it.
    fs::create_symlink(dir / "nowhere", dir / "out" / "x_3.jpg");
    EXPECT_EQ(Decide("x.jpg").path, Out("x_4.jpg"));
}

// Between the decision and the write another run may take the name: the write claims the next
// free one instead of replacing that run's file. Under the other policies the decided path is
// replaced.
TEST_F(OutputPathTest, AUniqueNameIsClaimedWhenTheFileIsWritten) {
    settings.policy = CollisionPolicy::UniqueName;
    WriteBytes(dir / "out" / "x.jpg", {1});
    const OutputDecision decided = Decide("x.jpg");
    ASSERT_EQ(decided.path, Out("x_1.jpg"));
    WriteBytes(dir / "out" / "x_1.jpg", {2});  // another run got there first
    WriteBytes(dir / "out" / "x_2.jpg", {3});
    const OutputWrite written = WriteBatchOutput(std::vector<uint8_t>{9, 9}, decided);
    ASSERT_TRUE(written.path) << written.error;
    EXPECT_EQ(*written.path, Out("x_3.jpg"));
    EXPECT_EQ(ReadBytes(dir / "out" / "x_1.jpg"), std::vector<uint8_t>{2});
    EXPECT_EQ(ReadBytes(dir / "out" / "x_3.jpg"), (std::vector<uint8_t>{9, 9}));

    settings.policy = CollisionPolicy::Overwrite;
    const OutputWrite replaced = WriteBatchOutput(std::vector<uint8_t>{7}, Decide("x.jpg"));
    EXPECT_EQ(replaced.path, std::optional<fs::path>(Out("x.jpg")));
    EXPECT_EQ(ReadBytes(dir / "out" / "x.jpg"), std::vector<uint8_t>{7});
}

TEST_F(OutputPathTest, EveryUniqueNameTakenSkipsInsteadOfOverwriting) {
    settings.policy = CollisionPolicy::UniqueName;
    int64_t asked = 0;
    fs::path last;
    const OutputDecision d = Decide("x.jpg", 320, 200, [&](const fs::path& p) {
        ++asked;
        last = p;
        return true;
    });
    EXPECT_EQ(d.action, OutputAction::Skip);
    EXPECT_EQ(d.path, Out("x.jpg"));
    EXPECT_EQ(asked, 1 + kMaxUniqueNumber);
    EXPECT_EQ(last, Out("x_9999999.jpg"));
}

TEST_F(OutputPathTest, AMissingOutputFolderStopsTheRun) {
    const std::vector<std::string> folders = {"", (dir / "gone").string() + "/", (dir / "pics" / "a.jpg").string() + "/"};
    WriteBytes(dir / "pics" / "a.jpg", {1});
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        settings.outputFolder = folder;
        const OutputDecision d = Decide("a.jpg");
        EXPECT_EQ(d.action, OutputAction::Exit);
        EXPECT_TRUE(d.path.empty());
    }
}

}  // namespace
}  // namespace kv::test
