#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "base/AutoResetEvent.h"
#include "base/CommandTarget.h"
#include "base/ListenerSlot.h"

namespace kv {

// The browser a folder monitor serves: the monitor hands it the folder to read, from the
// monitor's own thread, right before it asks for the folder to be read.
class IFolderMonitorBrowser {
public:
    virtual void SetCurrentFolder(const std::string& folder) = 0;

protected:
    ~IFolderMonitorBrowser() = default;
};

// A browser's current folder, written by the monitor's thread and read by the browser's: every
// access takes its lock.
class CCurrentFolder final : public IFolderMonitorBrowser {
public:
    void SetCurrentFolder(const std::string& folder) override {
        std::lock_guard guard(lock_);
        folder_ = folder;
    }
    std::string Get() const {
        std::lock_guard guard(lock_);
        return folder_;
    }

private:
    mutable std::mutex lock_;
    std::string folder_;
};

struct FolderMonitorOptions {
    using Clock = std::chrono::steady_clock;
    // A change after this long without any event starts a new burst, which posts Refresh.
    std::chrono::milliseconds quietTime{2000};
    // The first existence check waits this long, so the window it posts to is ready.
    std::chrono::milliseconds firstCheckDelay{100};
    // How long Resume waits for the monitor to set aside the changes made while it was paused.
    std::chrono::milliseconds resumeTimeout{1000};
    std::function<Clock::time_point()> now = [] { return Clock::now(); };
};

// Watches a browser's folder on a thread of its own and asks the main window to read the folder
// again when files in it change: ID_BEGINREADFOLDER (32860) for every change notification (one
// drained read of the inotify descriptor, so a file being written is one notice, not a storm),
// and Refresh (33114) once for each burst of changes. Each newly watched folder is first checked to
// exist; a folder that has gone is no longer watched and is not read.
class CFolderMonitor {
public:
    // The events a watched folder reports: files and folders created, deleted, renamed in or out,
    // written and closed, or changed in their attributes, and the folder itself deleted or moved.
    static const uint32_t kWatchMask;

    // The main window must outlive the monitor.
    CFolderMonitor(ICommandTarget& mainWindow, FolderMonitorOptions options = {});
    // Stops and joins the thread.
    ~CFolderMonitor();
    CFolderMonitor(const CFolderMonitor&) = delete;
    CFolderMonitor& operator=(const CFolderMonitor&) = delete;

    // Starts the thread; once per monitor. False when inotify or the thread cannot be had.
    bool Start();
    // Watches a folder for a browser. An empty path watches nothing, and the browser is told to read
    // no folder. Once it returns the monitor is not inside the previous browser and will not call
    // it again, so that browser may go (Watch("", nullptr) before a browser is destroyed).
    void Watch(const std::string& path, IFolderMonitorBrowser* browser);
    void Unwatch();
    // While paused, changes are dropped: the browser pauses the monitor around its own copies,
    // moves and deletes and posts its own Refresh. Resume also drops the changes made before it,
    // once the monitor has seen them (or after resumeTimeout).
    void Pause();
    void Resume();
    bool IsPaused() const { return paused_.load(); }

    // The folder being watched, or empty when the monitor is idle.
    std::string WatchedFolder() const;

private:
    void Run();
    void StartWatching();
    void StopWatching();
    // Reads every event waiting on the inotify descriptor: true when one concerns the watched folder.
    bool DrainEvents();
    void CheckExistence();
    bool Delay(std::chrono::milliseconds delay);

    ICommandTarget& mainWindow_;
    const FolderMonitorOptions options_;
    std::atomic<bool> paused_{false};
    std::thread thread_;
    // The thread examines them in this order.
    AutoResetEvent stopEvent_;
    AutoResetEvent unwatchEvent_;
    int inotify_ = -1;
    AutoResetEvent watchRequest_;
    AutoResetEvent resumeRequest_;
    AutoResetEvent resumed_;

    mutable std::mutex pathLock_;  // guards path_, requestBrowser_ and watched_
    std::string path_;
    const IFolderMonitorBrowser* requestBrowser_ = nullptr;  // the browser of the latest request
    std::string watched_;
    const IFolderMonitorBrowser* servedBrowser_ = nullptr;  // the monitor thread's: the browser of the request it took up last
    ListenerSlot<IFolderMonitorBrowser> browser_;

    // The monitor thread's own state.
    std::string folder_;  // the folder of the last watch request, checked and handed to the browser
    int watch_ = -1;
    bool firstCheck_ = true;
    bool quiet_ = true;
    FolderMonitorOptions::Clock::time_point lastEvent_{};
};

}  // namespace kv
