#include "browser/ThumbsBuilderThreads.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/FileStatus.h"
#include "browser/BuilderTestSupport.h"
#include "common/TestFiles.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;
using test::Gate;
using test::RecordingListener;

class ThumbsBuilderThreadsTest : public testing::Test {
protected:
    ~ThumbsBuilderThreadsTest() override {
        if (pool_) pool_->RemoveListener(&listener_);
    }

    CThumbsBuilderThreads& Pool(ThumbsBuilderOptions options = {}) {
        pool_ = std::make_unique<CThumbsBuilderThreads>(cache_, std::move(options));
        pool_->AddListener(&listener_);
        return *pool_;
    }
    // Small images of no embedded thumbnail: each is announced once, at full quality.
    Paths Pngs(const std::string& prefix, int count) const {
        Paths paths;
        for (int i = 1; i <= count; ++i) {
            const fs::path path = images_ / (prefix + std::to_string(i) + ".png");
            test::WriteQuadrantImage(path, 32, 24);
            paths.push_back(path.string());
        }
        return paths;
    }
    std::string Copy(const std::string& dataName, const std::string& as) const {
        const fs::path to = images_ / as;
        fs::copy_file(test::DataPath(dataName), to);
        return to.string();
    }

    test::TempDir images_;
    test::TempDir temporary_;
    CMapStringToObPlus cache_{temporary_.path()};
    RecordingListener listener_{cache_};
    std::unique_ptr<CThumbsBuilderThreads> pool_;
};

TEST_F(ThumbsBuilderThreadsTest, JpegShowsItsPreviewFirstAndPngIsSkippedByTheSecondStage) {
    const std::string png = Pngs("p", 1)[0];
    const std::string jpeg = Copy("kodak-dc240.jpg", "camera.jpg");
    Pool().SetFiles({png, jpeg});
    ASSERT_TRUE(listener_.WaitFor(jpeg, 2));

    // The second stage takes its files in the order the first stage finished them, so the PNG was
    // looked at before the JPEG's second notice.
    const auto notices = listener_.Notices();
    ASSERT_EQ(listener_.Paths(), (Paths{png, jpeg, jpeg}));
    EXPECT_EQ(notices[0].fullQuality, 1);
    EXPECT_EQ(notices[1].fullQuality, 0);
    EXPECT_EQ(notices[1].imageWidth, 1280);  // from the Exif block
    EXPECT_EQ(notices[2].fullQuality, 1);
    EXPECT_EQ(notices[2].imageWidth, 640);  // from the image
    for (const auto& notice : notices) {
        EXPECT_TRUE(notice.inCache);
        EXPECT_EQ(notice.picture, notice.display);
    }
}

TEST_F(ThumbsBuilderThreadsTest, FileDeletedAfterItWasQueuedIsDropped) {
    const Paths files = Pngs("d", 3);
    listener_.onNotice = [&](const std::string& path) {
        if (path == files[0]) fs::remove(files[1]);
    };
    Pool().SetFiles(files);
    ASSERT_TRUE(listener_.WaitFor(files[2]));
    pool_->Stop();  // the hook reads this test's files
    EXPECT_EQ(listener_.Paths(), (Paths{files[0], files[2]}));
    CMapStringToObPlus::Cell cell;
    EXPECT_FALSE(cache_.Lookup(files[1], cell));
}

TEST_F(ThumbsBuilderThreadsTest, PromotedFilesGoFirstAndTheBuiltOneLeaves) {
    const Paths f = Pngs("f", 6);
    const std::string extra = Pngs("g", 1)[0];
    Gate gate;
    listener_.onNotice = [&](const std::string& path) {
        if (path == f[0]) gate.Enter();
    };
    CThumbsBuilderThreads& pool = Pool();
    pool.SetFiles(f);
    gate.WaitEntered();  // f1 is built and its thread is still holding it at the queue's head

    pool.PromoteFiles({f[4], extra, f[3]});
    EXPECT_EQ(pool.QueuedFiles(BuildStage::First), (Paths{f[3], extra, f[4], f[0], f[1], f[2], f[5]}));
    gate.Open();
    ASSERT_TRUE(listener_.WaitFor(f[5]));
    pool.Stop();
    EXPECT_EQ(listener_.Paths(), (Paths{f[0], f[3], extra, f[4], f[1], f[2], f[5]}));
}

