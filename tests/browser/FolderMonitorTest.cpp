#include "browser/FolderMonitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "common/HeldCall.h"
#include "common/TestFiles.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using Entries = std::vector<std::string>;

// The main window and the browser in one: what the monitor posts and writes, in order.
class Journal final : public ICommandTarget, public IFolderMonitorBrowser {
public:
    void PostCommand(int id) override {
        Add(id == CommandId::ID_VIEW_REFRESH      ? "refresh"
            : id == CommandId::ID_BEGINREADFOLDER ? "read"
                                                  : "command " + std::to_string(id));
    }
    void SetCurrentFolder(const std::string& folder) override { Add("folder " + folder); }

    // The entries after those taken before, up to and including the next `entry`. The minute only
    // guards against a hang.
    Entries Until(const std::string& entry) {
        std::unique_lock lock(mutex_);
        size_t end = taken_;
        const bool found = changed_.wait_for(lock, std::chrono::minutes(1), [&] {
            for (end = taken_; end < entries_.size(); ++end)
                if (entries_[end] == entry) return true;
            return false;
        });
        if (!found) return {"no " + entry + " after", std::to_string(taken_)};
        Entries slice(entries_.begin() + static_cast<std::ptrdiff_t>(taken_),
                      entries_.begin() + static_cast<std::ptrdiff_t>(end) + 1);
        taken_ = end + 1;
        return slice;
    }

private:
    void Add(std::string entry) {
        {
            std::lock_guard lock(mutex_);
            entries_.push_back(std::move(entry));
        }
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    Entries entries_;
    size_t taken_ = 0;
};

class FolderMonitorTest : public testing::Test {
protected:
    FolderMonitorTest() {
        fs::create_directory(Watched());
        fs::create_directory(Other());
        FolderMonitorOptions options;
        options.firstCheckDelay = std::chrono::milliseconds(0);
        options.now = [this] { return FolderMonitorOptions::Clock::time_point(std::chrono::milliseconds(clockMs_.load())); };
        monitor_ = std::make_unique<CFolderMonitor>(journal_, options);
        EXPECT_TRUE(monitor_->Start());
    }

    std::string Watched() const { return (dir_ / "watched").string(); }
    std::string Other() const { return (dir_ / "other").string(); }
    // A file written elsewhere and renamed in: one event, so one notification.
    void Create(const fs::path& path) const {
        const fs::path aside = dir_ / "aside.tmp";
        std::ofstream(aside) << "picture";
        fs::rename(aside, path);
    }
    void Pass(std::chrono::milliseconds time) { clockMs_ += time.count(); }

    // Watching another folder is handled after every change made before it, so whatever the
    // monitor says about the watched folder comes before this.
    Entries UntilWatchingOther() {
        monitor_->Watch(Other(), &journal_);
        Entries entries = journal_.Until("folder " + Other());
        EXPECT_EQ(journal_.Until("read"), Entries{"read"});
        return entries;
    }

