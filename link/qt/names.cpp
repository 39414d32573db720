// The platform part of rs232.h that needs no serial port: port names, Delay and Timer.
#include "link/qt/os.h"
#include "link/qt/waits.h"
#include "link/rs232.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>

static std::string mapped[RS232_MAX_PORTS + 1]; // "--map comN=DEVICE"; empty: the platform's name
static std::string shown[RS232_MAX_PORTS + 1];  // what ComPortDevice returned, kept alive

int MapComPort(int port, const char *devicePath) {
    if (port < 1 || port > RS232_MAX_PORTS) return RS232_BAD_PORT;
    if (devicePath == nullptr || *devicePath == '\0') return RS232_BAD_ARGUMENT;
    mapped[port] = devicePath;
    return 0;
}

const char *ComPortDevice(int port) {
    if (port < 1 || port > RS232_MAX_PORTS) return "";
    if (!mapped[port].empty()) {
        shown[port] = mapped[port];
    } else {
        shown[port] = systemDeviceName(port);
    }
    return shown[port].c_str();
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
