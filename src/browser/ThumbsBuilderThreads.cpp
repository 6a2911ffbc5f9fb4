#include "browser/ThumbsBuilderThreads.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <latch>
#include <optional>
#include <utility>

#include "base/FileStatus.h"
#include "browser/BuildProgress.h"
#include "imageio/ImageFiles.h"

namespace kv {

namespace {

// The notifying pool of the current thread, so that a listener removing itself from inside its
// notification does not wait for that very notification.
thread_local const void* t_notifyingPool = nullptr;

// Both stages run as batch jobs: waking with new files, a stage does not take the processor from
// the thread that handed them over (the window's thread, about to paint). The batch policy keeps
// the thread's share of the processor.
void SetStagePolicy(BuildStage which) {
    sched_param none{};
    (void)::sched_setscheduler(0, SCHED_BATCH, &none);
    if (which != BuildStage::Second) return;
    errno = 0;
    const auto self = static_cast<id_t>(::gettid());
    const int nice = ::getpriority(PRIO_PROCESS, self);
    if (nice == -1 && errno != 0) return;
    (void)::setpriority(PRIO_PROCESS, self, std::min(nice + kSecondStageNiceIncrement, 19));
}

}  // namespace

// Holds a path's lock for the length of a build, whatever way the build ends.
class CThumbsBuilderThreads::PathLock {
public:
    PathLock(CThumbsBuilderThreads& pool, const std::string& path) : pool_(pool), path_(path) { pool_.LockPath(path_); }
    ~PathLock() { pool_.UnlockPath(path_); }
    PathLock(const PathLock&) = delete;
    PathLock& operator=(const PathLock&) = delete;

private:
    CThumbsBuilderThreads& pool_;
    const std::string& path_;
};

CThumbsBuilderThreads::CThumbsBuilderThreads(CMapStringToObPlus& cache, ThumbsBuilderOptions options)
    : cache_(cache), options_(std::move(options)) {
    std::latch started(2);
    for (Stage* stage : {&first_, &second_}) {
        stage->thread = std::thread([this, stage, &started] {
            stage->threadId.store(::gettid());
            SetStagePolicy(stage->which);
            started.count_down();
            Run(*stage);
        });
    }
    started.wait();
}

CThumbsBuilderThreads::~CThumbsBuilderThreads() { Stop(); }

void CThumbsBuilderThreads::Stop() {
    std::lock_guard guard(stopLock_);
    stopping_.store(true);
    for (Stage* stage : {&first_, &second_}) {
        stage->cancel.store(true);
        stage->stopEvent.Set();
    }
    for (Stage* stage : {&first_, &second_})
        if (stage->thread.joinable()) stage->thread.join();
}

void CThumbsBuilderThreads::SetFiles(const std::vector<std::string>& files) {
    {
        std::lock_guard guard(second_.lock);
        second_.work.clear();
        second_.cancel.store(true);
    }
    second_.workEvent.Set();
    {
        std::lock_guard guard(first_.lock);
        first_.work.clear();
        first_.cancel.store(true);
        for (const std::string& path : files) first_.work.push_back({nextEntryId_++, path});
    }
    first_.workEvent.Set();
}

void CThumbsBuilderThreads::PromoteFiles(const std::vector<std::string>& files) {
    std::lock_guard guard(first_.lock);
    std::list<Entry>& work = first_.work;
    // An entry that is moved keeps its identity, so the thread that is building it still takes it
    // off the queue when it is done.
    std::list<Entry> moved;
    for (const std::string& path : files) {
        for (auto it = work.begin(); it != work.end(); ++it) {
            if (it->path != path) continue;
            moved.splice(moved.end(), work, it);
            break;
        }
    }
    for (const std::string& path : files) {
        auto it = moved.begin();
        while (it != moved.end() && it->path != path) ++it;
        if (it != moved.end())
            work.splice(work.begin(), moved, it);
        else
            work.push_front({nextEntryId_++, path});
    }
}

void CThumbsBuilderThreads::AddListener(IThumbUpdate* listener) {
    std::lock_guard guard(listenersLock_);
    listeners_.push_back(listener);
}

void CThumbsBuilderThreads::RemoveListener(IThumbUpdate* listener) {
    std::unique_lock guard(listenersLock_);
    for (size_t i = listeners_.size(); i-- > 0;)
        if (listeners_[i] == listener) listeners_.erase(listeners_.begin() + static_cast<std::ptrdiff_t>(i));
    const uint64_t version = ++listenersVersion_;
    if (t_notifyingPool == this) return;
    listenersWalked_.wait(guard, [&] { return walking_.empty() || *walking_.begin() >= version; });
}

std::vector<std::string> CThumbsBuilderThreads::QueuedFiles(BuildStage which) const {
    const Stage& stage = StageOf(which);
    std::lock_guard guard(stage.lock);
    std::vector<std::string> files;
    for (const Entry& entry : stage.work) files.push_back(entry.path);
    return files;
}

pid_t CThumbsBuilderThreads::StageThreadId(BuildStage which) const { return StageOf(which).threadId.load(); }

void CThumbsBuilderThreads::Run(Stage& stage) {
    try {
        const WaitSource sources[] = {stage.stopEvent.Source(), stage.workEvent.Source()};
        while (!stopping_.load()) {
            if (WaitAny(sources, kWaitInfinite) == 0) return;
            ProcessQueue(stage);
            if (stage.which == BuildStage::First) {
                std::lock_guard guard(second_.lock);
                if (!second_.work.empty()) second_.workEvent.Set();
            }
        }
    } catch (const std::exception&) {
        // A wait that fails ends the stage; nothing may escape the thread.
    }
}

void CThumbsBuilderThreads::ProcessQueue(Stage& stage) {
    {
        std::lock_guard guard(stage.lock);
        if (stage.work.empty()) return;
        stage.cancel.store(false);
    }
    for (;;) {
        if (Cancelled(stage)) return;
        Entry head;
        {
            std::lock_guard guard(stage.lock);
            if (stage.work.empty()) return;
            head = stage.work.front();
        }
        if (ProcessPath(stage, head.path) == Next::Return) return;
        // Only the entry that was processed leaves the queue: SetFiles or PromoteFiles may have put
        // other paths at its head meanwhile.
        std::lock_guard guard(stage.lock);
        for (auto it = stage.work.begin(); it != stage.work.end(); ++it) {
            if (it->id != head.id) continue;
            stage.work.erase(it);
            break;
        }
        if (stage.work.empty()) return;
    }
}

CThumbsBuilderThreads::Next CThumbsBuilderThreads::ProcessPath(Stage& stage, const std::string& path) {
    const std::optional<FileStatus> status = GetFileStatus(path);
    if (!status) return Next::Continue;  // gone since it was queued
    const int64_t fileTime = status->modified.tv_sec;

    CMapStringToObPlus::Cell cached;
    if (cache_.Lookup(path, cached)) {
        bool stale, fullQuality;
        {
            const auto guard = cache_.Lock();
            // A picture made the other way than pictures are made now (upright, or as stored) is
            // made again.
            stale = cached->fileTime != fileTime || cached->pictureStanding != PictureStandingNow() ||
                    (stage.which == BuildStage::First && !cached->HasThumbnail() && !cached->HasCompressedThumbnail());
            fullQuality = cached->fullQuality != 0;
        }
        if (!stale) {
            if (fullQuality) return Next::Continue;
            if (stage.which == BuildStage::First) {
                Append(second_, path);
                return Next::Continue;
            }
            return RebuildCachedCell(stage, path, cached);
        }
        // The other stage may have stored a fresh cell since the lookup; only this one goes.
        const auto guard = cache_.Lock();
        CMapStringToObPlus::Cell current;
        if (cache_.Lookup(path, current) && current == cached) cache_.RemoveKey(path);
    }

    auto cell = std::make_shared<CPaletteItemImg>();
    bool built = false;
    {
        const PathLock pathLock(*this, path);
        if (GetFileStatus(path) && !WaitUntilWritten(stage, path)) return Next::Return;
        CThumbsBrowserThreadsProgress progress(stage.cancel);
        try {
            built = BuildThumbnail(*cell, path, stage.which, &progress, options_.probe);
        } catch (const std::exception&) {
            built = false;
        }
    }
    if (Cancelled(stage)) return Next::Return;  // the list changed: the result is not wanted
    if (!built) return Next::Continue;
    cell->fileTime = fileTime;
    cell->hasSoundNote = HasSoundNote(path) ? 1 : 0;
    cache_.Store(path, cell);
    NotifyListeners(path);
    if (stage.which == BuildStage::First && IsSupportedImage(path)) Append(second_, path);
    return Next::Continue;
}

CThumbsBuilderThreads::Next CThumbsBuilderThreads::RebuildCachedCell(Stage& stage, const std::string& path,
                                                                     const CMapStringToObPlus::Cell& cell) {
    // The cell stays in the cache and may be painted meanwhile: the new thumbnail is made aside and
    // put in, with the facts that go with it, in one step under the cache lock.
    CellFacts facts;
    {
        const auto guard = cache_.Lock();
        facts = CellFacts::Of(*cell);
    }
    std::optional<ThumbnailUpdate> update;
    try {
        update = ProduceThumbnail(facts, path, stage.which, options_.probe);
    } catch (const std::exception&) {
        update.reset();
    }
    if (Cancelled(stage)) return Next::Return;
    if (!update) return Next::Continue;
    {
        const auto guard = cache_.Lock();
        ApplyThumbnail(*cell, std::move(*update));
    }
    NotifyListeners(path);
    return Next::Continue;
}

bool CThumbsBuilderThreads::WaitUntilWritten(Stage& stage, const std::string& path) {
    for (int attempt = 1; attempt <= options_.busyAttempts; ++attempt) {
        if (ProbeFileAccess(path, options_.probe) != FileAccess::BeingWritten) return true;
        if (options_.onStillBeingWritten) options_.onStillBeingWritten(path, attempt);
        if (stage.stopEvent.Wait(static_cast<int>(options_.busyRetryDelay.count()))) {
            stage.stopEvent.Set();  // for the thread's own wait
            return false;
        }
        if (Cancelled(stage)) return false;
    }
    return true;  // still being written: the build is tried anyway and fails if it still is
}

void CThumbsBuilderThreads::Append(Stage& stage, const std::string& path) {
    std::lock_guard guard(stage.lock);
    stage.work.push_back({nextEntryId_++, path});
}

void CThumbsBuilderThreads::NotifyListeners(const std::string& path) {
    std::vector<IThumbUpdate*> listeners;
    uint64_t version;
    {
        std::lock_guard guard(listenersLock_);
        listeners = listeners_;
        version = listenersVersion_;
        walking_.insert(version);
    }
    t_notifyingPool = this;
    for (IThumbUpdate* listener : listeners) {
        try {
            listener->OnThumbReady(path, 0);
        } catch (...) {
            // A listener's failure must not end the builder thread.
        }
    }
    t_notifyingPool = nullptr;
    {
        std::lock_guard guard(listenersLock_);
        walking_.erase(walking_.find(version));
    }
    listenersWalked_.notify_all();
}

void CThumbsBuilderThreads::LockPath(const std::string& path) {
    PathEntry* entry;
    {
        std::lock_guard guard(pathTableLock_);
        std::unique_ptr<PathEntry>& slot = pathLocks_[path];
        if (!slot) slot = std::make_unique<PathEntry>();
        ++slot->users;
        entry = slot.get();
    }
    entry->lock.lock();  // outside the table lock: the other holder needs it to let go
}

void CThumbsBuilderThreads::UnlockPath(const std::string& path) {
    std::lock_guard guard(pathTableLock_);
    const auto found = pathLocks_.find(path);
    if (found == pathLocks_.end()) return;
    found->second->lock.unlock();
    if (--found->second->users == 0) pathLocks_.erase(found);
}

CThumbsBuilderThreads& ThumbsBuilders() {
    // The cache is made first, so it is destroyed after the pool's threads are joined.
    static CThumbsBuilderThreads pool(ThumbnailCache());
    return pool;
}

}  // namespace kv
