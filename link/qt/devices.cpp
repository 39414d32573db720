// The system's serial devices, as rs232.h lists and checks them: QSerialPortInfo for what the
// system has, /dev/serial/by-id for the names that stay the same when an adapter is replugged.
#include "link/com_map.h"
#include "link/qt/encoding.h"
#include "link/qt/os.h"
#include "link/rs232.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QSerialPortInfo>
#include <QStringList>

#include <algorithm>
#include <cstring>

namespace {

// USB descriptors name a device as its maker chose: as core text, nothing of it acts on a
// terminal.
template <size_t N>
void copyTo(char (&destination)[N], const QString &text) {
    const QByteArray bytes = toCoreText(text);
    const size_t length = std::min(size_t(bytes.size()), N - 1);
    std::memcpy(destination, bytes.constData(), length);
    destination[length] = '\0';
}

QList<QSerialPortInfo> systemPorts() {
    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    std::sort(ports.begin(), ports.end(), [](const QSerialPortInfo &a, const QSerialPortInfo &b) {
        return a.systemLocation() < b.systemLocation();
    });
    return ports;
}

// The first by-id name of every device that has one, by the device's own path.
QMap<QString, QString> stableNames() {
    QMap<QString, QString> names;
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    const QFileInfoList links =
        byId.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links) {
        const QString device = link.canonicalFilePath();
        if (!device.isEmpty() && !names.contains(device)) names.insert(device, link.filePath());
    }
    return names;
}

QString describe(const QSerialPortInfo &port) {
    QStringList parts;
    if (!port.description().isEmpty()) parts << port.description();
    if (!port.manufacturer().isEmpty() && !port.description().contains(port.manufacturer()))
        parts << port.manufacturer();
    if (port.hasVendorIdentifier() && port.hasProductIdentifier())
        parts << QStringLiteral("%1:%2")
                     .arg(port.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                     .arg(port.productIdentifier(), 4, 16, QLatin1Char('0'));
    if (!port.serialNumber().isEmpty()) parts << QStringLiteral("serial ") + port.serialNumber();
    return parts.join(QStringLiteral(", "));
}

} // namespace

bool listedBySystem(const QString &path) {
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    return std::any_of(ports.begin(), ports.end(), [&](const QSerialPortInfo &port) {
        return port.systemLocation() == path || port.portName() == path;
    });
}

int GetSystemComPorts(SystemComPort *ports, int capacity) {
    const QList<QSerialPortInfo> found = systemPorts();
    const QMap<QString, QString> byId = stableNames();
    for (int i = 0; i < std::min(capacity, int(found.size())); i++) {
        const QString path = found[i].systemLocation();
        copyTo(ports[i].path, path);
        copyTo(ports[i].byId, byId.value(QFileInfo(path).canonicalFilePath()));
        copyTo(ports[i].description, describe(found[i]));
    }
    return int(found.size());
}

int CheckComPort(int port) {
    if (port < 1 || port > RS232_MAX_PORTS) return RS232_BAD_PORT;
    const std::string device = devicePath(port);
    if (is_network_device(device.c_str())) return 0; // reached only by an exchange
    return checkDevice(device);
}