TEST_F(ThumbsBuilderThreadsTest, NewListKeepsItsFirstPathWhenItArrivesDuringABuild) {
    const Paths old = Pngs("old", 3);
    const Paths fresh = Pngs("new", 2);
    Gate gate;
    listener_.onNotice = [&](const std::string& path) {
        if (path == old[0]) gate.Enter();
    };
    CThumbsBuilderThreads& pool = Pool();
    pool.SetFiles(old);
    gate.WaitEntered();
    pool.SetFiles(fresh);
    gate.Open();
    ASSERT_TRUE(listener_.WaitFor(fresh[1]));
    pool.Stop();
    EXPECT_EQ(listener_.Paths(), (Paths{old[0], fresh[0], fresh[1]}));
}

TEST_F(ThumbsBuilderThreadsTest, FreshCellsAreSkippedAndModifiedFilesRebuilt) {
    const Paths files = Pngs("s", 2);
    const Paths markers = Pngs("marker", 2);
    // A cell as a cache file may hold it: up to date, but without a picture. The first stage
    // builds it again.
    const std::string pictureless = Pngs("empty", 1)[0];
    auto cell = std::make_shared<CPaletteItemImg>();
    cell->fileTime = GetFileStatus(pictureless)->modified.tv_sec;
    cell->fullQuality = 1;
    cache_.Store(pictureless, cell);

    CThumbsBuilderThreads& pool = Pool();
    pool.SetFiles({files[0], pictureless, files[1]});
    ASSERT_TRUE(listener_.WaitFor(files[1]));
    EXPECT_EQ(listener_.Paths(), (Paths{files[0], pictureless, files[1]}));

    // The same list again: nothing to do until the marker, a file never built.
    pool.SetFiles({files[0], files[1], markers[0]});
    ASSERT_TRUE(listener_.WaitFor(markers[0]));
    EXPECT_EQ(listener_.CountOf(files[0]), 1u);
    EXPECT_EQ(listener_.CountOf(files[1]), 1u);

    CMapStringToObPlus::Cell before;
    ASSERT_TRUE(cache_.Lookup(files[0], before));
    const timespec later[2] = {{0, UTIME_OMIT}, {before->fileTime + 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, files[0].c_str(), later, 0), 0);
    pool.SetFiles({files[0], files[1], markers[1]});
    ASSERT_TRUE(listener_.WaitFor(markers[1]));
    EXPECT_EQ(listener_.CountOf(files[0]), 2u);
    EXPECT_EQ(listener_.CountOf(files[1]), 1u);
    CMapStringToObPlus::Cell after;
    ASSERT_TRUE(cache_.Lookup(files[0], after));
    EXPECT_NE(after, before);
    EXPECT_EQ(after->fileTime, before->fileTime + 60);
}

// A cell whose picture was made the other way than pictures are made now (as stored, by an older
// program or before the choice changed) is made again, the way they are made now.
TEST_F(ThumbsBuilderThreadsTest, CellsMadeTheOtherWayUpAreRebuilt) {
    const Paths files = Pngs("p", 2);
    CThumbsBuilderThreads& pool = Pool();
    pool.SetFiles(files);
    ASSERT_TRUE(listener_.WaitFor(files[1]));
    CMapStringToObPlus::Cell cell;
    ASSERT_TRUE(cache_.Lookup(files[0], cell));
    EXPECT_EQ(cell->pictureStanding, kPictureUpright);
    cell->pictureStanding = kPictureAsStored;

    pool.SetFiles(files);
    ASSERT_TRUE(listener_.WaitFor(files[0], 2));
    ASSERT_TRUE(cache_.Lookup(files[0], cell));
    EXPECT_EQ(cell->pictureStanding, kPictureUpright);
    EXPECT_EQ(listener_.CountOf(files[1]), 1u);
}

