// The platform part of rs232.h that needs no serial port: port names, Delay and Timer.
#include "link/qt/encoding.h"
#include "link/qt/os.h"
#include "link/qt/waits.h"
#include "link/rs232.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>

static std::string mapped[RS232_MAX_PORTS + 1]; // "--map comN=DEVICE"; empty: the platform's name
static QByteArray shown[RS232_MAX_PORTS + 1];   // what ComPortDevice returned, kept alive

int MapComPort(int port, const char *path) {
    if (port < 1 || port > RS232_MAX_PORTS) return RS232_BAD_PORT;
    if (path == nullptr || *path == '\0') return RS232_BAD_ARGUMENT;
    mapped[port] = absoluteDevicePath(path);
    return 0;
}

std::string devicePath(int port) {
    if (port < 1 || port > RS232_MAX_PORTS) return {};
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
