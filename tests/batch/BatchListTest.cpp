#include "batch/BatchList.h"

#include <gtest/gtest.h>

#include "app/ResizeBarPresenter.h"
#include "batch/BatchTestSupport.h"
#include "common/RecordingTargets.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

class RecordingListener final : public IBatchListListener {
public:
    void OnRebuild(const std::vector<fs::path>& paths) override { rebuilds.push_back(paths); }
    void OnItemsChanged() override { ++changes; }
    void OnBatchModeWanted() override { ++batchModeWanted; }

    std::vector<std::vector<fs::path>> rebuilds;
    int changes = 0;
    int batchModeWanted = 0;
};

// A 1000 x 500 and a 300 x 600 picture, and settings of 640 x 480 at 150 dots per inch.
class BatchListTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeImage(wide, 1000, 500);
        MakeImage(tall, 300, 600);
        settings.dpi = 150;
        list.SetListener(&listener);
    }

    TempDir dir;
    fs::path wide = dir / "wide.tif";
    fs::path tall = dir / "tall.tif";
    ResizeSettings settings;
    RecordingUserPrompt prompt{false};
    BatchList list{settings, &prompt};
    RecordingListener listener;
};

TEST_F(BatchListTest, AddingStampsEachImageAndAsksAboutCopies) {
    const fs::path files[] = {wide, tall, wide};
    list.AddFiles(files);
    ASSERT_EQ(list.size(), 2u);  // the second wide.png was declined
    EXPECT_EQ(prompt.questions, (std::vector<std::string>{
                                    "File\n" + wide.string() +
                                    "\nis already selected for batch.\nDo you want to have multiple copies of this file?"}));
    // Apply to new: the 640 x 480 box fitted to each image, the record's resolution.
    EXPECT_EQ(list.item(0).batch, (StampedSettings{640, 320, 150, 4, SizeCorrection::KeepAspect}));
    EXPECT_EQ(list.item(1).batch, (StampedSettings{240, 480, 150, 4, SizeCorrection::KeepAspect}));
    EXPECT_EQ(listener.changes, 1);

    // Yes keeps a copy; without apply to new an image gets its own size and resolution.
    RecordingUserPrompt yes{true};
    BatchList copies(settings, &yes);
    settings.applyToNew = false;
    settings.algorithm = 8;
    const fs::path twice[] = {tall, tall};
    copies.AddFiles(twice);
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(copies.item(1).batch, (StampedSettings{300, 600, 72, 8, SizeCorrection::KeepAspect}));
}

TEST_F(BatchListTest, CommandLineFilesKeepNoSizeUntilApplyToAll) {
    const fs::path files[] = {dir / "gone.png", tall, wide};
    list.ReplaceWithFiles(files);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.item(0).batch, (StampedSettings{0, 0, 150, 4, SizeCorrection::KeepAspect}));
    EXPECT_EQ(listener.rebuilds, (std::vector<std::vector<fs::path>>{{tall, wide}}));
    EXPECT_EQ(listener.batchModeWanted, 1);

    // "Apply to All" on the settings bar reaches every item.
    ResizeBarPresenter bar(settings);
    bar.SetBatchStamping(&list);
    settings.correction = SizeCorrection::None;
    bar.ApplyToAll();
    EXPECT_EQ(list.item(0).batch, (StampedSettings{640, 480, 150, 4, SizeCorrection::None}));
    EXPECT_EQ(list.item(1).batch, (StampedSettings{640, 480, 150, 4, SizeCorrection::None}));

    // No file that exists: an empty list, and batch mode is left alone.
    const fs::path none[] = {dir / "gone.png"};
    list.ReplaceWithFiles(none);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(listener.batchModeWanted, 1);
}

TEST_F(BatchListTest, StampingAndRemovingActOnTheSelectionOnly) {
    const fs::path files[] = {wide, tall, wide, tall};
    RecordingUserPrompt yes{true};
    BatchList four(settings, &yes);
    four.AddFiles(files);
    four.item(1).selected = 1;
    four.item(2).selected = 1;
    settings.inPercents = true;
    settings.percentWidth = settings.percentHeight = 10;
    four.StampSelected();
    EXPECT_EQ(four.item(0).batch.width, 640);
    EXPECT_EQ(four.item(1).batch.width, 30);
    EXPECT_EQ(four.item(2).batch.width, 100);
    EXPECT_EQ(four.item(3).batch.width, 240);

    ASSERT_TRUE(four.HasSelection());
    four.RemoveSelected();
    EXPECT_EQ(four.Paths(), (std::vector<fs::path>{wide, tall}));
    EXPECT_FALSE(four.HasSelection());
}

