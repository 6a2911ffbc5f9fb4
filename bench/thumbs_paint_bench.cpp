// Painting the thumbnail grid (run by hand, never as a test):
//   thumbs_paint_bench [--runs N]
// On Qt's offscreen platform, a thumbnail view over 1000 cached cells whose pictures are only
// compressed, as the cache file leaves them. For each zoom (100 and 66) the view is sized to show
// 200 cells at once (20 columns, 10 rows) and painted whole: the first paint (which decodes the 200
// pictures), then N more paints, reported as median and worst. Then the view scrolls through all
// 1000 cells and back, a row at a time, and the number of pictures decoded is compared with the
// number of cells: a cached thumbnail must be decoded at most once per cell.
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScrollBar>
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "app/BrowserColors.h"
#include "app/ResizeSettings.h"
#include "browser/CellTestSupport.h"
#include "browser/ThumbnailCache.h"
#include "browser/ThumbsBrowser.h"
#include "common/TestFiles.h"
#include "ui/browser/ThumbsView.h"

namespace {

constexpr int kItems = 1000;
constexpr int kColumns = 20;
constexpr int kRows = 10;

double Ms(qint64 ns) { return static_cast<double>(ns) / 1e6; }

// The processor time of this thread, which other programs on a busy machine do not lengthen.
qint64 ThreadNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int Measure(int zoom, int runs, const kv::test::TempDir& dir) {
    kv::CMapStringToObPlus cache(dir / ("cache" + std::to_string(zoom)));
    kv::CItemList items;
    kv::ResizeSettings settings;
    for (int i = 0; i < kItems; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "p%04d.jpg", i);
        const std::filesystem::path path = dir / name;
        std::ofstream(path) << "x";
        // A cell as the cache file gives it back: the picture compressed, not yet decoded.
        auto cell = kv::test::MakeCell(kv::kThumbBoxWidth, kv::kThumbBoxHeight - (i % 3) * 20, true);
        cell->CompressThumbnail();
        cell->ReleaseThumbnail();
        cache.Store(path.string(), cell);
        items.Append(std::make_unique<kv::CItem>(settings, path));
    }
    kv::CThumbsBrowser browser(items, {.cache = cache, .sortMode = kv::SortMode::Name, .zoom = zoom});
    kv::ui::CThumbsView view(browser, kv::BrowserColors{});
    const kv::PixelSize cell = kv::ThumbCellSize(zoom);
    const uint64_t decodedBefore = kv::CPaletteItemImg::DecodedCount();
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.resize(kColumns * cell.width + view.verticalScrollBar()->sizeHint().width() + 2 * view.frameWidth() + 4,
                kRows * cell.height + 2 * view.frameWidth());
    // The first paint of the whole view, which decodes the 200 pictures.
    QElapsedTimer clock;
    clock.start();
    view.show();
    QApplication::processEvents();
    const qint64 first = clock.nsecsElapsed();
    const uint64_t decodedFirst = kv::CPaletteItemImg::DecodedCount() - decodedBefore;
    browser.UpdateScrollSizes();
    const kv::PixelSize client = view.ClientSize();
    const kv::ItemRange shown = browser.Grid().ItemsMeeting({0, 0, client.width, client.height});
    QPixmap target(view.viewport()->size());


    std::vector<qint64> times;
    std::vector<qint64> cpu;
    for (int i = 0; i < runs; ++i) {
        const qint64 cpuStart = ThreadNs();
        clock.restart();
        view.viewport()->render(&target, QPoint(), QRegion(), QWidget::RenderFlags());
        times.push_back(clock.nsecsElapsed());
        cpu.push_back(ThreadNs() - cpuStart);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());

    // Down through every row and back up again.
    QScrollBar* bar = view.verticalScrollBar();
    const int step = cell.height;
    for (int y = 0; y <= bar->maximum() + step; y += step) {
        bar->setValue(y);
        view.viewport()->render(&target, QPoint(), QRegion(), QWidget::RenderFlags());
    }
    for (int y = bar->maximum(); y >= -step; y -= step) {
        bar->setValue(y);
        view.viewport()->render(&target, QPoint(), QRegion(), QWidget::RenderFlags());
    }
    const uint64_t decodedAll = kv::CPaletteItemImg::DecodedCount() - decodedBefore;

    std::printf("zoom %3d: view %dx%d shows %zu cells; first show and paint %.2f ms (%llu pictures decoded); "
                "whole-view paint median %.2f ms (processor time %.2f ms), worst %.2f ms over %d runs; scrolling through %d cells "
                "and back decoded %llu pictures\n",
                zoom, view.viewport()->width(), view.viewport()->height(), shown.empty ? size_t{0} : shown.last - shown.first + 1,
                Ms(first), static_cast<unsigned long long>(decodedFirst), Ms(times[times.size() / 2]),
                Ms(cpu[cpu.size() / 2]), Ms(times.back()), runs, kItems, static_cast<unsigned long long>(decodedAll));
    return decodedAll <= static_cast<uint64_t>(kItems) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    int runs = 50;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    kv::test::TempDir dir;
    int status = 0;
    for (int zoom : {kv::kLargeIconsZoom, kv::kSmallIconsZoom}) status |= Measure(zoom, runs, dir);
    return status;
}
