#include "ui/bridge/DesktopTaskbar.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QVariantMap>

namespace kv::ui {

DesktopTaskbar::DesktopTaskbar(QString desktopEntry)
    : desktopEntry_(desktopEntry.isEmpty() ? QGuiApplication::desktopFileName() : std::move(desktopEntry)),
      appUri_(QStringLiteral("application://") + desktopEntry_ + QStringLiteral(".desktop")) {}

void DesktopTaskbar::SetProgress(std::optional<double> fraction) {
    if (fraction == shown_) return;
    const bool wasShown = shown_.has_value();
    shown_ = fraction;
    if (!fraction && !wasShown) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kLauncherPath),
                                                     QString::fromLatin1(kLauncherInterface), QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress"), fraction.value_or(0.0));
    properties.insert(QStringLiteral("progress-visible"), fraction.has_value());
    signal << appUri_ << properties;
    bus.send(signal);
}

void DesktopTaskbar::Notify(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), desktopEntry_);
    call << QGuiApplication::applicationDisplayName() << quint32(0) << QStringLiteral("kvscalecrafter") << summary
         << body << QStringList() << hints << qint32(-1);
    // Nobody waits for the answer: a missing service is an error reply that nobody reads.
    call.setAutoStartService(false);
    bus.send(call);
}

QString BatchEndedSummary(int failures) {
    return failures == 0 ? QStringLiteral("Batch processing finished") : QStringLiteral("Batch processing ended with errors");
}

QString BatchEndedBody(int written, int failures, qint64 elapsedMs) {
    const qint64 seconds = (elapsedMs + 500) / 1000;
    const QString took = seconds >= 60 ? QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60)
                                       : QStringLiteral("%1 s").arg(seconds);
    QString body = written == 1 ? QStringLiteral("1 image resized") : QStringLiteral("%1 images resized").arg(written);
    if (failures > 0) body += failures == 1 ? QStringLiteral(", 1 failed") : QStringLiteral(", %1 failed").arg(failures);
    return body + QStringLiteral(" in ") + took + QStringLiteral(".");
}

}  // namespace kv::ui
