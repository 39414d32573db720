// rs232.h over Qt's byte devices: each port slot holds a QSerialPort for a local serial device or
// a NetworkDevice for a device server on the network (tcp://, rfc2217://), opened by the opener
// of its kind (serial_line.h, network_line.h); reads, writes, waits and time stamps are the same
// for both.
//
// A QCoreApplication must exist (the user-interface layer's InitCVIRTE creates it), but no event
// loop has to run: an operation that waits runs a local one without the operator's input until
// its bytes have come or gone, and blocks on a thread without an event loop (waits.h). Exchanges
// on different ports may run on different threads at once: a slot is used by one thread at a
// time, and the most recent failure is each thread's own.
#include "link/com_map.h"
#include "link/com_name.h"
#include "link/qt/encoding.h"
#include "link/qt/network_line.h"
#include "link/qt/os.h"
#include "link/qt/serial_line.h"
#include "link/qt/texts.h"
#include "link/qt/waits.h"
#include "link/rs232.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
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

// Bytes that the device object took from the driver or the network at one moment (read through the
// slot's vector of them, which cppcheck does not follow).
struct Arrival {
    // cppcheck-suppress unusedStructMember
    double at; // Timer()
    // cppcheck-suppress unusedStructMember
    qint64 bytes;
};

struct Slot {
    std::unique_ptr<QSerialPort> serial; // one of the two is set while the port is open
    std::unique_ptr<NetworkDevice> network;
    std::string address; // the network address the connection was opened to
    QString name;        // the device name it was opened by, "comN"
    // A serial device kept open between the exchanges of a series (KeepComOpen): the path and
    // line it was opened with, for the next open of the port to take it back.
    bool keep = false;
    std::unique_ptr<QSerialPort> kept;
    std::string keptPath;
    SerialSettings keptSettings{};
    int timeoutMs = defaultTimeoutMs;
    bool failed = false; // the device failed while open: everything but CloseCom fails
    // When the bytes in the device object's buffer came, oldest first; they cover `stamped`
    // bytes. Whenever the object takes bytes from the driver or the network (while a wait runs
    // the event loop, or inside a read or a wait that blocks) it signals readyRead, and they are
    // stamped then.
    std::vector<Arrival> arrivals; // a few entries: the driver hands over bursts
    qint64 stamped = 0;
    std::vector<double> lastRead; // when each byte of the latest ComRd came

    QIODevice *device() const {
        return serial ? static_cast<QIODevice *>(serial.get()) : network.get();
    }
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

// A device that failed while open: a network connection tells its own cause.
int failIo(int port) {
    const NetworkDevice *network = ports[port].network.get();
    return network ? fail(RS232_IO, describe(port) + QStringLiteral(": ") + network->failure())
                   : failOn(port, RS232_IO);
}

// The open slot of a port, or nullptr after recording why an operation cannot run on it.
Slot *openSlot(int port) {
    if (!validPort(port)) {
        failOn(port, RS232_BAD_PORT);
        return nullptr;
    }
    Slot &slot = ports[port];
    if (!slot.device()) {
        failOn(port, RS232_NOT_OPEN);
        return nullptr;
    }
    if (slot.failed) {
        failIo(port);
        return nullptr;
    }
    return &slot;
}

// Stamps the bytes that the device object has taken in since the last stamp.
void stampArrivals(Slot &slot) {
    const qint64 buffered = slot.device()->bytesAvailable();
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

// After a device call: true, with the slot marked failed, if the device reported anything worse
// than a time-out, or the connection ended with every byte it brought read. The device object
// keeps its descriptor until CloseCom.
bool deviceFailed(Slot &slot) {
    if (slot.network) return slot.failed = slot.failed || slot.network->failed();
    const QSerialPort::SerialPortError error = slot.serial->error();
    slot.serial->clearError();
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError) return false;
    slot.failed = true;
    return true;
}

QDeadlineTimer deadlineIn(qint64 ms) {
    return QDeadlineTimer(ms, Qt::PreciseTimer);
}

// The bytes received and waiting are discarded, the driver's or the device server's too.
void discardInput(Slot &slot) {
    if (slot.network)
        slot.network->discardInput();
    else
        slot.serial->clear(QSerialPort::Input);
    forgetArrivals(slot);
}

void discardOutput(Slot &slot) {
    if (slot.network)
        slot.network->discardOutput();
    else
        slot.serial->clear(QSerialPort::Output);
}

// Closes a serial device that a series kept open.
void closeKept(Slot &slot) {
    if (!slot.kept) return;
    slot.kept->close();
    slot.kept.reset();
}

bool sameSettings(const SerialSettings &a, const SerialSettings &b) {
    return a.baudRate == b.baudRate && a.parity == b.parity && a.dataBits == b.dataBits &&
           a.stopBits == b.stopBits;
}

} // namespace

