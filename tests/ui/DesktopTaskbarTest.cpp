#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QTest>

#include "ui/bridge/DesktopTaskbar.h"

namespace kv::test {
namespace {

// A notification service and a dock on a bus connection of their own, recording what reaches them.
class DesktopListener final : public QObject {
    Q_OBJECT
public:
    QList<QVariantList> notifications;
    QList<QVariantMap> updates;
    QStringList updatedEntries;

public slots:
    void Update(const QString& entry, const QVariantMap& properties) {
        updatedEntries << entry;
        updates << properties;
    }
};

class NotificationService final : public QDBusVirtualObject {
public:
    explicit NotificationService(DesktopListener& listener) : listener_(listener) {}
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QStringLiteral("Notify")) return false;
        listener_.notifications << message.arguments();
        connection.send(message.createReply(QVariantList{quint32(1)}));
        return true;
    }

private:
    DesktopListener& listener_;
};

// Runs where a session bus exists (ctest starts one for it); elsewhere it has nothing to check.
TEST(DesktopTaskbar, ProgressReachesTheDockAndTheEndOfALongRunIsNotified) {
    if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus";
    QDBusConnection desktop = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("desktop"));
    ASSERT_TRUE(desktop.isConnected());
    DesktopListener listener;
    NotificationService service(listener);
    ASSERT_TRUE(desktop.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &service));
    ASSERT_TRUE(desktop.registerService(QStringLiteral("org.freedesktop.Notifications")));
    ASSERT_TRUE(desktop.connect(QString(), QString(), QString::fromLatin1(ui::DesktopTaskbar::kLauncherInterface),
                                QStringLiteral("Update"), &listener, SLOT(Update(QString, QVariantMap))));

    ui::DesktopTaskbar taskbar(QStringLiteral("KVScaleCrafter"));
    taskbar.SetProgress(0.25);
    taskbar.SetProgress(0.25);  // the same value is not sent again
    taskbar.SetProgress(std::nullopt);
    taskbar.Notify(ui::BatchEndedSummary(1), ui::BatchEndedBody(9, 1, 83'400));

    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.updates.size() == 2 && listener.notifications.size() == 1; }));
    EXPECT_EQ(listener.updatedEntries[0], "application://KVScaleCrafter.desktop");
    EXPECT_EQ(listener.updates[0].value(QStringLiteral("progress")).toDouble(), 0.25);
    EXPECT_TRUE(listener.updates[0].value(QStringLiteral("progress-visible")).toBool());
    EXPECT_FALSE(listener.updates[1].value(QStringLiteral("progress-visible")).toBool());
    const QVariantList& notification = listener.notifications[0];
    ASSERT_EQ(notification.size(), 8);
    EXPECT_EQ(notification[3].toString(), "Batch processing ended with errors");
    EXPECT_EQ(notification[4].toString(), "9 images resized, 1 failed in 1 min 23 s.");
    desktop.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("desktop"));
}

// Without a notification service nothing waits and nothing fails.
TEST(DesktopTaskbar, WithoutAServiceNothingHappens) {
    ui::DesktopTaskbar taskbar(QStringLiteral("KVScaleCrafter"));
    taskbar.SetProgress(0.5);
    taskbar.SetProgress(std::nullopt);
    taskbar.Notify(ui::BatchEndedSummary(0), ui::BatchEndedBody(1, 0, 12'000));
    EXPECT_EQ(ui::BatchEndedBody(1, 0, 12'000), "1 image resized in 12 s.");
}

}  // namespace
}  // namespace kv::test

#include "DesktopTaskbarTest.moc"
