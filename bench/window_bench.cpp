// The window's responsiveness (run by bench/window_compare.sh, never as a test):
//   window_bench preview PHOTO   the whole window on Qt's offscreen platform with a 1600 x 1000 view:
//                                sets 400 % and "KARVO Super-Resolution" as the bar does and reports the
//                                time until the exact preview is drawn, the largest gap between two
//                                ticks of a 10 ms timer meanwhile, and the image part the view shows
//   window_bench open PHOTO      opens the photo as the document does and decodes it whole, then ends
//                                (the start-up comparison times this process from outside)
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "app/ResizeBarControls.h"
#include "common/TestFiles.h"
#include "document/KVScaleCrafterDoc.h"
#include "engine/SanitizerThreadLimit.h"
#include "ui/bridge/ThreadCheckerOptions.h"
#include "imageio/Bitmap.h"
#include "ui/App.h"
#include "ui/frame/MainFrame.h"
#include "ui/view/KVScaleCrafterView.h"

namespace {

int OpenOnly(const char* photo) {
    kv::InitialiseImaging();
    kv::ResizeSettings settings;
    kv::CKVScaleCrafterDoc document(settings, nullptr, nullptr);
    if (!document.OnOpenDocument(photo)) return 1;
    kv::BitmapData data;
    kv::Bitmap& image = *document.Image();
    if (image.LockBits({0, 0, image.GetWidth(), image.GetHeight()}, kv::ImageLockMode::Read,
                       kv::PixelFormat24bppRGB, &data) != kv::Status::Ok)
        return 1;
    image.UnlockBits(&data);
    return 0;
}

int Preview(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    kv::test::TempDir dir;
    kv::ui::AppEnvironment environment;
    environment.folders.configHome = dir / "config";
    environment.folders.dataHome = dir / "data";
    environment.folders.cacheHome = dir / "cache";
    kv::ui::CKVScaleCrafterApp app(std::move(environment));
    if (!app.InitInstance({argv[2]})) return 1;
    kv::ui::CMainFrame& frame = app.Frame();
    kv::ui::CKVScaleCrafterView& view = frame.View();
    // A view of exactly 1600 x 1000 pixels.
    frame.resize(2200, 1300);
    QTest::qWait(50);
    const QSize viewport = view.viewport()->size();
    frame.resize(frame.size() + QSize(1600, 1000) - viewport);
    if (!QTest::qWaitFor([&] { return view.viewport()->size() == QSize(1600, 1000); }, 5000)) return 1;
    // The photo is decoded and drawn once before the measurement, as it is when the user sets a size.
    if (!QTest::qWaitFor([&] { return view.DrawingState() == "Quick drawing"; }, 10000)) return 1;

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 largestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        largestGap = std::max(largestGap, now - last);
        last = now;
    });
    // 400 % first, drawn with the standard algorithm; then the own algorithm, whose preview is timed.
    kv::ResizeBarPresenter& bar = app.Presenter();
    bar.OnSelect(kv::ResizeBarControl::IDC_OUT_UNIT, 1);
    bar.OnTextChanged(kv::ResizeBarControl::IDC_OUT_WIDTH, "400");
    QTest::qWait(300);
    clock.start();
    ticker.start();
    bar.OnSelect(kv::ResizeBarControl::IDC_ALGORITHM, 9);
    if (!QTest::qWaitFor([&] { return view.DrawingState() == "Exact preview"; }, 120000)) return 1;
    const qint64 previewNs = clock.nsecsElapsed();
    // The gap up to the preview's own paint counts too.
    largestGap = std::max(largestGap, clock.nsecsElapsed() - last);
    const kv::PixelRect part = view.VisibleImageRect();
    std::printf("preview_ms %.1f\nlargest_gui_gap_ms %.1f\nvisible_part %dx%d+%d+%d\n", previewNs / 1e6,
                largestGap / 1e6, part.Width(), part.Height(), part.left, part.top);
    frame.close();
    app.ExitInstance();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    [[maybe_unused]] const kv::SanitizerThreadLimit threadLimit;
    if (argc == 3 && std::strcmp(argv[1], "open") == 0) return OpenOnly(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "preview") == 0) return Preview(argc, argv);
    std::fprintf(stderr, "usage: window_bench preview|open PHOTO\n");
    return 2;
}
