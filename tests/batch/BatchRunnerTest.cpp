#include "batch/BatchRunner.h"

#include <gtest/gtest.h>

#include "batch/BatchTestSupport.h"
#include "common/HeldCall.h"
#include "common/RecordingTargets.h"
#include "document/KVScaleCrafterDoc.h"
#include "engine/Progress.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;
using S = BatchStatus;

class BatchRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(in);
        fs::create_directories(out);
        settings.outputFolder = out.string() + "/";
    }
    // Runs the items to their end as the dialog would.
    void Run(std::vector<CItem> items, bool crop = false) {
        runner = std::make_unique<BatchRunner>(std::move(items), settings, crop, host);
        host.Start(*runner);
        ASSERT_TRUE(host.Pump(*runner));
        EXPECT_TRUE(runner->IsDone());
        EXPECT_FALSE(runner->IsRunning());
        EXPECT_EQ(CancelRequested.load(), 0);
    }
    fs::path Input(const std::string& name, int32_t w = 60, int32_t h = 40) {
        const fs::path path = in / name;
        MakeImage(path, w, h);
        return path;
    }
    static void ExpectImage(const fs::path& path, int32_t w, int32_t h, float dpi) {
        const auto image = Bitmap::FromFile(path);
        EXPECT_EQ(image->GetWidth(), w) << path;
        EXPECT_EQ(image->GetHeight(), h) << path;
        EXPECT_FLOAT_EQ(image->GetHorizontalResolution(), dpi) << path;
    }

    TempDir dir;
    fs::path in = dir / "in";
    fs::path out = dir / "out";
    BatchSettings settings;
    DialogHost host;
    std::unique_ptr<BatchRunner> runner;
};

TEST_F(BatchRunnerTest, EachFileIsLoggedAndAFileThatFailsAloneLetsTheRunGoOn) {
    Run({ItemOf(Input("a.tif"), 30, 20, 4, 150), ItemOf(in / "gone.tif", 30, 20), ItemOf(Input("zero.tif"), 0, 20),
         ItemOf(Input("c.tif"), 120, 80, 2, 300)});

    EXPECT_EQ(host.Statuses(), (std::vector<S>{S::Started, S::CantOpen, S::Started, S::CantCreate, S::Started}));
    const auto& u = host.updates;
    EXPECT_EQ(u[0].statusText, "Processing 1 from 4");
    EXPECT_FALSE(u[0].showProgressBar);
    const std::string inFolder = in.string() + "/", outFolder = out.string() + "/";
    EXPECT_EQ(u[0].entry, "File 1 from 4\r\nInput file\r\nFolder: " + inFolder + "\r\nName: a.tif\r\nOutput file\r\nFolder: " +
                              outFolder + "\r\nName:a.tif\r\nSize: 30x20 pixels, 150 DPI\r\nAlgorithm: High Quality Bicubic\r\n\r\n");
    EXPECT_EQ(u[1].entry, "File 2 from 4\r\nInput file\r\nFolder: " + inFolder + "\r\nName: gone.tif\r\nCan't open file\r\n" +
                              (in / "gone.tif").string() + "!\r\n\r\n");
    EXPECT_EQ(u[3].entry, "Can't create output image!\r\nMaybe not enough memory!\r\n\r\n");
    EXPECT_EQ(u[4].statusText, "Processing 4 from 4");

    ExpectImage(out / "a.tif", 30, 20, 150);
    ExpectImage(out / "c.tif", 120, 80, 300);
    EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"a.tif", "c.tif"}));
    // Every report began with the bar at 0, and no standard algorithm moved it.
    EXPECT_EQ(host.positionsAtReports, std::vector<int32_t>(5, 0));
    EXPECT_TRUE(host.positions.empty());
    for (const BatchLogUpdate& update : u) EXPECT_EQ(update.message, "");
}

