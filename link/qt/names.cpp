// The platform part of rs232.h that needs no serial port: port names, Delay and Timer.
#include "link/qt/os.h"
#include "link/rs232.h"

#include <chrono>
#include <cmath>
#include <string>
#include <thread>

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
    if (seconds > 0 && std::isfinite(seconds))
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

double Timer(void) {
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point origin = Clock::now();
    return std::chrono::duration<double>(Clock::now() - origin).count();
}
