// Desktop notifications as balloon messages of a tray icon, shown while one is due.
#include "ui/qt/desktop_notice.h"

#include <QApplication>
#include <QSystemTrayIcon>

void show_desktop_notice(const QString &title, const QString &text) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    static QSystemTrayIcon *icon = nullptr;
    if (!icon) {
        icon = new QSystemTrayIcon(QApplication::windowIcon(), qApp);
        icon->show();
    }
    icon->showMessage(title, text, QSystemTrayIcon::Warning);
}
