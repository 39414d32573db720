// The serial layer's operating-system part on Unix: /dev/ttyS names, access checks and the
// lock files of the classic serial programs.
#include "link/qt/os.h"
#include "link/qt/texts.h"
#include "link/rs232.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

std::string systemDeviceName(int port) {
    return "/dev/ttyS" + std::to_string(port - 1);
}

int diagnoseDevice(const QString &device, QString *cause) {
    const QByteArray path = QFile::encodeName(device);
    if (access(path.constData(), F_OK) != 0) {
        *cause = noDevice();
        return RS232_NO_DEVICE;
    }
    if (access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        *cause = inLanguage(QStringLiteral("Zugriff verweigert; den Benutzer in die Gruppe dialout "
                                           "aufnehmen (sudo usermod -aG dialout $USER) und neu "
                                           "anmelden"),
                            QStringLiteral("permission denied; add the user to the dialout group "
                                           "(sudo usermod -aG dialout $USER) and log in again"));
        return RS232_PERMISSION;
    }
    return 0;
}

// Qt and the classic serial programs take a lock file "LCK..<name>" whose first line is the
// holder's process id; with no lock file the device was opened exclusively by a program that
// takes none.
QString busyCause(const QString &device) {
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QStringList directories = {"/var/lock",       "/run/lock",     "/var/spool/locks",
                                     "/var/spool/uucp", "/etc/locks",    "/tmp",
                                     "/var/tmp",        QDir::tempPath()};
    for (const QString &directory : directories) {
        QFile lock(directory + QStringLiteral("/LCK..") + name);
        if (!lock.open(QIODevice::ReadOnly)) continue;
        const qint64 pid = lock.readLine(64).trimmed().toLongLong();
        QFile command(QStringLiteral("/proc/%1/comm").arg(pid));
        if (pid > 0 && command.open(QIODevice::ReadOnly)) {
            const QString holder = QString::fromLocal8Bit(command.readAll().trimmed());
            return inLanguage(QStringLiteral("belegt von %1 (Prozess %2), der die Sperrdatei %3 "
                                             "h\u00e4lt; dieses Programm beenden und erneut "
                                             "versuchen"),
                              QStringLiteral("in use by %1 (process %2), which holds the lock file "
                                             "%3; close that program and try again"))
                .arg(holder)
                .arg(pid)
                .arg(lock.fileName());
        }
        return inLanguage(QStringLiteral("gesperrt durch die Sperrdatei %1 eines beendeten "
                                         "Programms; diese Datei l\u00f6schen und erneut "
                                         "versuchen"),
                          QStringLiteral("locked by the lock file %1 of a program that has ended; "
                                         "remove that file and try again"))
            .arg(lock.fileName());
    }
    return inLanguage(QStringLiteral("belegt von einem anderen Programm, das es exklusiv "
                                     "ge\u00f6ffnet hat; dieses Programm beenden (fuser -v %1 "
                                     "nennt es) und erneut versuchen"),
                      QStringLiteral("in use by another program that opened it exclusively; close "
                                     "that program (fuser -v %1 names it) and try again"))
        .arg(device);
}

int checkDevice(const QString &device) {
    const QByteArray path = QFile::encodeName(device);
    struct stat node;
    if (stat(path.constData(), &node) != 0 || !S_ISCHR(node.st_mode)) return RS232_NO_DEVICE;
    if (access(path.constData(), R_OK | W_OK) != 0) return RS232_PERMISSION;
    // Linux keeps /dev/ttyS nodes for serial ports that the machine does not have; only those
    // that the system lists have a port behind them.
    static const QRegularExpression builtIn(QStringLiteral("^/dev/ttyS[0-9]+$"));
    const QString canonical = QFileInfo(device).canonicalFilePath();
    if (builtIn.match(canonical).hasMatch() && !listedBySystem(canonical)) return RS232_NO_DEVICE;
    return 0;
}
