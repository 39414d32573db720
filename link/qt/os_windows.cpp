// The serial layer's operating-system part on Windows: COMn names, which are no paths and take no
// lock files; Qt's own errors tell why a port cannot be opened.
#include "link/qt/encoding.h"
#include "link/qt/os.h"
#include "link/qt/texts.h"
#include "link/rs232.h"

#include <QHostInfo>

std::string systemDeviceName(int port) {
    return "COM" + std::to_string(port);
}

std::string absoluteDevicePath(const std::string &path) {
    return path;
}

std::string resolvedDevicePath(const std::string &path) {
    return path;
}

int lockedByOther(const std::string &, const std::string &, QString *) {
    return 0; // the system itself opens a port for one program only
}

int diagnoseDevice(const std::string &, QString *) {
    return 0;
}

QString busyCause(const std::string &, const std::string &) {
    return inLanguage(QStringLiteral("von einem anderen Programm belegt; dieses Programm beenden "
                                     "und erneut versuchen"),
                      QStringLiteral("in use by another program; close that program and try "
                                     "again"));
}

int checkDevice(const std::string &device) {
    return listedBySystem(fromSystemBytes(device)) ? 0 : RS232_NO_DEVICE;
}

QList<QHostAddress> resolveHost(const QString &host, QString *cause) {
    const QHostInfo info = QHostInfo::fromName(host);
    if (info.error() != QHostInfo::NoError)
        *cause =
            inLanguage(QStringLiteral("Rechner %1 unbekannt"), QStringLiteral("unknown host %1"))
                .arg(host);
    return info.addresses();
}

// A socket is not shared here: each exchange makes its connection anew.
qintptr duplicateSocket(qintptr) {
    return -1;
}

void closeSocket(qintptr) {}
