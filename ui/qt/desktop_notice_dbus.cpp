// Desktop notifications through the freedesktop notification service on the session bus.
#include "ui/qt/desktop_notice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

void show_desktop_notice(const QString &title, const QString &text) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify << QStringLiteral("kelvra-ascii") << 0u << QStringLiteral(KELVRA_APP_ID) << title << text
           << QStringList() << QVariantMap() << -1;
    bus.send(notify); // no answer awaited: the window never waits for the desktop
}
