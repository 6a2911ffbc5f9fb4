#pragma once

#include <QString>
#include <optional>

namespace kv::ui {

// What the desktop shows of a long batch run outside the window: its progress on the program's
// taskbar or dock entry (the "com.canonical.Unity.LauncherEntry" signal, which KDE's task manager,
// Dash to Dock, Plank and others read) and a notification when it ends. Both travel over the
// session's D-Bus; without a session bus, or without a notification service, nothing happens.
class DesktopTaskbar {
public:
    // desktopEntry: the program's desktop entry without ".desktop"; empty: the application's.
    explicit DesktopTaskbar(QString desktopEntry = {});

    // The progress from 0 to 1; nothing hides it.
    void SetProgress(std::optional<double> fraction);
    // A notification with a summary and a body, from the program.
    void Notify(const QString& summary, const QString& body);

    static constexpr const char* kLauncherInterface = "com.canonical.Unity.LauncherEntry";
    static constexpr const char* kLauncherPath = "/com/karvo_imaging/KVScaleCrafter/LauncherEntry";

private:
    QString desktopEntry_;
    QString appUri_;
    std::optional<double> shown_;
};

// What the notification at the end of a run says.
QString BatchEndedSummary(int failures);
QString BatchEndedBody(int written, int failures, qint64 elapsedMs);

}  // namespace kv::ui
