#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <set>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "base/AutoResetEvent.h"
#include "browser/FileWriteProbe.h"
#include "browser/ThumbUpdate.h"
#include "browser/ThumbnailBuild.h"
#include "browser/ThumbnailCache.h"

namespace kv {

struct ThumbsBuilderOptions {
    // A file another program is still writing is looked at this many times, waiting
    // busyRetryDelay after each look, before its build is tried anyway.
    int busyAttempts = 8;
    std::chrono::milliseconds busyRetryDelay{500};
    FileWriteProbeOptions probe;
    // Told each time a file is found still being written (attempt 1, 2, ...), before the wait.
    std::function<void(const std::string& path, int attempt)> onStillBeingWritten;
};

// The second stage runs this much nicer than the first, so that full decodes yield to the quick
// thumbnails and to the rest of the program. Not at the idle policy: the stage takes the cache's
// lock, and a busy machine (a batch on every core) could keep an idle-policy thread from running
// while it holds it, and the window's paint with it.
inline constexpr int kSecondStageNiceIncrement = 5;

// Turns the files a browser shows into cells of the thumbnail cache, in the background and in two
// stages with a thread each: the first stage makes every missing cell, from the thumbnail embedded
// in the file where there is one; the second, at a lower priority and once the first has run dry,
// replaces those embedded thumbnails by thumbnails of the full images. Every new or better
// thumbnail is announced to the listeners.
//
// SetFiles, PromoteFiles and the listener calls come from the browsers' thread. The threads start
// with the pool and are stopped and joined by Stop or the destructor.
class CThumbsBuilderThreads {
public:
    explicit CThumbsBuilderThreads(CMapStringToObPlus& cache, ThumbsBuilderOptions options = {});
    ~CThumbsBuilderThreads();
    CThumbsBuilderThreads(const CThumbsBuilderThreads&) = delete;
    CThumbsBuilderThreads& operator=(const CThumbsBuilderThreads&) = delete;

    // Replaces all work of both stages by these files, in this order (a browser passes them in
    // display order). A build under way is abandoned; the new list is kept whole.
    void SetFiles(const std::vector<std::string>& files);
    // Moves these files to the front of the first stage's work, queued or not; the last of the list
    // ends up first.
    void PromoteFiles(const std::vector<std::string>& files);

    void AddListener(IThumbUpdate* listener);
    // Removes every registration of the listener. Once it returns no builder thread is inside the
    // listener or will call it, unless it is called from inside a notification.
    void RemoveListener(IThumbUpdate* listener);

    // Abandons all work and joins both threads; later calls of SetFiles queue work nobody does.
    void Stop();

    // The files waiting in a stage, head first.
    std::vector<std::string> QueuedFiles(BuildStage stage) const;
    // The thread of a stage, as the kernel knows it.
    pid_t StageThreadId(BuildStage stage) const;

private:
    struct Entry {
        uint64_t id;
        std::string path;
    };
    struct Stage {
        explicit Stage(BuildStage which) : which(which) {}
        const BuildStage which;
        mutable std::mutex lock;  // guards work
        std::list<Entry> work;
        std::atomic<bool> cancel{false};
        AutoResetEvent workEvent;
        AutoResetEvent stopEvent;
        std::atomic<pid_t> threadId{0};
        std::thread thread;
    };
    enum class Next { Continue, Return };

    void Run(Stage& stage);
    void ProcessQueue(Stage& stage);
    Next ProcessPath(Stage& stage, const std::string& path);
    Next RebuildCachedCell(Stage& stage, const std::string& path, const CMapStringToObPlus::Cell& cell);
    // Waits while another program writes the file. False when the stage was cancelled or stopped.
    bool WaitUntilWritten(Stage& stage, const std::string& path);
    void Append(Stage& stage, const std::string& path);
    // A new list cancels a stage's work; stopping cancels it for good, even though a stage clears
    // its cancel flag each time it takes up a list.
    bool Cancelled(const Stage& stage) const { return stage.cancel.load() || stopping_.load(); }
    void NotifyListeners(const std::string& path);

    void LockPath(const std::string& path);
    void UnlockPath(const std::string& path);
    class PathLock;

    Stage& StageOf(BuildStage which) { return which == BuildStage::First ? first_ : second_; }
    const Stage& StageOf(BuildStage which) const { return which == BuildStage::First ? first_ : second_; }

    CMapStringToObPlus& cache_;
    const ThumbsBuilderOptions options_;
    std::atomic<uint64_t> nextEntryId_{1};
    std::atomic<bool> stopping_{false};
    Stage first_{BuildStage::First};
    Stage second_{BuildStage::Second};

    // Listeners, and the listener lists that notifications are walking: RemoveListener waits for
    // the walks that began before it.
    std::mutex listenersLock_;
    std::condition_variable listenersWalked_;
    std::vector<IThumbUpdate*> listeners_;
    uint64_t listenersVersion_ = 0;
    std::multiset<uint64_t> walking_;

    // One lock per path being built, so two stages never build the same file's cell at once.
    struct PathEntry {
        std::mutex lock;
        int users = 0;
    };
    std::mutex pathTableLock_;
    std::unordered_map<std::string, std::unique_ptr<PathEntry>> pathLocks_;

    std::mutex stopLock_;  // serialises Stop
};

// The program's pool, building into ThumbnailCache().
CThumbsBuilderThreads& ThumbsBuilders();

}  // namespace kv
