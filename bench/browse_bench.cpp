// The browse window's thumbnails (run by hand, never as a test; bench/README.md):
//   browse_bench PHOTO [COUNT [ROUNDS]]   makes COUNT (1000) hard links of a 12 MP photo with an
//                                embedded preview in a folder and, on Qt's offscreen platform with a
//                                1600 x 1000 thumbnail view, for ROUNDS (9) rounds, then medians:
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

// How long the calling thread has waited, runnable, for a processor (the kernel's run delay).
double RunQueueWaitMs() {
    unsigned long long run = 0, waited = 0;
    FILE* file = std::fopen("/proc/thread-self/schedstat", "r");
    if (!file) return 0;
    const int read = std::fscanf(file, "%llu %llu", &run, &waited);
    std::fclose(file);
    return read == 2 ? waited / 1e6 : 0;
}

struct Screen {
    double firstScreenMs = 0;
    int cells = 0;
    double largestGapMs = 0;
    double readMs = 0;  // reading the folder, on the GUI thread
    double builtMs = 0;  // when the builders had made the last cell of the first screen
    double guiCpuMs = 0;  // the GUI thread's processor time until the first screen showed
    double guiWaitMs = 0;  // the time it waited meanwhile, ready to run, for a processor
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
        double guiCpuAtStart = 0, guiWaitAtStart = 0;
        QObject::connect(&view, &kv::ui::CThumbsView::Painted, [&](int cells, int pictures) {
            if (done || cells == 0 || pictures < cells) return;
            done = true;
            result.firstScreenMs = clock.nsecsElapsed() / 1e6;
            result.guiCpuMs = ThreadCpuMs() - guiCpuAtStart;
            result.guiWaitMs = RunQueueWaitMs() - guiWaitAtStart;
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
        guiWaitAtStart = RunQueueWaitMs();
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

// The middle value; the rounds alternate which measurement goes first, so that neither always finds
// the process warmed by the other.
double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string List(const std::vector<double>& values, int decimals = 1) {
    std::string text;
    char number[32];
    for (const double value : values) {
        std::snprintf(number, sizeof number, text.empty() ? "%.*f" : " %.*f", decimals, value);
        text += number;
    }
    return text;
}

// Reading the folder's cache file, then one paint that makes every picture from the cells read
// (their thumbnails are decoded from the stored streams), in a fresh program state.
std::pair<double, double> ReadThenPaint(const fs::path& cacheParent, const fs::path& folder, int expectedCells) {
    kv::CMapStringToObPlus cache(cacheParent);
    (void)cache.LoadIndex(kv::CMapStringToObPlus::LegacyFile(cacheParent));
    NoTarget target;
    kv::CImgThumbsBrowser browser({cache, nullptr}, target, kv::Trash(folder / ".trash-unused"));
    kv::ui::CThumbsView view(browser, kv::BrowserColors{});
    ShowAt1600x1000(view);
    QElapsedTimer clock;
    clock.start();
    cache.ReadFolderFile(folder);
    const double readMs = clock.nsecsElapsed() / 1e6;
    browser.SetFolder(folder);
    browser.ReadFolder();
    clock.restart();
    view.viewport()->repaint();
    const double paintMs = clock.nsecsElapsed() / 1e6;
    if (view.PicturesShown() != expectedCells) std::printf("(the paint showed %d pictures)\n", view.PicturesShown());
    return {readMs, paintMs};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: browse_bench PHOTO [COUNT [ROUNDS]]\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    const int count = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int rounds = std::max(1, argc > 3 ? std::atoi(argv[3]) : 9);
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

    // Uncached: every round starts from empty caches.
    std::vector<double> ratios, gaps;
    int cells = 0;
    for (int round = 0; round < rounds; ++round) {
        const fs::path roundDir = dir / ("round" + std::to_string(round));
        const auto open = [&] {
            kv::CMapStringToObPlus cache(roundDir / "cache");
            return OpenFolder(cache, folder, 3000);
        };
        const auto alone = [&](int visible) {
            kv::CMapStringToObPlus cache(roundDir / "cache-alone");
            return BuildersAlone(cache, std::vector<std::string>(files.begin(), files.begin() + std::min<size_t>(visible, files.size())));
        };
        Screen screen;
        double builders = 0;
        if (round % 2 == 0 || cells == 0) {
            screen = open();
            builders = alone(screen.cells);
        } else {
            builders = alone(cells);
            screen = open();
        }
        cells = screen.cells;
        ratios.push_back(screen.firstScreenMs / builders);
        gaps.push_back(screen.largestGapMs);
        std::printf("uncached round %d: first screen of %d cells after %.1f ms (folder read in %.1f ms, last of its cells "
                    "built at %.1f ms, GUI thread busy %.1f ms of it and waiting %.1f ms for a processor), builders alone %.1f ms: ratio %.2f; largest GUI "
                    "gap while building %.1f ms\n",
                    round + 1, screen.cells, screen.firstScreenMs, screen.readMs, screen.builtMs, screen.guiCpuMs, screen.guiWaitMs, builders,
                    ratios.back(), screen.largestGapMs);
    }

    // Cached: the cells of every photo go into the disk cache; then each round opens the folder in a
    // fresh program state and, apart, reads the cache file and paints once.
    const fs::path cacheParent = dir / "cache-full";
    {
        kv::CMapStringToObPlus cache(cacheParent);
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
    std::vector<double> shown, parts, busy, waiting;
    for (int round = 0; round < rounds; ++round) {
        const auto open = [&] {
            kv::CMapStringToObPlus cache(cacheParent);
            (void)cache.LoadIndex(kv::CMapStringToObPlus::LegacyFile(cacheParent));
            return OpenFolder(cache, folder, 0);
        };
        Screen cached;
        std::pair<double, double> readPaint;
        if (round % 2 == 0) {
            cached = open();
            readPaint = ReadThenPaint(cacheParent, folder, cached.cells);
        } else {
            readPaint = ReadThenPaint(cacheParent, folder, cells);
            cached = open();
        }
        shown.push_back(cached.firstScreenMs);
        parts.push_back(readPaint.first + readPaint.second);
        busy.push_back(cached.guiCpuMs);
        waiting.push_back(cached.guiWaitMs);
        std::printf("cached round %d: first screen of %d cells after %.1f ms (GUI thread busy %.1f ms of it and waiting "
                    "%.1f ms for a processor); reading the folder's cache file %.1f ms + one paint %.1f ms = %.1f ms\n",
                    round + 1, cached.cells, cached.firstScreenMs, cached.guiCpuMs, cached.guiWaitMs, readPaint.first,
                    readPaint.second, parts.back());
    }

    std::printf("\nmedians of %d rounds:\n", rounds);
    std::printf("uncached first screen / builders alone: %.2f (target <= 1.5; rounds %s)\n", Median(ratios), List(ratios, 2).c_str());
    std::printf("largest GUI gap while building: %.1f ms (target <= 50; rounds %s)\n", Median(gaps), List(gaps).c_str());
    std::printf("cached first screen: %.1f ms against read + paint %.1f ms (target: no more; rounds %s against %s)\n",
                Median(shown), Median(parts), List(shown).c_str(), List(parts).c_str());
    std::printf("  of which the GUI thread was busy %.1f ms and waited for a processor %.1f ms (rounds %s; %s)\n",
                Median(busy), Median(waiting), List(busy).c_str(), List(waiting).c_str());
    return 0;
}
