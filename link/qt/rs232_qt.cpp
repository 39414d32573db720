// rs232.h over Qt SerialPort: one QSerialPort per port slot.
//
// A QCoreApplication must exist (the user-interface layer's InitCVIRTE creates it), but no event
// loop has to run: an operation that waits runs a local one without the operator's input until
// its bytes have come or gone, and blocks on a thread without an event loop (waits.h).
#include "link/com_name.h"
#include "link/qt/encoding.h"
#include "link/qt/os.h"
#include "link/qt/texts.h"
#include "link/qt/waits.h"
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
#include <vector>

namespace {

constexpr int defaultTimeoutMs = 1000; // until SetComTime
constexpr int outQueuePollMs = 10;     // GetOutQLen's wait for bytes still pending
// Qt takes what the line brings whenever a wait runs the event loop; a line flooded faster than
// any baud rate (a program on a pseudo-terminal) must not grow the buffer without end. Beyond
// this the driver keeps the rest, as it did before Qt took anything.
constexpr qint64 readBufferBytes = 65536;

// Bytes that the serial object took from the driver at one moment (read through the slot's
// vector of them, which cppcheck does not follow).
struct Arrival {
    // cppcheck-suppress unusedStructMember
    double at; // Timer()
    // cppcheck-suppress unusedStructMember
    qint64 bytes;
};

struct Slot {
    std::unique_ptr<QSerialPort> serial; // set while the port is open
    QString name;                        // the device name it was opened by, "comN"
    int timeoutMs = defaultTimeoutMs;
    bool failed = false; // the device failed while open: everything but CloseCom fails
    // When the bytes in the serial object's buffer came, oldest first; they cover `stamped`
    // bytes. Whenever the serial object takes bytes from the driver (while a wait runs the event
    // loop, or inside a read) it signals readyRead, and they are stamped then.
    std::vector<Arrival> arrivals; // a few entries: the driver hands over bursts
    qint64 stamped = 0;
    std::vector<double> lastRead; // when each byte of the latest ComRd came
};

std::array<Slot, RS232_MAX_PORTS + 1> ports; // index 0 unused
// The most recent operation's result is each thread's own, as errno is: exchanges on different
// ports run on different threads.
thread_local int lastError = 0;
thread_local QByteArray lastText; // the most recent failure, naming the device and the cause
thread_local QByteArray shownText;

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

// Texts leave the layer as Latin-1, as every text the program shows.
int fail(int code, const QString &text) {
    lastError = code;
    lastText = toCoreText(text);
    return code;
}

int succeed(int result) {
    lastError = 0;
    return result;
}

QString genericText(int code) {
    switch (code) {
    case 0: return inLanguage(QStringLiteral("kein Fehler"), QStringLiteral("no error"));
    case RS232_NOT_OPEN:
        return inLanguage(QStringLiteral("die Schnittstelle ist nicht ge\u00f6ffnet"),
                          QStringLiteral("the port is not open"));
    case RS232_BAD_PORT:
        return inLanguage(QStringLiteral("keine solche Schnittstelle: es gibt com1 bis com20"),
                          QStringLiteral("no such port: the ports are com1 to com20"));
    case RS232_NO_DEVICE: return noDevice();
    case RS232_PERMISSION:
        return inLanguage(QStringLiteral("Zugriff verweigert"),
                          QStringLiteral("permission denied"));
    case RS232_BUSY:
        return inLanguage(QStringLiteral("das Ger\u00e4t ist von einem anderen Programm belegt"),
                          QStringLiteral("the device is in use by another program"));
    case RS232_BAD_SETTINGS:
        return inLanguage(QStringLiteral("das Ger\u00e4t lehnt die Leitungseinstellungen ab"),
                          QStringLiteral("the device refused the line settings"));
    case RS232_TIMEOUT:
        return inLanguage(QStringLiteral("ein Schreiben wurde in der Zeitgrenze nicht fertig"),
                          QStringLiteral("a write did not complete within the time-out"));
    case RS232_IO:
        return inLanguage(
            QStringLiteral("das Ger\u00e4t ist ausgefallen oder wurde im Betrieb entfernt"),
            QStringLiteral("the device failed or was removed while open"));
    case RS232_ALREADY_OPEN:
        return inLanguage(QStringLiteral("die Schnittstelle ist schon ge\u00f6ffnet"),
                          QStringLiteral("the port is open already"));
    case RS232_BAD_ARGUMENT:
        return inLanguage(QStringLiteral("Byteanzahl oder Puffer au\u00dferhalb des Bereichs"),
                          QStringLiteral("byte count or buffer out of range"));
    default:
        return inLanguage(QStringLiteral("unbekannter Fehler der seriellen Schnittstelle"),
                          QStringLiteral("unknown serial port error"));
    }
}

int failOn(int port, int code) {
    return fail(code, describe(port) + QStringLiteral(": ") + genericText(code));
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

// Stamps the bytes that the serial object has taken from the driver since the last stamp.
void stampArrivals(Slot &slot) {
    const qint64 buffered = slot.serial->bytesAvailable();
    if (buffered > slot.stamped) slot.arrivals.push_back({Timer(), buffered - slot.stamped});
    slot.stamped = buffered;
}

void forgetArrivals(Slot &slot) {
    slot.arrivals.clear();
    slot.stamped = 0;
}

// Hands the stamps of `count` bytes just read from the buffer on to lastRead.
void takeArrivals(Slot &slot, qint64 count) {
    for (; count > 0 && !slot.arrivals.empty(); count--, slot.stamped--) {
        slot.lastRead.push_back(slot.arrivals.front().at);
        if (--slot.arrivals.front().bytes == 0) slot.arrivals.erase(slot.arrivals.begin());
    }
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
    case QSerialPort::DeviceNotFoundError: *cause = noDevice(); return RS232_NO_DEVICE;
    case QSerialPort::PermissionError: *cause = busyCause(path, device); return RS232_BUSY;
    case QSerialPort::UnsupportedOperationError:
        *cause = inLanguage(QStringLiteral("keine serielle Schnittstelle"),
                            QStringLiteral("not a serial device"));
        return RS232_NO_DEVICE;
    default: *cause = serial.errorString(); return RS232_IO;
    }
}

QDeadlineTimer deadlineIn(qint64 ms) {
    return QDeadlineTimer(ms, Qt::PreciseTimer);
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

// The queue sizes are accepted but not imposed: Qt's buffers are larger than any response and the
// driver keeps its own queue, so a response is never cut by a small queue.
int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int /*inputQueueSize*/, int /*outputQueueSize*/) {
    if (!validPort(port)) return failOn(port, RS232_BAD_PORT);
    Slot &slot = ports[port];
    if (slot.serial) return failOn(port, RS232_ALREADY_OPEN);

    const int named = deviceName ? parse_com_name(deviceName, std::strlen(deviceName)) : 0;
    if (named == 0)
        return fail(RS232_BAD_PORT,
                    inLanguage(QStringLiteral("unbekannter Ger\u00e4tename \"%1\": es gibt com1 "
                                              "bis com20"),
                               QStringLiteral("unknown device name \"%1\": the ports are com1 "
                                              "to com20"))
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
        cause = inLanguage(QStringLiteral("sein Pfad ist kein UTF-8; das Ger\u00e4t unter einem "
                                          "UTF-8-Namen verlinken"),
                           QStringLiteral("its path is not UTF-8; link it under a UTF-8 name"));
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
                    inLanguage(QStringLiteral("%1: das Ger\u00e4t lehnt die Leitungseinstellungen "
                                              "ab (%2 Baud, Parit\u00e4t %3, %4 Datenbits, %5 "
                                              "Stoppbits)"),
                               QStringLiteral("%1: the device refused the line settings (%2 baud, "
                                              "parity %3, %4 data bits, %5 stop bits)"))
                        .arg(label)
                        .arg(baudRate)
                        .arg(parity)
                        .arg(dataBits)
                        .arg(stopBits));
    }
    serial->setReadBufferSize(readBufferBytes);
    slot.serial = std::move(serial);
    slot.name = QString::fromLatin1(deviceName);
    slot.timeoutMs = defaultTimeoutMs;
    slot.failed = false;
    forgetArrivals(slot);
    slot.lastRead.clear();
    QObject::connect(slot.serial.get(), &QSerialPort::readyRead, slot.serial.get(),
                     [&slot] { stampArrivals(slot); });
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
    forgetArrivals(*slot);
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
        if (left > 0 && waitForPort(*slot->serial, PortWait::Written, deadlineIn(left))) continue;
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
    slot->lastRead.clear();
    while (got < count) {
        stampArrivals(*slot); // bytes taken from the driver without a signal come now
        const qint64 read = slot->serial->read(buffer + got, count - got);
        if (read < 0) {
            slot->failed = true;
            return failOn(port, RS232_IO);
        }
        takeArrivals(*slot, read);
        got += read;
        const qint64 left = slot->timeoutMs - clock.elapsed();
        if (got == count || left <= 0) break;
        if (!waitForPort(*slot->serial, PortWait::Readable, deadlineIn(left)) &&
            deviceFailed(*slot))
            return failOn(port, RS232_IO);
    }
    return succeed(int(got));
}

int GetComRdTimes(int port, double *times, int count) {
    Slot *slot = openSlot(port);
    if (!slot) return lastError;
    if (!times || count < 0) return failOn(port, RS232_BAD_ARGUMENT);
    const int filled = int(std::min<size_t>(slot->lastRead.size(), size_t(count)));
    std::copy_n(slot->lastRead.begin(), filled, times);
    return succeed(filled);
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
    // A caller polls until the queue is empty: a moment's wait for what is pending keeps that
    // from spinning, and the window alive.
    if (slot->serial->bytesToWrite() > 0)
        waitForPort(*slot->serial, PortWait::Written, deadlineIn(outQueuePollMs));
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
    shownText = genericText(errorCode).toLatin1();
    return shownText.constData();
}
