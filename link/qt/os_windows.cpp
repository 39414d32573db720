// The serial layer's operating-system part on Windows: COMn names; Qt's own errors tell why a
// port cannot be opened.
#include "link/qt/os.h"
#include "link/qt/texts.h"
#include "link/rs232.h"

std::string systemDeviceName(int port) {
    return "COM" + std::to_string(port);
}

int diagnoseDevice(const QString &, QString *) {
    return 0;
}

QString busyCause(const QString &) {
    return inLanguage(QStringLiteral("von einem anderen Programm belegt; dieses Programm beenden "
                                     "und erneut versuchen"),
                      QStringLiteral("in use by another program; close that program and try "
                                     "again"));
}

int checkDevice(const QString &device) {
    return listedBySystem(device) ? 0 : RS232_NO_DEVICE;
}