// The queue sizes are accepted but not imposed: Qt's buffers are larger than any response and the
// driver keeps its own queue, so a response is never cut by a small queue. A network port is
// opened by its own kind: tcp:// leaves the far line as the device server has set it, rfc2217://
// has the server set it to these settings.
int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int /*inputQueueSize*/, int /*outputQueueSize*/) {
    closeStaleConnections(port);
    if (!validPort(port)) return failOn(port, RS232_BAD_PORT);
    Slot &slot = ports[port];
    if (slot.device()) return failOn(port, RS232_ALREADY_OPEN);

    const int named = deviceName ? parse_com_name(deviceName, std::strlen(deviceName)) : 0;
    if (named == 0)
        return fail(RS232_BAD_PORT,
                    inLanguage(QStringLiteral("unbekannter Ger\u00e4tename \"%1\": es gibt com1 "
                                              "bis com20"),
                               QStringLiteral("unknown device name \"%1\": the ports are com1 "
                                              "to com20"))
                        .arg(QString::fromLatin1(deviceName ? deviceName : "")));

    const std::string path = devicePath(named);
    const QString label = QStringLiteral("%1 (%2)").arg(QString::fromLatin1(deviceName),
                                                        QString::fromLatin1(ComPortDevice(named)));
    const SerialSettings settings{baudRate, parity, dataBits, stopBits};
    QString cause;
    int code = 0;
    if (slot.kept && slot.keptPath == path && sameSettings(slot.keptSettings, settings)) {
        slot.serial = std::move(slot.kept); // as it was left: emptied, lines set
    } else if (!is_network_device(path.c_str())) {
        closeKept(slot);
        code = openSerialLine(path, settings, &slot.serial, &cause);
        slot.keptPath = path;
        slot.keptSettings = settings;
    } else if (closeKept(slot); !validSettings(settings)) {
        code = RS232_BAD_SETTINGS;
        cause = refusedSettings(settings);
    } else {
        const LineSettings line{quint32(baudRate), dataBits, parity + 1, stopBits};
        code = openNetworkLine(path, line, &slot.network, &cause);
        slot.address = path;
    }
    if (code != 0) return fail(code, label + QStringLiteral(": ") + cause);
    if (slot.serial)
        slot.serial->setReadBufferSize(readBufferBytes); // a network device bounds its own
    slot.name = QString::fromLatin1(deviceName);
    slot.timeoutMs = defaultTimeoutMs;
    slot.failed = false;
    forgetArrivals(slot);
    slot.lastRead.clear();
    QObject::connect(slot.device(), &QIODevice::readyRead, slot.device(),
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
    discardInput(*slot);
    return deviceFailed(*slot) ? failIo(port) : succeed(0);
}

int FlushOutQ(int port) {
    Slot *slot = openSlot(port);
    if (!slot) return lastError;
    discardOutput(*slot);
    return deviceFailed(*slot) ? failIo(port) : succeed(0);
}

int ComWrt(int port, const char *buffer, int count) {
    Slot *slot = openSlot(port);
    if (!slot) return lastError;
    if (!buffer || count < 0) return failOn(port, RS232_BAD_ARGUMENT);
    QIODevice &device = *slot->device();
    if (device.write(buffer, count) != count) {
        deviceFailed(*slot);
        slot->failed = true;
        return failIo(port);
    }
    QElapsedTimer clock;
    clock.start();
    while (device.bytesToWrite() > 0) {
        const qint64 left = slot->timeoutMs - clock.elapsed();
        if (left > 0 && waitForPort(device, PortWait::Written, deadlineIn(left))) continue;
        if (deviceFailed(*slot)) return failIo(port);
        if (clock.elapsed() >= slot->timeoutMs) {
            discardOutput(*slot); // nothing half-sent lingers for later
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
        stampArrivals(*slot); // bytes taken in without a signal come now
        const qint64 read = slot->device()->read(buffer + got, count - got);
        if (read < 0) {
            slot->failed = true;
            return failIo(port);
        }
        takeArrivals(*slot, read);
        got += read;
        const qint64 left = slot->timeoutMs - clock.elapsed();
        if (got == count || left <= 0) break;
        if (!waitForPort(*slot->device(), PortWait::Readable, deadlineIn(left)) &&
            deviceFailed(*slot))
            return failIo(port);
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
    slot->device()->waitForReadyRead(0);
    if (deviceFailed(*slot)) return failIo(port);
    return succeed(int(qMin<qint64>(slot->device()->bytesAvailable(), INT32_MAX)));
}

int GetOutQLen(int port) {
    Slot *slot = openSlot(port);
    if (!slot) return lastError;
    // hands over what the driver or the system takes without waiting
    if (slot->network)
        slot->network->flush();
    else
        slot->serial->flush();
    // A caller polls until the queue is empty: a moment's wait for what is pending keeps that
    // from spinning, and the window alive.
    QIODevice &device = *slot->device();
    if (device.bytesToWrite() > 0)
        waitForPort(device, PortWait::Written, deadlineIn(outQueuePollMs));
    if (deviceFailed(*slot)) return failIo(port);
    return succeed(int(qMin<qint64>(device.bytesToWrite(), INT32_MAX)));
}

int CloseCom(int port) {
    if (!validPort(port)) return failOn(port, RS232_BAD_PORT);
    Slot &slot = ports[port];
    if (!slot.device()) return failOn(port, RS232_NOT_OPEN);
    // the next open starts from a fresh object, also after a failure
    if (slot.network) {
        closeNetworkLine(port, slot.address, std::move(slot.network));
    } else if (slot.keep && !slot.failed) {
        slot.serial->clear(QSerialPort::AllDirections);
        QObject::disconnect(slot.serial.get(), &QIODevice::readyRead, nullptr, nullptr);
        slot.kept = std::move(slot.serial);
    } else {
        slot.serial->close();
        slot.serial.reset();
    }
    slot.failed = false;
    return succeed(0);
}

int KeepComOpen(int port, int keep) {
    if (!validPort(port)) return failOn(port, RS232_BAD_PORT);
    ports[port].keep = keep != 0;
    if (!keep) closeKept(ports[port]);
    return succeed(0);
}

int recordFailure(int code, const QString &text) {
    return fail(code, text);
}

int ReturnRS232Err(void) {
    return lastError;
}

const char *GetRS232ErrorString(int errorCode) {
    if (errorCode != 0 && errorCode == lastError) return lastText.constData();
    shownText = genericText(errorCode).toLatin1();
    return shownText.constData();
}