    test::TempDir dir_;
    std::atomic<int64_t> clockMs_{1'000'000};
    Journal journal_;
    std::unique_ptr<CFolderMonitor> monitor_;
};

TEST_F(FolderMonitorTest, NewFolderIsCheckedAndReadWithoutItsTrailingSeparator) {
    struct Case {
        std::string path;
        std::string folder;
        bool read;
    };
    const Case cases[] = {
        {Watched() + "/", Watched(), true},
        {"/", "/", true},  // the root keeps its separator
        {"", "", true},    // nothing to watch: the browser reads no folder
        {(dir_ / "missing").string(), (dir_ / "missing").string(), false},
    };
    for (const Case& c : cases) {
        monitor_->Watch(c.path, &journal_);
        EXPECT_EQ(journal_.Until("folder " + c.folder), Entries{"folder " + c.folder}) << c.path;
        if (c.read)
            EXPECT_EQ(journal_.Until("read"), Entries{"read"}) << c.path;
        else
            EXPECT_EQ(UntilWatchingOther(), Entries{"folder " + Other()}) << c.path;
    }
}

TEST_F(FolderMonitorTest, TenFilesCopiedInGiveOneRefreshAndAReadPerNotification) {
    monitor_->Watch(Watched(), &journal_);
    ASSERT_EQ(journal_.Until("read"), (Entries{"folder " + Watched(), "read"}));
    for (int i = 0; i < 10; ++i) fs::copy_file(test::DataPath("small.jpg"), fs::path(Watched()) / ("copy" + std::to_string(i) + ".jpg"));

    const Entries burst = UntilWatchingOther();
    ASSERT_GE(burst.size(), 4u);
    EXPECT_EQ(burst[0], "refresh");
    // Every notification writes the folder and asks for it to be read.
    for (size_t i = 1; i + 1 < burst.size(); i += 2) {
        EXPECT_EQ(burst[i], "folder " + Watched());
        EXPECT_EQ(burst[i + 1], "read");
    }
    EXPECT_EQ(burst.size() % 2, 0u);
    EXPECT_EQ(burst.back(), "folder " + Other());

    // After two quiet seconds a change begins a new burst; without them it does not.
    Pass(std::chrono::milliseconds(2000));
    Create(fs::path(Other()) / "a.jpg");
    EXPECT_EQ(journal_.Until("read"), (Entries{"refresh", "folder " + Other(), "read"}));
    Pass(std::chrono::milliseconds(1999));
    Create(fs::path(Other()) / "b.jpg");
    EXPECT_EQ(journal_.Until("read"), (Entries{"folder " + Other(), "read"}));
}

TEST_F(FolderMonitorTest, ChangesWhilePausedOrUnwatchedAreDropped) {
    monitor_->Watch(Watched(), &journal_);
    ASSERT_EQ(journal_.Until("read"), (Entries{"folder " + Watched(), "read"}));

    monitor_->Pause();
    Create(fs::path(Watched()) / "pasted.jpg");
    fs::rename(fs::path(Watched()) / "pasted.jpg", fs::path(Watched()) / "moved.jpg");
    monitor_->Resume();
    EXPECT_FALSE(monitor_->IsPaused());
    EXPECT_EQ(monitor_->WatchedFolder(), Watched());
    Create(fs::path(Watched()) / "after.jpg");
    EXPECT_EQ(journal_.Until("read"), (Entries{"refresh", "folder " + Watched(), "read"}));

    monitor_->Unwatch();
    Create(fs::path(Watched()) / "unwatched.jpg");
    EXPECT_EQ(UntilWatchingOther(), Entries{"folder " + Other()});
    EXPECT_EQ(monitor_->WatchedFolder(), Other());
}

TEST_F(FolderMonitorTest, FolderThatDisappearsIsNoLongerWatchedNorRead) {
    for (const bool removed : {true, false}) {
        SCOPED_TRACE(removed ? "removed" : "moved away");
        const fs::path folder = dir_ / "going";
        fs::create_directory(folder);
        Pass(std::chrono::milliseconds(2000));
        monitor_->Watch(folder.string(), &journal_);
        ASSERT_EQ(journal_.Until("read"), (Entries{"folder " + folder.string(), "read"}));
        if (removed)
            fs::remove(folder);
        else
            fs::rename(folder, dir_ / "gone");
        EXPECT_EQ(journal_.Until("folder " + folder.string()), (Entries{"refresh", "folder " + folder.string()}));
        EXPECT_EQ(UntilWatchingOther(), Entries{"folder " + Other()});
        fs::remove_all(dir_ / "gone");
    }
}

TEST_F(FolderMonitorTest, TheBrowserCanGoWhileTheMonitorWritesItsFolder) {
    struct HoldingBrowser final : IFolderMonitorBrowser {
        explicit HoldingBrowser(test::HeldCall& held) : call(held) {}
        void SetCurrentFolder(const std::string& folder) override {
            call.Hold();
            this->folder = folder;
        }
        test::HeldCall& call;
        std::string folder;
    };
    test::HeldCall call;
    auto browser = std::make_unique<HoldingBrowser>(call);
    monitor_->Watch(Watched(), browser.get());
    test::ExpectRemovalWaitsForTheCall(call, [&] {
        monitor_->Watch("", nullptr);
        browser.reset();
    });
    // The held call's folder was read; the empty watch told nobody; the next browser is told its folder.
    monitor_->Watch(Other(), &journal_);
    EXPECT_EQ(journal_.Until("folder " + Other()), (Entries{"read", "folder " + Other()}));
    EXPECT_EQ(journal_.Until("read"), Entries{"read"});
}

TEST_F(FolderMonitorTest, ResumeWithoutAThreadOnlyClearsThePause) {
    Journal journal;
    CFolderMonitor idle(journal);
    idle.Pause();
    EXPECT_TRUE(idle.IsPaused());
    idle.Resume();
    EXPECT_FALSE(idle.IsPaused());
}

}  // namespace
}  // namespace kv
