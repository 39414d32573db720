// The platform part of rs232.h that needs no serial port: port names, Delay and Timer.
#include "link/com_map.h"
#include "link/qt/encoding.h"
#include "link/qt/network_address.h"
#include "link/qt/network_line.h"
#include "link/qt/os.h"
#include "link/qt/texts.h"
#include "link/qt/waits.h"
#include "link/rs232.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <string>

namespace {

// "--map comN=DEVICE"; empty: the platform's name. Read by exchanges on any thread.
std::mutex mappedLock;
std::string mapped[RS232_MAX_PORTS + 1];
// What ComPortDevice returned, kept alive until the same thread asks again.
thread_local QByteArray shown[RS232_MAX_PORTS + 1];

} // namespace

// A network name is kept as given, once it is seen to be one; the connection kept for the old
// name of the port is closed.
int MapComPort(int port, const char *path) {
    if (port < 1 || port > RS232_MAX_PORTS) return RS232_BAD_PORT;
    if (path == nullptr || *path == '\0') return RS232_BAD_ARGUMENT;
    std::string device = path;
    if (is_network_device(path)) {
        QString problem;
        if (!parseNetworkAddress(device, &problem))
            return recordFailure(RS232_BAD_ARGUMENT, problem);
    } else {
        device = absoluteDevicePath(device);
    }
    {
        const std::lock_guard<std::mutex> hold(mappedLock);
        if (mapped[port] == device) return 0;
        mapped[port] = device;
    }
    dropKeptConnection(port);
    return 0;
}

std::string devicePath(int port) {
    if (port < 1 || port > RS232_MAX_PORTS) return {};
    const std::lock_guard<std::mutex> hold(mappedLock);
    return mapped[port].empty() ? systemDeviceName(port) : mapped[port];
}

const char *ComPortDevice(int port) {
    if (port < 1 || port > RS232_MAX_PORTS) return "";
    shown[port] = toCoreText(fromSystemBytes(devicePath(port)));
    return shown[port].constData();
}

void Delay(double seconds) {
    if (!(seconds > 0 && std::isfinite(seconds))) return;
    const double ns = std::min(seconds, 1e9) * 1e9; // decades at most: no clock overflows
    waitUntil(QDeadlineTimer(std::chrono::nanoseconds(std::llround(ns)), Qt::PreciseTimer));
}

double Timer(void) {
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point origin = Clock::now();
    return std::chrono::duration<double>(Clock::now() - origin).count();
}