TEST_F(BatchRunnerTest, CollisionPoliciesSkipOrFindAFreeName) {
    for (const char* name : {"x.tif", "x_1.tif", "x_2.tif"}) WriteBytes(out / name, {9, 9});
    const fs::path x = Input("x.tif");

    settings.policy = CollisionPolicy::Skip;
    Run({ItemOf(x, 30, 20)});
    EXPECT_EQ(host.Statuses(), std::vector<S>{S::Skipped});
    EXPECT_EQ(host.updates[0].entry, "File 1 from 1\r\nInput file\nFolder: " + in.string() +
                                         "/\r\nName: x.tif\r\nOutput file x.tif already exists!\r\nSkip resizing!\r\n\r\n");
    EXPECT_EQ(ReadBytes(out / "x.tif"), (std::vector<uint8_t>{9, 9}));

    settings.policy = CollisionPolicy::UniqueName;
    host.updates.clear();
    Run({ItemOf(x, 30, 20)});
    EXPECT_EQ(host.Statuses(), std::vector<S>{S::Started});
    ExpectImage(out / "x_3.tif", 30, 20, 96);
}

TEST_F(BatchRunnerTest, AWriteFailureStopsTheRunAndLeavesTheRestAlone) {
    std::vector<CItem> items;
    for (int i = 0; i < 10; ++i) items.push_back(ItemOf(Input("f" + std::to_string(i) + ".tif"), 30, 20));
    fs::create_directory(out / "f2.tif");  // the third result cannot take its name
    Run(std::move(items));

    EXPECT_EQ(host.Statuses(), (std::vector<S>{S::Started, S::Started, S::Started, S::CantWrite}));
    EXPECT_EQ(host.updates.back().entry, "Can't write file\r\n" + (out / "f2.tif").string() + "!\r\n\r\n");
    EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"f0.tif", "f1.tif", "f2.tif"}));
    EXPECT_TRUE(fs::is_directory(out / "f2.tif"));
}

TEST_F(BatchRunnerTest, FoldersThatCannotTakeTheResult) {
    // A folder the system does not let anyone write into: the save fails and nothing is left.
    settings.outputFolder = "/proc/";
    Run({ItemOf(Input("a.tif"), 30, 20)});
    EXPECT_EQ(host.Statuses(), (std::vector<S>{S::Started, S::CantWrite}));
    EXPECT_FALSE(fs::exists("/proc/a.tif"));

    // A folder that does not exist, here a path through a regular file: said, logged, stopped.
    host.updates.clear();
    settings.outputFolder = (in / "a.tif" / "sub").string() + "/";
    Run({ItemOf(in / "a.tif", 30, 20), ItemOf(in / "a.tif", 30, 20)});
    EXPECT_EQ(host.Statuses(), std::vector<S>{S::NoOutputFolder});
    EXPECT_EQ(host.updates[0].entry, "Can't open output folder!");
    // The message box comes with the report, to be shown on the dialog's thread.
    EXPECT_EQ(host.updates[0].message, "Can't create output folder!");
}

TEST_F(BatchRunnerTest, CancelDuringAnOwnAlgorithmEndsTheFileAndKeepsTheOldResult) {
    WriteBytes(out / "a.tif", {1, 2, 3});
    host.onProgress = [&](int32_t position) {
        if (position > 0) runner->Cancel();
    };
    Run({ItemOf(Input("a.tif"), 240, 160, 6), ItemOf(Input("b.tif"), 30, 20)});

    EXPECT_EQ(host.Statuses(), (std::vector<S>{S::Started, S::Stopped}));
    EXPECT_TRUE(host.updates[0].showProgressBar);
    EXPECT_EQ(host.updates[1].entry, "Operation canceled by user!\r\n\r\n");
    // Under Overwrite the old output stays until a new one replaces it whole.
    EXPECT_EQ(ReadBytes(out / "a.tif"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(NamesIn(out), std::vector<std::string>{"a.tif"});
}

TEST_F(BatchRunnerTest, CancelDuringAStandardAlgorithmTakesEffectBeforeTheNextFile) {
    host.beforeTake = [&](size_t taken) {
        if (taken == 0) runner->Cancel();
    };
    Run({ItemOf(Input("a.tif"), 30, 20, 3), ItemOf(Input("b.tif"), 30, 20, 3)});
    EXPECT_EQ(host.Statuses(), std::vector<S>{S::Started});
    EXPECT_EQ(NamesIn(out), std::vector<std::string>{"a.tif"});
}

TEST_F(BatchRunnerTest, AnInputThatVanishesMidRunIsLoggedAndSkipped) {
    const fs::path b = Input("b.tif");
    host.beforeTake = [&](size_t taken) {
        if (taken == 0) fs::remove(b);
    };
    Run({ItemOf(Input("a.tif"), 30, 20), ItemOf(b, 30, 20), ItemOf(Input("c.tif"), 30, 20)});
    EXPECT_EQ(host.Statuses(), (std::vector<S>{S::Started, S::CantOpen, S::Started}));
    EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"a.tif", "c.tif"}));
}

