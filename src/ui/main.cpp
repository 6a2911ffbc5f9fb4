#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <future>
#include <QIcon>
#include <QStyle>
#include <QStyleFactory>

#include "app/CommandLine.h"
#include "app/EarlyExit.h"
#include "app/PluginDescription.h"
#include "ui/bridge/Imaging.h"
#include "ui/bridge/ThreadCheckerOptions.h"
#include "ui/App.h"
#include "ui/frame/MainFrame.h"
#include "ui/frame/ToolbarIcons.h"
#include "ui/view/KVScaleCrafterView.h"

namespace {

// A desktop without an icon theme of its own (a bare X server, a minimal session) gets one of the
// installed freedesktop themes; our own drawings stand in for any icon a theme lacks.
void ChooseIconTheme() {
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor")) return;
    for (const char* theme : {"breeze", "Adwaita"}) {
        QIcon::setThemeName(QLatin1String(theme));
        if (QIcon::hasThemeIcon(QStringLiteral("document-open"))) return;
    }
    QIcon::setThemeName(current);
}

}  // namespace

int main(int argc, char** argv) {
    [[maybe_unused]] const kv::SanitizerThreadLimit threadLimit;
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    // Registering, unregistering and an automation start end before any window, so they need no
    // display (an installer may run them without one).
    const kv::StartupRequest request = kv::ParseCommandLine(arguments);
    if (request.endsEarly()) {
        QCoreApplication core(argc, argv);
        kv::RunEarlyExit(request, kv::SpecialFolders::FromSystem());
        return 0;
    }
    // A photo named on the command line is read and decoded while the toolkit connects to the
    // display and the window is built; the document takes it at the end of start-up.
    kv::ui::StartImaging();
    std::future<kv::PreparedImage> startPhoto;
    if (request.open() == kv::StartOpen::Document)
        startPhoto = std::async(std::launch::async, kv::PrepareImage, request.files.front(), true);

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KARVO Scale Crafter"));
    QApplication::setOrganizationName(QStringLiteral("KARVO Imaging"));
    QApplication::setApplicationVersion(QStringLiteral(KV_VERSION_TEXT));
    // The menu entry of the installed tree (or the one registering writes), so that the desktop shows
    // its icon and name for the window.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kv::kApplicationId));
    // Desktops without a style of their own get Qt's own desktop style rather than a bare one.
    if (QApplication::style()->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) == 0)
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    ChooseIconTheme();
    QApplication::setWindowIcon(kv::ui::ProgramIcon());

    kv::ui::AppEnvironment environment;
    environment.folders = kv::SpecialFolders::FromSystem();
    environment.startPhoto = std::move(startPhoto);
    kv::ui::CKVScaleCrafterApp app(std::move(environment));
    if (!app.InitInstance(arguments)) return 0;
    // For the start-up benchmark: the wall-clock moment the photo is first on the screen, then the end.
    if (qEnvironmentVariableIsSet("KV_REPORT_FIRST_DRAW")) {
        QObject::connect(&app.Frame().View(), &kv::ui::CKVScaleCrafterView::ImageDrawn, &application, [] {
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            std::printf("first-draw %lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }, Qt::SingleShotConnection);
    }
    const int status = QApplication::exec();
    app.ExitInstance();
    return status;
}