TEST_F(BatchListTest, TooltipNamesSizeResolutionAndAlgorithm) {
    CItem item(settings, wide);
    item.batch = {320, 200, 72.5f, 8, SizeCorrection::Crop};
    EXPECT_EQ(BatchList::Tooltip(item), "Resize to: 320x200\nResolution: 72.5 DPI\nKARVO for Artificial Scenes");
    item.batch = {-2147483647, -2147483647, 3.4e38f, 5, SizeCorrection::Crop};
    EXPECT_EQ(BatchList::Tooltip(item).size(), 80u);
}

TEST_F(BatchListTest, ChoosingAnItemCopiesItsValuesAndOpensItKeepingThem) {
    const fs::path files[] = {wide};
    list.ReplaceWithFiles(files);
    RecordingItemHost host(settings);

    // Not stamped yet: the settings stay.
    list.ChooseItem(0, host);
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(host.opened, std::vector<fs::path>{wide});
    EXPECT_TRUE(host.settingsWhileOpening.openingFromBatchList);
    EXPECT_FALSE(settings.openingFromBatchList);

    list.item(0).batch = {320, 200, 72, 9, SizeCorrection::None};
    host.browsing = true;
    list.ChooseItem(0, host);
    EXPECT_EQ(settings.width, 320);
    EXPECT_EQ(settings.height, 200);
    EXPECT_EQ(settings.dpi, 72);
    EXPECT_EQ(settings.algorithm, 9);
    EXPECT_EQ(settings.correction, SizeCorrection::None);
    EXPECT_EQ(host.shownAgain, 1);
    EXPECT_EQ(host.opened.size(), 1u);
}

TEST_F(BatchListTest, LoadingDropsImagesThatAreGone) {
    const fs::path gone = dir / "gone.png";
    MakeImage(gone, 10, 10);
    const fs::path files[] = {gone, wide};
    list.ReplaceWithFiles(files);
    list.item(0).batch = {1, 2, 3, 5, SizeCorrection::Crop};
    list.item(1).batch = {320, 200, 72.5f, 7, SizeCorrection::None};
    ASSERT_TRUE(list.Save(dir / "two.qzb"));
    fs::remove(gone);

    BatchList loaded(settings, &prompt);
    loaded.SetListener(&listener);
    listener = RecordingListener{};
    ASSERT_TRUE(loaded.Load(dir / "two.qzb"));
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded.item(0).path, wide);
    EXPECT_EQ(loaded.item(0).batch, (StampedSettings{320, 200, 72.5f, 7, SizeCorrection::None}));
    EXPECT_EQ(listener.rebuilds, (std::vector<std::vector<fs::path>>{{wide}}));
    EXPECT_EQ(listener.batchModeWanted, 1);
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(BatchListTest, AFileThatIsNoBatchListChangesNothing) {
    const fs::path files[] = {wide, tall};
    list.ReplaceWithFiles(files);
    std::vector<uint8_t> wrong(200, 'K');
    WriteBytes(dir / "wrong.qzb", wrong);
    EXPECT_FALSE(list.Load(dir / "wrong.qzb"));
    EXPECT_FALSE(list.Load(dir / "none.qzb"));
    EXPECT_EQ(prompt.messages, (std::vector<std::string>{"Wrong file!", "Can't open file\n" + (dir / "none.qzb").string() + "!"}));
    EXPECT_EQ(list.Paths(), (std::vector<fs::path>{wide, tall}));

    // Saving where no file can be made says so.
    EXPECT_FALSE(list.Save(dir / "wrong.qzb" / "x.qzb"));
    EXPECT_EQ(prompt.messages.back(), "Can't write file\n" + (dir / "wrong.qzb" / "x.qzb").string() + "!");
}

}  // namespace
}  // namespace kv::test