// The first result replaces its own input; the second item (the same file, read whole before) must
// not replace that result of the run, so it takes the unique-name rule.
TEST_F(BatchRunnerTest, AnInputThatIsItsOwnOutputIsReplacedByItsResult) {
    settings.outputFolder = in.string() + "/";
    const fs::path a = Input("a.tif", 200, 100);
    Run({ItemOf(a, 50, 25, 4), ItemOf(a, 10, 5, 7)});
    EXPECT_EQ(host.Statuses(), (std::vector<S>{S::Started, S::Started}));
    ExpectImage(a, 50, 25, 96);
    ExpectImage(in / "a_1.tif", 10, 5, 96);
    EXPECT_EQ(NamesIn(in), (std::vector<std::string>{"a.tif", "a_1.tif"}));
}

// Two inputs of one name from different folders: under Overwrite the second result must not
// replace the first of the same run; it takes the next unique name, and its entry says why.
TEST_F(BatchRunnerTest, TheSameNameFromTwoFoldersNeverReplacesAResultOfTheRun) {
    fs::create_directories(in / "other");
    const fs::path first = Input("x.tif", 60, 40);
    const fs::path second = Input("other/x.tif", 90, 40);
    Run({ItemOf(first, 30, 20), ItemOf(second, 45, 20)});
    EXPECT_EQ(host.Statuses(), (std::vector<S>{S::Started, S::Started}));
    ExpectImage(out / "x.tif", 30, 20, 96);
    ExpectImage(out / "x_1.tif", 45, 20, 96);
    ASSERT_EQ(host.updates.size(), 2u);
    const std::string& firstEntry = host.updates[0].entry;
    const std::string& secondEntry = host.updates[1].entry;
    EXPECT_EQ(firstEntry.find("written earlier"), std::string::npos) << firstEntry;
    EXPECT_NE(secondEntry.find("Name:x_1.tif\r\n"), std::string::npos) << secondEntry;
    EXPECT_NE(secondEntry.find("Output file x.tif was written earlier in this run!\r\nSaved with unique name!\r\n\r\n"),
              std::string::npos)
        << secondEntry;
}

TEST_F(BatchRunnerTest, TheWorkerGoesOnWhenTheDialogDoesNotAnswer) {
    // A dialog that takes no report until the run has ended: every wait ends at its limit.
    std::vector<BatchLogUpdate> late;
    struct SilentHost final : IBatchRunHost {
        void PostNewImage() override {}
        void PostProgress() override {}
        void PostRunEnded() override { ended.Set(); }
        AutoResetEvent ended;
    } silent;
    BatchRunner quiet({ItemOf(Input("a.tif"), 30, 20), ItemOf(Input("b.tif"), 0, 0)}, settings, false, silent, 1);
    quiet.Start();
    ASSERT_TRUE(silent.ended.Wait(60000));
    while (auto update = quiet.TakeReport()) late.push_back(*update);
    quiet.OnRunEnded();
    ASSERT_EQ(late.size(), 3u);
    EXPECT_EQ(late[2].report.status, S::CantCreate);
    EXPECT_TRUE(fs::exists(out / "a.tif"));
}

