#include "browser/FolderMonitor.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <exception>

#include "base/FileStatus.h"

namespace kv {

const uint32_t CFolderMonitor::kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE |
                                            IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

CFolderMonitor::CFolderMonitor(ICommandTarget& mainWindow, FolderMonitorOptions options)
    : mainWindow_(mainWindow), options_(std::move(options)) {}

CFolderMonitor::~CFolderMonitor() {
    stopEvent_.Set();
    if (thread_.joinable()) thread_.join();
    if (inotify_ >= 0) ::close(inotify_);
}

bool CFolderMonitor::Start() {
    if (thread_.joinable() || inotify_ >= 0) return false;
    inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ < 0) return false;
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void CFolderMonitor::Watch(const std::string& path, IFolderMonitorBrowser* browser) {
    {
        std::lock_guard guard(pathLock_);
        path_ = path;
        requestBrowser_ = browser;
    }
    browser_.Set(browser);
    watchRequest_.Set();
}

void CFolderMonitor::Unwatch() { unwatchEvent_.Set(); }

void CFolderMonitor::Pause() { paused_.store(true); }

void CFolderMonitor::Resume() {
    if (!thread_.joinable()) {
        paused_.store(false);
        return;
    }
    // The monitor drops whatever it has not read yet before it lets changes through again, so the
    // browser's own changes never come back as a request to read the folder.
    resumed_.Reset();
    resumeRequest_.Set();
    if (!resumed_.Wait(static_cast<int>(options_.resumeTimeout.count()))) paused_.store(false);
}

std::string CFolderMonitor::WatchedFolder() const {
    std::lock_guard guard(pathLock_);
    return watched_;
}

void CFolderMonitor::Run() {
    enum { kStop, kUnwatch, kChange, kWatchRequest, kResume };
    const WaitSource sources[] = {stopEvent_.Source(), unwatchEvent_.Source(), DescriptorSource(inotify_),
                                  watchRequest_.Source(), resumeRequest_.Source()};
    lastEvent_ = options_.now();
    try {
        for (;;) {
            const int which = WaitAny(sources, kWaitInfinite);
            // A change after a quiet spell begins a new burst.
            const auto now = options_.now();
            if (now - lastEvent_ >= options_.quietTime) quiet_ = true;
            lastEvent_ = now;
            switch (which) {
                case kStop: StopWatching(); return;
                case kUnwatch: StopWatching(); break;
                case kChange:
                    if (DrainEvents() && !paused_.load()) {
                        if (quiet_) {
                            mainWindow_.PostCommand(CommandId::ID_VIEW_REFRESH);
                            quiet_ = false;
                        }
                        CheckExistence();
                    }
                    break;
                case kWatchRequest: StartWatching(); break;
                case kResume:
                    DrainEvents();
                    paused_.store(false);
                    resumed_.Set();
                    break;
                default: break;
            }
        }
    } catch (const std::exception&) {
        // A wait that fails ends the monitor; nothing may escape the thread.
    }
    StopWatching();
}

void CFolderMonitor::StartWatching() {
    std::string path;
    {
        std::lock_guard guard(pathLock_);
        path = path_;
        servedBrowser_ = requestBrowser_;
    }
    // The browser reads the folder without its trailing separator; the root keeps its only one.
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    StopWatching();
    folder_ = path;
    if (!path.empty()) {
        const int watch = ::inotify_add_watch(inotify_, path.c_str(), kWatchMask | IN_ONLYDIR);
        // A folder that cannot be watched (no inotify watches left, a file system without them)
        // leaves the monitor idle, but the browser still reads it once.
        if (watch >= 0) {
            watch_ = watch;
            std::lock_guard guard(pathLock_);
            watched_ = path;
        }
    }
    CheckExistence();
}

void CFolderMonitor::StopWatching() {
    if (watch_ >= 0) (void)::inotify_rm_watch(inotify_, watch_);  // fails once the folder is gone
    watch_ = -1;
    std::lock_guard guard(pathLock_);
    watched_.clear();
}

bool CFolderMonitor::DrainEvents() {
    alignas(inotify_event) char buffer[16 * 1024];
    bool concernsFolder = false;
    for (;;) {
        const ssize_t got = ::read(inotify_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            // Events of a folder watched before are left over from its watch being removed.
            if ((watch_ >= 0 && event->wd == watch_) || (event->mask & IN_Q_OVERFLOW)) concernsFolder = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return concernsFolder;
}

void CFolderMonitor::CheckExistence() {
    if (firstCheck_) {
        firstCheck_ = false;
        if (!Delay(options_.firstCheckDelay)) return;
    }
    // A browser given by a newer request is told nothing of this folder: that request is taken up
    // next, and the new browser learns its own folder then.
    bool told = false;
    const bool listening = browser_.Notify([this, &told](IFolderMonitorBrowser& browser) {
        if (&browser != servedBrowser_) return;
        browser.SetCurrentFolder(folder_);
        told = true;
    });
    if (!listening || !told) return;
    if (folder_.empty() || FileExists(folder_))
        mainWindow_.PostCommand(CommandId::ID_BEGINREADFOLDER);
    else
        unwatchEvent_.Set();  // the folder has gone: stop watching it, read nothing
}

bool CFolderMonitor::Delay(std::chrono::milliseconds delay) {
    if (delay.count() <= 0) return true;
    if (!stopEvent_.Wait(static_cast<int>(delay.count()))) return true;
    stopEvent_.Set();  // for the thread's own wait
    return false;
}

}  // namespace kv
