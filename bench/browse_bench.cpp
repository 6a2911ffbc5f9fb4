// The browse window's thumbnails (run by hand, never as a test; bench/README.md):
//   browse_bench PHOTO [COUNT]   makes COUNT (1000) hard links of a 12 MP photo with an embedded
//                                preview in a folder and, on Qt's offscreen platform with a
//                                1600 x 1000 thumbnail view:
//   uncached: opens the folder with an empty cache and reports the time until the first screen of
//             cells shows its pictures, against the builder threads alone building only those
//             visible files; and the largest gap between two ticks of a 10 ms timer on the GUI
//             thread while thumbnails are built (the builders keep going after the first screen).
//   cached:   with the thumbnails in the disk cache (saved by the run before), opens the folder
//             in a fresh program state and reports the time until the first screen shows, against
//             the time to read the folder's cache file plus the time of one paint of that screen.
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <functional>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <map>
#include <mutex>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "browser/ImgThumbsBrowser.h"
#include "browser/ThumbsBuilderThreads.h"
#include "common/TestFiles.h"
#include "ui/bridge/ThreadCheckerOptions.h"
#include "ui/browser/ThumbsView.h"

namespace {

namespace fs = std::filesystem;

// Notes when the builders announced each file.
class ReadyTimes final : public kv::IThumbUpdate {
public:
    explicit ReadyTimes(const QElapsedTimer& clock) : clock_(clock) {}
    void OnThumbReady(std::string path, int) override {
        std::lock_guard guard(lock_);
        if (!times_.count(path)) times_[path] = clock_.nsecsElapsed() / 1e6;
    }
    // When the last of these files was ready, or -1.
    double LastOf(const std::vector<std::string>& files) {
        std::lock_guard guard(lock_);
        double last = 0;
        for (const std::string& file : files) {
            auto it = times_.find(file);
            if (it == times_.end()) return -1;
            last = std::max(last, it->second);
        }
        return last;
    }

private:
    const QElapsedTimer& clock_;
    std::mutex lock_;
    std::map<std::string, double> times_;
};

class NoTarget final : public kv::ICommandTarget {
public:
    void PostCommand(int) override {}
};

// Runs the event loop as the program does until the condition holds or the time is up. The
// condition is looked at every few milliseconds: what it waits for notes its own time, and a loop
// that never slept would take a core from the builders, which the program's idle loop does not.
void RunEventsUntil(const std::function<bool()>& condition, int limitMs) {
    if (condition()) return;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition()) loop.quit();
    });
    check.start(5);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
}

// The calling thread's processor time.
double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Shows the view with a client area of 1600 x 1000 pixels.
void ShowAt1600x1000(kv::ui::CThumbsView& view) {
    view.resize(1600, 1000);
    view.show();
    (void)QTest::qWaitForWindowExposed(&view);
    view.resize(view.size() + QSize(1600, 1000) - view.viewport()->size());
    QTest::qWait(20);
}

struct Screen {
    double firstScreenMs = 0;
    int cells = 0;
    double largestGapMs = 0;
    double readMs = 0;  // reading the folder, on the GUI thread
    double builtMs = 0;  // when the builders had made the last cell of the first screen
    double guiCpuMs = 0;  // the GUI thread's processor time until the first screen showed
    int paints = 0;
};

// Opens the folder in a browser over a 1600 x 1000 view and waits until every visible cell
// shows a picture. keepBuildingMs: how long to go on watching the GUI thread afterwards.
Screen OpenFolder(kv::CMapStringToObPlus& cache, const fs::path& folder, int keepBuildingMs) {
    kv::CThumbsBuilderThreads builders(cache);
    NoTarget target;
    kv::ThumbsBrowserServices services{cache, &builders};
    Screen result;
    {
        kv::CImgThumbsBrowser browser(services, target, kv::Trash(folder / ".trash-unused"));
        kv::ui::CThumbsView view(browser, kv::BrowserColors{});
        ShowAt1600x1000(view);

        QElapsedTimer clock;
        ReadyTimes ready(clock);
        builders.AddListener(&ready);
        bool done = false;
        double guiCpuAtStart = 0;
        QObject::connect(&view, &kv::ui::CThumbsView::Painted, [&](int cells, int pictures) {
            if (done || cells == 0 || pictures < cells) return;
            done = true;
            result.firstScreenMs = clock.nsecsElapsed() / 1e6;
            result.guiCpuMs = ThreadCpuMs() - guiCpuAtStart;
            result.cells = cells;
        });
        QElapsedTimer tick;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            result.largestGapMs = std::max(result.largestGapMs, tick.nsecsElapsed() / 1e6);
            tick.restart();
        });
        guiCpuAtStart = ThreadCpuMs();
        clock.start();
        tick.start();
        ticker.start();
        browser.SetFolder(folder);
        browser.ReadFolder();
        result.readMs = clock.nsecsElapsed() / 1e6;
        QObject::connect(&view, &kv::ui::CThumbsView::Painted, [&](int, int) { ++result.paints; });
        RunEventsUntil([&] { return done; }, 120000);
        std::vector<std::string> visible;
        for (size_t i = 0; i < static_cast<size_t>(result.cells) && i < browser.items().size(); ++i)
            visible.push_back(browser.items()[i].path.string());
        result.builtMs = ready.LastOf(visible);
        RunEventsUntil([] { return false; }, keepBuildingMs);
        ticker.stop();
        builders.RemoveListener(&ready);
    }
    return result;
}

