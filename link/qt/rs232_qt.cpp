// rs232.h over Qt SerialPort: one QSerialPort per port slot, driven by its blocking calls.
//
// A QCoreApplication must exist (the user-interface layer's InitCVIRTE creates it), but no event
// loop has to run: every operation waits with QSerialPort's own waitFor* calls.
#include "link/com_name.h"
#include "link/qt/os.h"
#include "link/qt/text.h"
#include "link/rs232.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

constexpr int defaultTimeoutMs = 1000; // until SetComTime

struct Slot {
    std::unique_ptr<QSerialPort> serial; // set while the port is open
    QString name;                        // the device name it was opened by, "comN"
    int timeoutMs = defaultTimeoutMs;
    bool failed = false; // the device failed while open: everything but CloseCom fails
};

std::array<Slot, RS232_MAX_PORTS + 1> ports; // index 0 unused
int lastError = 0;
QByteArray lastText; // the most recent failure, naming the device and the cause
QByteArray shownText;

bool validPort(int port) {
    return port >= 1 && port <= RS232_MAX_PORTS;
}

// "com3 (/dev/ttyS2)": how texts name a port.
QString describe(int port) {
    if (!validPort(port)) return QStringLiteral("port %1").arg(port);
    const QString &name = ports[port].name;
    return QStringLiteral("%1 (%2)").arg(name.isEmpty() ? QStringLiteral("com%1").arg(port) : name,
                                         QString::fromLatin1(ComPortDevice(port)));
}

int fail(int code, const QString &text) {
    lastError = code;
    lastText = toCoreText(text);
    return code;
}

int succeed(int result) {
    lastError = 0;
    return result;
}

const char *genericText(int code) {
    switch (code) {
    case 0: return "no error";
    case RS232_NOT_OPEN: return "the port is not open";
    case RS232_BAD_PORT: return "no such port: the ports are com1 to com20";
    case RS232_NO_DEVICE: return "no such device";
    case RS232_PERMISSION: return "permission denied";
    case RS232_BUSY: return "the device is in use by another program";
    case RS232_BAD_SETTINGS: return "the device refused the line settings";
    case RS232_TIMEOUT: return "a write did not complete within the time-out";
    case RS232_IO: return "the device failed or was removed while open";
    case RS232_ALREADY_OPEN: return "the port is open already";
    case RS232_BAD_ARGUMENT: return "byte count or buffer out of range";
    default: return "unknown serial port error";
    }
}

int failOn(int port, int code) {
    return fail(code, describe(port) + QStringLiteral(": ") + QLatin1String(genericText(code)));
}

// The open slot of a port, or nullptr after recording why an operation cannot run on it.
Slot *openSlot(int port) {
    if (!validPort(port)) {
        failOn(port, RS232_BAD_PORT);
        return nullptr;
    }
    Slot &slot = ports[port];
    if (!slot.serial) {
        failOn(port, RS232_NOT_OPEN);
        return nullptr;
    }
    if (slot.failed) {
        failOn(port, RS232_IO);
        return nullptr;
    }
    return &slot;
}

// After a QSerialPort call: true, with the slot marked failed, if the device reported anything
// worse than a time-out. The serial object keeps its descriptor until CloseCom.
bool deviceFailed(Slot &slot) {
    const QSerialPort::SerialPortError error = slot.serial->error();
    slot.serial->clearError();
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError) return false;
    slot.failed = true;
    return true;
}

// Why an open failed, as a code and its cause. Qt reports a missing permission, a lock held by
// another program and an exclusive open all as PermissionError; the system tells them apart.
int openFailure(const QSerialPort &serial, const std::string &path, const std::string &device,
                QString *cause) {
    if (const int code = diagnoseDevice(device, cause)) return code;
    switch (serial.error()) {
    case QSerialPort::DeviceNotFoundError:
        *cause = QStringLiteral("no such device");
        return RS232_NO_DEVICE;
    case QSerialPort::PermissionError: *cause = busyCause(path, device); return RS232_BUSY;
    case QSerialPort::UnsupportedOperationError:
        *cause = QStringLiteral("not a serial device");
        return RS232_NO_DEVICE;
    default: *cause = serial.errorString(); return RS232_IO;
    }
}

bool configure(QSerialPort &serial, long baudRate, int parity, int dataBits, int stopBits) {
    static const QSerialPort::Parity parities[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                   QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                   QSerialPort::SpaceParity};
    if (baudRate <= 0 || baudRate > INT32_MAX || parity < 0 || parity > 4 || dataBits < 5 ||
        dataBits > 8 || stopBits < 1 || stopBits > 2)
        return false;
    return serial.setBaudRate(qint32(baudRate)) && serial.setParity(parities[parity]) &&
           serial.setDataBits(QSerialPort::DataBits(dataBits)) &&
           serial.setStopBits(stopBits == 1 ? QSerialPort::OneStop : QSerialPort::TwoStop) &&
           serial.setFlowControl(QSerialPort::NoFlowControl);
}

} // namespace