TEST_F(ThumbsBuilderThreadsTest, FileStillBeingWrittenIsWaitedFor) {
    const Paths files = Pngs("w", 2);
    int writer = ::open(files[0].c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(writer, 0);
    std::vector<int> attempts;
    ThumbsBuilderOptions options;
    options.busyRetryDelay = std::chrono::milliseconds(1);
    options.onStillBeingWritten = [&](const std::string& path, int attempt) {
        EXPECT_EQ(path, files[0]);
        attempts.push_back(attempt);
        if (attempt == 3) {
            ::close(writer);  // the copy finishes while the builder waits
            writer = -1;
        }
    };
    Pool(options).SetFiles(files);
    ASSERT_TRUE(listener_.WaitFor(files[1]));
    pool_->Stop();
    EXPECT_EQ(listener_.Paths(), files);
    EXPECT_EQ(attempts, (std::vector<int>{1, 2, 3}));
}

TEST_F(ThumbsBuilderThreadsTest, FileWrittenAllTheTimeGetsNoThumbnailUntilQueuedAgain) {
    const Paths files = Pngs("b", 2);
    const int writer = ::open(files[0].c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(writer, 0);
    std::atomic<int> looks{0};
    ThumbsBuilderOptions options;
    options.busyRetryDelay = std::chrono::milliseconds(0);
    options.onStillBeingWritten = [&](const std::string&, int) { ++looks; };
    CThumbsBuilderThreads& pool = Pool(options);
    pool.SetFiles(files);
    ASSERT_TRUE(listener_.WaitFor(files[1]));
    EXPECT_EQ(listener_.Paths(), (Paths{files[1]}));
    EXPECT_EQ(looks.load(), 8);

    ::close(writer);
    pool.PromoteFiles({files[0]});
    pool.SetFiles({files[0]});
    ASSERT_TRUE(listener_.WaitFor(files[0]));
    pool.Stop();
}

TEST_F(ThumbsBuilderThreadsTest, StopEndsAWaitForAFileBeingWrittenAndJoinsTheThreads) {
    const Paths files = Pngs("x", 3);
    const int writer = ::open(files[0].c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(writer, 0);
    std::latch waiting(1);
    std::atomic<int> looks{0};
    ThumbsBuilderOptions options;
    options.busyRetryDelay = std::chrono::hours(1);
    options.onStillBeingWritten = [&](const std::string&, int) {
        if (looks++ == 0) waiting.count_down();
    };
    Pool(options).SetFiles(files);
    waiting.wait();
    pool_->RemoveListener(&listener_);
    pool_.reset();  // returns only once both threads have ended
    EXPECT_EQ(looks.load(), 1);
    EXPECT_TRUE(listener_.Paths().empty());
    ::close(writer);
}

TEST_F(ThumbsBuilderThreadsTest, StopInTheMiddleOfAFolderLeavesNoThreadBehind) {
    const Paths files = Pngs("m", 12);
    std::latch first(1);
    listener_.onNotice = [&](const std::string& path) {
        if (path == files[0]) first.count_down();
    };
    Pool().SetFiles(files);
    first.wait();
    pool_->Stop();
    const size_t seen = listener_.Notices().size();
    pool_->SetFiles(files);  // nobody is left to do it
    pool_.reset();
    EXPECT_EQ(listener_.Notices().size(), seen);
}

TEST_F(ThumbsBuilderThreadsTest, RemovedListenerIsNoLongerInsideOrCalled) {
    const Paths files = Pngs("l", 2);
    Gate gate;
    std::atomic<bool> inside{false};
    listener_.onNotice = [&](const std::string& path) {
        if (path != files[0]) return;
        inside = true;
        gate.Enter();
        inside = false;
    };
    CThumbsBuilderThreads& pool = Pool();
    pool.SetFiles(files);
    gate.WaitEntered();
    auto removed = std::async(std::launch::async, [&] {
        pool.RemoveListener(&listener_);
        return inside.load();
    });
    // The removal cannot end while the builder is inside the listener; the wait only gives a
    // wrong implementation the time to show itself.
    EXPECT_EQ(removed.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    gate.Open();
    EXPECT_FALSE(removed.get());
    pool_->Stop();
    EXPECT_EQ(listener_.Paths(), (Paths{files[0]}));
}

TEST_F(ThumbsBuilderThreadsTest, ListenersAreCalledInRegistrationOrderAndRemovedFromInside) {
    struct Named final : IThumbUpdate {
        Named(std::vector<std::string>& log, std::string name) : log(log), name(std::move(name)) {}
        void OnThumbReady(std::string, int) override {
            log.push_back(name);
            if (onCall) onCall();
        }
        std::vector<std::string>& log;
        std::string name;
        std::function<void()> onCall;
    };
    const Paths files = Pngs("n", 2);
    std::vector<std::string> log;  // written by the first stage only
    Named a(log, "a"), b(log, "b");
    CThumbsBuilderThreads& pool = Pool();
    b.onCall = [&] { pool.RemoveListener(&b); };  // must not wait for itself
    pool.AddListener(&a);
    pool.AddListener(&b);
    pool.AddListener(&a);
    pool.SetFiles(files);
    ASSERT_TRUE(listener_.WaitFor(files[1]));
    pool.Stop();
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "a", "a", "a"}));
}

TEST_F(ThumbsBuilderThreadsTest, BothStagesRunAsBatchJobsTheSecondNicer) {
    CThumbsBuilderThreads& pool = Pool();
    const pid_t first = pool.StageThreadId(BuildStage::First), second = pool.StageThreadId(BuildStage::Second);
    EXPECT_EQ(::sched_getscheduler(first), SCHED_BATCH);
    EXPECT_EQ(::sched_getscheduler(second), SCHED_BATCH);
    // The batch policy takes no priority away: the first stage keeps the program's nice value.
    errno = 0;
    const int program = ::getpriority(PRIO_PROCESS, 0);
    EXPECT_EQ(::getpriority(PRIO_PROCESS, static_cast<id_t>(first)), program);
    EXPECT_EQ(::getpriority(PRIO_PROCESS, static_cast<id_t>(second)), std::min(program + kSecondStageNiceIncrement, 19));
    EXPECT_EQ(errno, 0);
}

TEST_F(ThumbsBuilderThreadsTest, PaintingDuringTheSecondStageSeesAPictureThatFitsItsCell) {
    // Canon_40D.jpg: a 68 x 46 preview (220 x 148 in the cell) of a 100 x 68 image (220 x 149).
    const std::string jpeg = Copy("Canon_40D.jpg", "canon.jpg");
    std::atomic<bool> done{false};
    std::atomic<int> mismatches{0};
    std::thread painter([&] {
        while (!done.load()) {
            const auto guard = cache_.Lock();
            CMapStringToObPlus::Cell cell;
            if (!cache_.Lookup(jpeg, cell)) continue;
            const DibImagePtr picture = cell->GetThumbnail();
            if (picture && (picture->width() != cell->displayWidth || picture->height() != cell->displayHeight))
                ++mismatches;
        }
    });
    Pool().SetFiles({jpeg});
    const bool finished = listener_.WaitFor(jpeg, 2);
    done = true;
    painter.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(mismatches.load(), 0);
    const auto notices = listener_.Notices();
    EXPECT_EQ(notices[0].display, (PixelSize{220, 148}));
    EXPECT_EQ(notices[1].display, (PixelSize{220, 149}));
}

}  // namespace
}  // namespace kv
