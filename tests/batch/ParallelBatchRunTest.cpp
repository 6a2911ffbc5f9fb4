#include "batch/ParallelBatchRun.h"

#include <gtest/gtest.h>

#include "batch/BatchTestSupport.h"
#include "common/RecordingTargets.h"
#include "engine/Progress.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;
using S = BatchStatus;

class RecordingLog final : public IBatchLog {
public:
    void OnReport(const BatchReport& report) override {
        if (onReport) onReport(report);
        reports.push_back(report);
    }
    std::vector<S> Statuses() const {
        std::vector<S> statuses;
        for (const BatchReport& r : reports) statuses.push_back(r.status);
        return statuses;
    }
    // The entries with the output folder written as OUT, so that runs into two folders compare.
    std::vector<std::string> Entries(const fs::path& out) const {
        std::vector<std::string> entries;
        for (const BatchReport& r : reports) {
            std::string entry = BatchLogEntry(r);
            for (size_t at; (at = entry.find(out.string())) != std::string::npos;) entry.replace(at, out.string().size(), "OUT");
            entries.push_back(entry);
        }
        return entries;
    }
    std::vector<BatchReport> reports;
    std::function<void(const BatchReport&)> onReport;
};

class ParallelBatchRunTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(in); }
    fs::path Input(const std::string& name, int32_t w = 60, int32_t h = 40, uint8_t seed = 0) {
        const fs::path path = in / name;
        MakeImage(path, w, h, seed);
        return path;
    }
    // A fresh output folder holding the given files.
    fs::path Folder(const std::string& name, const std::vector<std::string>& present = {}) {
        const fs::path folder = dir / name;
        fs::create_directories(folder);
        for (const std::string& file : present) WriteBytes(folder / file, {7, 7, 7});
        return folder;
    }
    // The single worker's run of the items into a folder: its log and the files it left.
    RecordingLog Sequential(const std::vector<CItem>& items, BatchSettings settings, const fs::path& folder) {
        settings.outputFolder = folder.string() + "/";
        DialogHost host;
        BatchRunner runner(items, settings, false, host);
        host.Start(runner);
        EXPECT_TRUE(host.Pump(runner));
        RecordingLog log;
        for (const BatchLogUpdate& u : host.updates) log.reports.push_back(u.report);
        return log;
    }
    RecordingLog Parallel(const std::vector<CItem>& items, BatchSettings settings, const fs::path& folder, int32_t jobs,
                          bool* finished = nullptr) {
        settings.outputFolder = folder.string() + "/";
        ParallelBatchRun run(items, settings, false, jobs);
        RecordingLog log;
        const bool ran = run.Run(log);
        if (finished) *finished = ran;
        EXPECT_EQ(CancelRequested.load(), 0);
        return log;
    }
    static void ExpectSameFiles(const fs::path& a, const fs::path& b) {
        ASSERT_EQ(NamesIn(a), NamesIn(b));
        for (const std::string& name : NamesIn(a)) {
            if (fs::is_directory(a / name)) continue;
            EXPECT_EQ(ReadBytes(a / name), ReadBytes(b / name)) << name;
        }
    }

    TempDir dir;
    fs::path in = dir / "in";
};

TEST_F(ParallelBatchRunTest, LeavesTheFilesAndLogOfTheSingleWorker) {
    const fs::path a = Input("a.tif", 90, 60, 1), b = Input("b.png", 80, 80, 2), c = Input("c.bmp", 50, 70, 3);
    // The same image twice with different sizes, an input that does not open, one that cannot be
    // made, an own algorithm and a name taken before the run.
    const std::vector<CItem> items = {ItemOf(a, 45, 30), ItemOf(in / "gone.tif", 10, 10), ItemOf(b, 0, 10),
                                      ItemOf(a, 30, 20, 3),  ItemOf(c, 100, 140, 6),        ItemOf(b, 40, 40, 1)};
    for (const CollisionPolicy policy : {CollisionPolicy::Skip, CollisionPolicy::Overwrite, CollisionPolicy::UniqueName}) {
        BatchSettings settings;
        settings.policy = policy;
        settings.format = OutputFormat::Keep;
        const std::string tag = std::to_string(static_cast<int>(policy));
        const fs::path one = Folder("one" + tag, {"c.bmp"});
        const RecordingLog expected = Sequential(items, settings, one);
        for (const int32_t jobs : {1, 2, 3, 8}) {
            SCOPED_TRACE("policy " + tag + ", jobs " + std::to_string(jobs));
            const fs::path many = Folder("many" + tag + "_" + std::to_string(jobs), {"c.bmp"});
            const RecordingLog log = Parallel(items, settings, many, jobs);
            EXPECT_EQ(log.Entries(many), expected.Entries(one));
            ExpectSameFiles(one, many);
        }
    }
}

