// Opening network ports and keeping their connections between exchanges. A kept connection is
// held as a bare socket descriptor, not as a socket object: an object belongs to the thread that
// made it, while the next exchange, a timer or the program's end may be on another thread. The
// table of kept connections is shared by every port and thread, under one lock.
#include "link/qt/network_line.h"
#include "link/qt/os.h"
#include "link/rs232.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <array>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace {

struct KeptConnection {
    qintptr descriptor = -1; // -1: none
    std::string name;        // the port name it was opened by
    std::optional<TelnetCodec> telnet;
    double since = 0; // Timer() when it was kept
    std::thread::id keeper;
};

std::mutex keptLock;
std::array<KeptConnection, RS232_MAX_PORTS + 1> kept; // by the port that kept it; 0 unused

void closeKept(KeptConnection &connection) {
    if (connection.descriptor >= 0) closeSocket(connection.descriptor);
    connection = {};
}

// The program's end closes what is still kept (declared after the table and its lock, so
// destroyed before them).
struct CloseAtEnd {
    ~CloseAtEnd() {
        const std::lock_guard<std::mutex> hold(keptLock);
        for (KeptConnection &connection : kept) closeKept(connection);
    }
} closeAtEnd;

// Closes the idle ones; the seconds until the next of the others idles out, -1 if none is kept.
double closeIdle() {
    const std::lock_guard<std::mutex> hold(keptLock);
    const double now = Timer();
    double next = -1;
    for (KeptConnection &connection : kept) {
        if (connection.descriptor < 0) continue;
        const double left = connection.since + keptConnectionSeconds - now;
        if (left <= 0)
            closeKept(connection);
        else if (next < 0 || left < next)
            next = left;
    }
    return next;
}

// Where the application's event loop runs (in the window always, on the command line during its
// waits), a timer on its thread closes kept connections as they idle out, those that worker
// threads keep too: it is set by every close that keeps a connection (a worker thread's asks the
// application's thread to set it) and sets itself again while any connection is kept.
void setTimer() {
    QCoreApplication *application = QCoreApplication::instance();
    if (!application) return;
    if (application->thread() != QThread::currentThread()) {
        QMetaObject::invokeMethod(application, &setTimer, Qt::QueuedConnection);
        return;
    }
    static QPointer<QTimer> timer; // made and used on the application's thread only
    if (!timer) {
        timer = new QTimer(application);
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, timer, [] {
            if (const double next = closeIdle(); next >= 0) timer->start(int(next * 1000) + 50);
        });
    }
    if (!timer->isActive()) timer->start(int(keptConnectionSeconds * 1000) + 50);
}

std::optional<KeptConnection> takeKept(const std::string &name) {
    closeIdle();
    const std::lock_guard<std::mutex> hold(keptLock);
    for (KeptConnection &connection : kept)
        if (connection.descriptor >= 0 && connection.name == name)
            return std::exchange(connection, {});
    return std::nullopt;
}

} // namespace

int openNetworkLine(const std::string &name, const LineSettings &settings,
                    std::unique_ptr<NetworkDevice> *opened, QString *cause) {
    const std::optional<NetworkAddress> address = parseNetworkAddress(name, cause);
    if (!address) return RS232_BAD_PORT;
    // A kept connection whose server has gone meanwhile (restarted, or it dropped idle clients)
    // is left for a new one.
    if (std::optional<KeptConnection> connection = takeKept(name)) {
        auto device = std::make_unique<NetworkDevice>(*address);
        if (device->adopt(connection->descriptor, connection->telnet)) {
            *opened = std::move(device);
            return 0;
        }
    }
    auto device = std::make_unique<NetworkDevice>(*address);
    const int code =
        device->connectTo(settings, QDeadlineTimer(networkOpenMs, Qt::PreciseTimer), cause);
    if (code == 0) *opened = std::move(device);
    return code;
}

void closeNetworkLine(int port, const std::string &name, std::unique_ptr<NetworkDevice> device) {
    KeptConnection connection;
    connection.descriptor = device->release(&connection.telnet);
    device.reset();
    if (connection.descriptor >= 0 && port >= 1 && port <= RS232_MAX_PORTS) {
        connection.name = name;
        connection.since = Timer();
        connection.keeper = std::this_thread::get_id();
        {
            const std::lock_guard<std::mutex> hold(keptLock);
            closeKept(kept[port]);
            kept[port] = std::move(connection);
        }
        setTimer();
    } else if (connection.descriptor >= 0) {
        closeSocket(connection.descriptor);
    }
    closeIdle();
}

void dropKeptConnection(int port) {
    if (port < 1 || port > RS232_MAX_PORTS) return;
    const std::lock_guard<std::mutex> hold(keptLock);
    closeKept(kept[port]);
}

void closeStaleConnections(int opening) {
    closeIdle();
    const std::lock_guard<std::mutex> hold(keptLock);
    for (int port = 1; port <= RS232_MAX_PORTS; port++)
        if (port != opening && kept[port].keeper == std::this_thread::get_id())
            closeKept(kept[port]);
}