// The queue sizes are accepted but not imposed: Qt's buffers grow as needed and the driver keeps
// its own queue, so a response is never cut by a small queue.
int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int /*inputQueueSize*/, int /*outputQueueSize*/) {
    if (!validPort(port)) return failOn(port, RS232_BAD_PORT);
    Slot &slot = ports[port];
    if (slot.serial) return failOn(port, RS232_ALREADY_OPEN);

    const int named = deviceName ? parse_com_name(deviceName, std::strlen(deviceName)) : 0;
    if (named == 0)
        return fail(RS232_BAD_PORT, QStringLiteral("unknown device name \"%1\": the ports are com1 "
                                                   "to com20")
                                        .arg(QString::fromLatin1(deviceName ? deviceName : "")));

    // Opened, and so locked by Qt, by the node the path leads to: a link and the node itself,
    // or two spellings of one path, are one device with one lock.
    const std::string path = devicePath(named);
    const std::string device = resolvedDevicePath(path);
    const QString label = QStringLiteral("%1 (%2)").arg(QString::fromLatin1(deviceName),
                                                        QString::fromLatin1(ComPortDevice(named)));
    const QString name = fromSystemBytes(device);
    QString cause;
    int code = diagnoseDevice(device, &cause);
    if (code == 0) code = lockedByOther(path, device, &cause);
    if (code == 0 && QFile::encodeName(name).toStdString() != device) {
        // Qt opens a device by its name in UTF-8, which would be another path
        code = RS232_NO_DEVICE;
        cause = QStringLiteral("its path is not UTF-8; link it under a UTF-8 name");
    }
    if (code != 0) return fail(code, label + QStringLiteral(": ") + cause);
    auto serial = std::make_unique<QSerialPort>(name);
    if (!serial->open(QIODevice::ReadWrite)) {
        code = openFailure(*serial, path, device, &cause);
        return fail(code, label + QStringLiteral(": ") + cause);
    }
    if (!configure(*serial, baudRate, parity, dataBits, stopBits)) {
        serial->close();
        return fail(RS232_BAD_SETTINGS,
                    QStringLiteral("%1: the device refused the line settings (%2 baud, parity %3, "
                                   "%4 data bits, %5 stop bits)")
                        .arg(label)
                        .arg(baudRate)
                        .arg(parity)
                        .arg(dataBits)
                        .arg(stopBits));
    }
    slot.serial = std::move(serial);
    slot.name = QString::fromLatin1(deviceName);
    slot.timeoutMs = defaultTimeoutMs;
    slot.failed = false;
    return succeed(0);
}

int SetComTime(int port, double timeoutSeconds) {
    Slot *slot = openSlot(port);
    if (!slot) return lastError;
    if (!(timeoutSeconds >= 0 && timeoutSeconds <= 3600)) return failOn(port, RS232_BAD_ARGUMENT);
    slot->timeoutMs = int(std::lround(timeoutSeconds * 1000));
    return succeed(0);
}

int FlushInQ(int port) {
    Slot *slot = openSlot(port);
    if (!slot) return lastError;
    slot->serial->clear(QSerialPort::Input); // Qt's buffer and the driver's queue
    return deviceFailed(*slot) ? failOn(port, RS232_IO) : succeed(0);
}

int FlushOutQ(int port) {
    Slot *slot = openSlot(port);
    if (!slot) return lastError;
    slot->serial->clear(QSerialPort::Output);
    return deviceFailed(*slot) ? failOn(port, RS232_IO) : succeed(0);
}

int ComWrt(int port, const char *buffer, int count) {
    Slot *slot = openSlot(port);
    if (!slot) return lastError;
    if (!buffer || count < 0) return failOn(port, RS232_BAD_ARGUMENT);
    if (slot->serial->write(buffer, count) != count) {
        deviceFailed(*slot);
        slot->failed = true;
        return failOn(port, RS232_IO);
    }
    QElapsedTimer clock;
    clock.start();
    while (slot->serial->bytesToWrite() > 0) {
        const qint64 left = slot->timeoutMs - clock.elapsed();
        if (left > 0 && slot->serial->waitForBytesWritten(int(left))) continue;
        if (deviceFailed(*slot)) return failOn(port, RS232_IO);
        if (clock.elapsed() >= slot->timeoutMs) {
            slot->serial->clear(QSerialPort::Output); // nothing half-sent lingers for later
            return failOn(port, RS232_TIMEOUT);
        }
    }
    return succeed(count);
}

int ComRd(int port, char *buffer, int count) {
    Slot *slot = openSlot(port);
    if (!slot) return lastError;
    if (!buffer || count < 0) return failOn(port, RS232_BAD_ARGUMENT);
    QElapsedTimer clock;
    clock.start();
    qint64 got = 0;
    while (got < count) {
        const qint64 read = slot->serial->read(buffer + got, count - got);
        if (read < 0) {
            slot->failed = true;
            return failOn(port, RS232_IO);
        }
        got += read;
        const qint64 left = slot->timeoutMs - clock.elapsed();
        if (got == count || left <= 0) break;
        if (!slot->serial->waitForReadyRead(int(left)) && deviceFailed(*slot))
            return failOn(port, RS232_IO);
    }
    return succeed(int(got));
}

int GetInQLen(int port) {
    Slot *slot = openSlot(port);
    if (!slot) return lastError;
    slot->serial->waitForReadyRead(0);
    if (deviceFailed(*slot)) return failOn(port, RS232_IO);
    return succeed(int(qMin<qint64>(slot->serial->bytesAvailable(), INT32_MAX)));
}

int GetOutQLen(int port) {
    Slot *slot = openSlot(port);
    if (!slot) return lastError;
    slot->serial->flush(); // hands over what the driver takes without waiting
    if (deviceFailed(*slot)) return failOn(port, RS232_IO);
    return succeed(int(qMin<qint64>(slot->serial->bytesToWrite(), INT32_MAX)));
}

int CloseCom(int port) {
    if (!validPort(port)) return failOn(port, RS232_BAD_PORT);
    Slot &slot = ports[port];
    if (!slot.serial) return failOn(port, RS232_NOT_OPEN);
    slot.serial->close();
    slot.serial.reset(); // the next open starts from a fresh object, also after a failure
    slot.failed = false;
    return succeed(0);
}

int ReturnRS232Err(void) {
    return lastError;
}

const char *GetRS232ErrorString(int errorCode) {
    if (errorCode != 0 && errorCode == lastError) return lastText.constData();
    shownText = genericText(errorCode);
    return shownText.constData();
}