TEST_F(ParallelBatchRunTest, AWriteFailureDropsTheResultsAfterIt) {
    std::vector<CItem> items;
    for (int i = 0; i < 10; ++i) items.push_back(ItemOf(Input("f" + std::to_string(i) + ".tif"), 30, 20));
    const fs::path out = Folder("out");
    fs::create_directory(out / "f2.tif");
    bool finished = true;
    const RecordingLog log = Parallel(items, BatchSettings{}, out, 2, &finished);
    EXPECT_FALSE(finished);
    EXPECT_EQ(log.Statuses(), (std::vector<S>{S::Started, S::Started, S::Started, S::CantWrite}));
    EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"f0.tif", "f1.tif", "f2.tif"}));
}

TEST_F(ParallelBatchRunTest, ACancelStopsBeforeTheNextFile) {
    std::vector<CItem> items;
    for (int i = 0; i < 6; ++i) items.push_back(ItemOf(Input("f" + std::to_string(i) + ".tif"), 30, 20));
    const fs::path out = Folder("out");
    BatchSettings settings;
    settings.outputFolder = out.string() + "/";
    ParallelBatchRun run(items, settings, false, 3);
    RecordingLog log;
    log.onReport = [](const BatchReport& r) {
        if (r.fileNumber == 2) CancelRequested.store(1);
    };
    EXPECT_FALSE(run.Run(log));
    CancelRequested.store(0);
    EXPECT_EQ(log.Statuses(), (std::vector<S>{S::Started, S::Started}));
    EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"f0.tif", "f1.tif"}));
}

TEST_F(ParallelBatchRunTest, AnInputAnEarlierItemMayWriteIsReadAfterIt) {
    const fs::path a = Input("a.tif", 300, 150, 1);
    const fs::path one = Folder("one"), many = Folder("many");
    MakeImage(one / "a.tif", 120, 60, 9);
    MakeImage(many / "a.tif", 120, 60, 9);
    // The second item reads what the first one writes.
    const auto items = [&](const fs::path& out) { return std::vector<CItem>{ItemOf(a, 100, 50), ItemOf(out / "a.tif", 20, 10)}; };
    Sequential(items(one), BatchSettings{}, one);
    const RecordingLog log = Parallel(items(many), BatchSettings{}, many, 2);
    EXPECT_EQ(log.Statuses(), (std::vector<S>{S::Started, S::Started}));
    ExpectSameFiles(one, many);
}

TEST_F(ParallelBatchRunTest, OnlyInputsThatMayBeEarlierResultsWait) {
    const fs::path out = Folder("out");
    const fs::path a = Input("a.tif"), x = Input("x.tif");
    for (const char* name : {"a.tif", "x_12.tif", "x_1a.tif", "y.tif"}) MakeImage(out / name, 10, 10);
    fs::create_symlink(out / "a.tif", in / "link.tif");
    BatchSettings settings;
    settings.outputFolder = out.string() + "/";
    settings.policy = CollisionPolicy::UniqueName;
    const std::vector<CItem> items = {
        ItemOf(out / "a.tif", 5, 5),   // first: nothing before it
        ItemOf(a, 5, 5),               // writes out/a.tif
        ItemOf(x, 5, 5),               // writes out/x.tif or out/x_<n>.tif
        ItemOf(out / "a.tif", 5, 5),   // an earlier result
        ItemOf(out / "x_12.tif", 5, 5),
        ItemOf(out / "x_1a.tif", 5, 5),
        ItemOf(out / "y.tif", 5, 5),
        ItemOf(in / "link.tif", 5, 5),  // the same file by another name
        ItemOf(in / "later.tif", 5, 5),  // not there yet: could be anything
    };
    ParallelBatchRun run(items, settings, false, 2);
    EXPECT_EQ(run.waitsForEarlierResults(), (std::vector<bool>{false, false, false, true, true, false, false, true, true}));
}

}  // namespace
}  // namespace kv::test