// The builder threads alone, building only the files of the first screen: from handing them the
// files to their announcing the last of them.
double BuildersAlone(kv::CMapStringToObPlus& cache, const std::vector<std::string>& files) {
    kv::CThumbsBuilderThreads builders(cache);
    QElapsedTimer clock;
    ReadyTimes ready(clock);
    builders.AddListener(&ready);
    clock.start();
    builders.SetFiles(files);
    RunEventsUntil([&] { return ready.LastOf(files) >= 0; }, 120000);
    builders.RemoveListener(&ready);
    return ready.LastOf(files);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: browse_bench PHOTO [COUNT]\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    const int count = argc > 2 ? std::atoi(argv[2]) : 1000;
    kv::test::TempDir dir;
    const fs::path folder = dir / "photos";
    fs::create_directories(folder);
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "p%04d.jpg", i);
        std::error_code ec;
        fs::create_hard_link(argv[1], folder / name, ec);
        if (ec) fs::copy_file(argv[1], folder / name);
        files.push_back((folder / name).string());
    }

    // Uncached.
    int cells = 0;
    {
        kv::CMapStringToObPlus cache(dir / "cache");
        const Screen screen = OpenFolder(cache, folder, 3000);
        cells = screen.cells;
        std::printf("uncached: first screen of %d cells shown after %.1f ms (folder read in %.1f ms, last of its cells "
                    "built at %.1f ms, GUI thread busy %.1f ms of it); largest GUI gap while building %.1f ms\n",
                    screen.cells, screen.firstScreenMs, screen.readMs, screen.builtMs, screen.guiCpuMs, screen.largestGapMs);
        kv::CMapStringToObPlus alone(dir / "cache-alone");
        const std::vector<std::string> visible(files.begin(), files.begin() + std::min<size_t>(cells, files.size()));
        const double builders = BuildersAlone(alone, visible);
        std::printf("uncached: builder threads alone on those %d files %.1f ms; ratio %.2f (target <= 1.5)\n", cells,
                    builders, screen.firstScreenMs / builders);
    }

    // Cached: the cells of every photo go into the disk cache, then a fresh cache reads them back.
    {
        kv::CMapStringToObPlus cache(dir / "cache-full");
        {
            kv::CThumbsBuilderThreads builders(cache);
            builders.SetFiles(files);
            (void)QTest::qWaitFor([&] {
                kv::CMapStringToObPlus::Cell cell;
                return cache.Lookup(files.back(), cell);
            }, 600000);
            builders.Stop();
        }
        cache.SaveAll();
    }
    Screen cached;
    {
        kv::CMapStringToObPlus cache(dir / "cache-full");
        (void)cache.LoadIndex(kv::CMapStringToObPlus::LegacyFile(dir.path()));
        cached = OpenFolder(cache, folder, 0);
    }
    // The same screen in parts: reading the folder's cache file, then one paint that makes every
    // picture from the cells read (their thumbnails are decoded from the stored streams).
    double readMs = 0, paintMs = 0;
    {
        kv::CMapStringToObPlus cache(dir / "cache-full");
        (void)cache.LoadIndex(kv::CMapStringToObPlus::LegacyFile(dir.path()));
        NoTarget target;
        kv::CImgThumbsBrowser browser({cache, nullptr}, target, kv::Trash(folder / ".trash-unused"));
        kv::ui::CThumbsView view(browser, kv::BrowserColors{});
        ShowAt1600x1000(view);
        QElapsedTimer clock;
        clock.start();
        cache.ReadFolderFile(folder);
        readMs = clock.nsecsElapsed() / 1e6;
        browser.SetFolder(folder);
        browser.ReadFolder();
        clock.restart();
        view.viewport()->repaint();
        paintMs = clock.nsecsElapsed() / 1e6;
        if (view.PicturesShown() != cached.cells) std::printf("(the paint showed %d pictures)\n", view.PicturesShown());
    }
    std::printf("cached: first screen of %d cells shown after %.1f ms (GUI thread busy %.1f ms of it); reading the folder's cache file %.1f ms + "
                "one paint %.1f ms = %.1f ms\n",
                cached.cells, cached.firstScreenMs, cached.guiCpuMs, readMs, paintMs, readMs + paintMs);
    return 0;
}