TEST_F(BatchRunnerTest, ClosingWhileTheWorkerWaitsStopsIt) {
    std::vector<CItem> items;
    for (int i = 0; i < 5; ++i) items.push_back(ItemOf(Input("f" + std::to_string(i) + ".tif"), 30, 20));
    auto unanswered = std::make_unique<BatchRunner>(std::move(items), settings, false, host);
    unanswered->Start();
    unanswered.reset();  // joins the worker at once instead of after each 10-second wait
    EXPECT_EQ(CancelRequested.load(), 0);
    EXPECT_LE(NamesIn(out).size(), 1u);
}

TEST_F(BatchRunnerTest, APreviewAskedForDuringTheRunNeitherCancelsItNorClearsItsCancel) {
    ResizeSettings viewSettings;
    viewSettings.width = 120;
    viewSettings.height = 80;
    viewSettings.algorithm = 6;
    CKVScaleCrafterDoc document(viewSettings, nullptr, nullptr);
    ASSERT_TRUE(document.OnOpenDocument(Input("shown.tif")));
    host.beforeTake = [&](size_t taken) {
        if (taken == 1) runner->Cancel();
        EXPECT_EQ(document.RequestPreview({0, 0, 60, 40}, {0, 0, 120, 80}), PreviewOutcome::Refused);
        EXPECT_EQ(CancelRequested.load(), taken == 1 ? 1 : 0);
    };
    Run({ItemOf(Input("a.tif"), 30, 20, 3), ItemOf(Input("b.tif"), 30, 20, 3), ItemOf(Input("c.tif"), 30, 20, 3)});
    // The first request did not stop the run; the cancel after the second file was not cleared.
    EXPECT_EQ(host.Statuses(), (std::vector<S>{S::Started, S::Started}));
    EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"a.tif", "b.tif"}));
    // Once the run has ended previews start again.
    EXPECT_EQ(document.RequestPreview({0, 0, 60, 40}, {0, 0, 120, 80}), PreviewOutcome::Started);
}

TEST_F(BatchRunnerTest, TheDialogCanGoWhileTheWorkerPostsToIt) {
    // A dialog that holds the worker inside its first notice.
    struct HoldingHost final : IBatchRunHost {
        explicit HoldingHost(HeldCall& held) : call(held) {}
        void PostNewImage() override {
            if (!holding.exchange(true)) call.Hold();
        }
        void PostProgress() override {}
        void PostRunEnded() override {}
        HeldCall& call;
        std::atomic<bool> holding{false};
    };
    HeldCall call;
    auto dialog = std::make_unique<HoldingHost>(call);
    runner = std::make_unique<BatchRunner>(std::vector<CItem>{ItemOf(Input("a.tif"), 30, 20)}, settings, false, *dialog);
    runner->Start();
    ExpectRemovalWaitsForTheCall(call, [&] {
        runner->DetachHost();
        dialog.reset();
    });
    runner.reset();  // the worker's later notices went nowhere
    EXPECT_EQ(CancelRequested.load(), 0);
}

TEST(BatchProgressTest, PositionsFollowThePassesAndStopOnCancel) {
    std::vector<int32_t> positions;
    const CBatchProgress* sink = nullptr;
    CBatchProgress progress([&] { positions.push_back(sink->position()); });
    sink = &progress;
    progress.SetStages(3);
    for (const int32_t value : {0, 30, 30, 99, 10, 60, 5}) EXPECT_TRUE(progress.OnProgress(value));
    // 0 and a repeated 30 move nothing; each drop starts the next of three passes.
    EXPECT_EQ(positions, (std::vector<int32_t>{10, 33, 36, 53, 67}));
    EXPECT_EQ(progress.finishedPasses(), 2);
    progress.Reset();
    EXPECT_EQ(progress.finishedPasses(), 0);
    EXPECT_EQ(progress.lastValue(), 0);
    EXPECT_EQ(progress.position(), 0);

    CancelRequested.store(1);
    EXPECT_FALSE(progress.OnProgress(50));
    CancelRequested.store(0);
}

}  // namespace
}  // namespace kv::test
