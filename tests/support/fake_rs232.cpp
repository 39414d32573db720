// The scripted serial line behind fake_rs232.h.
#include "tests/support/fake_rs232.h"
#include "link/rs232.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>

namespace {

struct Arrival {
    double at;
    unsigned char byte;
};

struct Line {
    double now = 0;
    int language = 1;            // as the real layer: English until set
    std::vector<Arrival> script; // sorted by time; `next` is the first not yet arrived
    size_t next = 0;
    double noiseNext = FAKE_NEVER, noiseGap = 0;
    unsigned char noiseByte = 0;
    std::deque<Arrival> input;    // arrived, not yet read or flushed
    std::vector<double> lastRead; // when each byte of the latest ComRd arrived
    bool open[RS232_MAX_PORTS + 1] = {};
    double timeout[RS232_MAX_PORTS + 1] = {};
    int failOpens = 0;
    int writeLimit = -1; // ComWrt takes at most this many bytes; -1 all
    double unplugAt = FAKE_NEVER;
    int pendingOut = 0;
    double pendingUntil = 0;
    int lastError = 0;
    std::string written, text;
    std::vector<std::string> calls;
    std::map<int, std::string> mapped;
    std::string device;
} line;

// Moves the clock on. A caller that waits an hour of virtual time is stuck in a loop that never
// ends; the test stops there instead of hanging.
void advanceTo(double time) {
    line.now = std::max(line.now, time);
    if (line.now > 3600) {
        fprintf(stderr, "fake_rs232: an hour of virtual time has passed: endless wait\n");
        abort();
    }
}

bool anyOpen() {
    return std::any_of(std::begin(line.open), std::end(line.open), [](bool o) { return o; });
}

double nextArrival() {
    if (line.next == line.script.size()) return line.noiseNext;
    return std::min(line.script[line.next].at, line.noiseNext);
}

// Moves every byte due by now onto the input queue (or loses it while no port is open).
void pump() {
    while (nextArrival() <= line.now) {
        const double at = nextArrival();
        unsigned char byte;
        if (line.next < line.script.size() && line.script[line.next].at == at) {
            byte = line.script[line.next++].byte;
        } else {
            byte = line.noiseByte;
            line.noiseNext += line.noiseGap;
        }
        if (anyOpen()) line.input.push_back({at, byte});
    }
}

void log(const char *operation, int port) {
    line.calls.push_back(std::string(operation) + " " + std::to_string(port));
}

int result(int code) {
    line.lastError = code < 0 ? code : 0;
    return code;
}

// Logs the operation and checks the port; 0 if it may go on, else the failure code.
int enter(const char *operation, int port) {
    log(operation, port);
    pump();
    if (port < 1 || port > RS232_MAX_PORTS) return RS232_BAD_PORT;
    if (!line.open[port]) return RS232_NOT_OPEN;
    if (line.now >= line.unplugAt) return RS232_IO;
    return 0;
}

} // namespace

void fake_rs232_reset() {
    line = Line();
}

void fake_rs232_arrive(double at, std::string_view bytes, double gap) {
    for (unsigned char byte : bytes) {
        line.script.push_back({at, byte});
        at += gap;
    }
    // Scripts mostly come in order; sorting them anyway is what a fuzz target's time goes to.
    auto earlier = [](const Arrival &a, const Arrival &b) { return a.at < b.at; };
    if (!std::is_sorted(line.script.begin() + long(line.next), line.script.end(), earlier))
        std::stable_sort(line.script.begin() + long(line.next), line.script.end(), earlier);
}

void fake_rs232_noise(double from, double gap, unsigned char byte) {
    line.noiseNext = from;
    line.noiseGap = gap;
    line.noiseByte = byte;
}

void fake_rs232_limit_writes(int bytes) {
    line.writeLimit = bytes;
}

void fake_rs232_fail_opens(int code) {
    line.failOpens = code;
}
void fake_rs232_unplug(double at) {
    line.unplugAt = at;
}
void fake_rs232_output_pending(int bytes, double until) {
    line.pendingOut = bytes;
    line.pendingUntil = until;
}

double fake_rs232_now() {
    return line.now;
}
bool fake_rs232_is_open(int port) {
    return port >= 1 && port <= RS232_MAX_PORTS && line.open[port];
}
const std::string &fake_rs232_written() {
    return line.written;
}
const std::vector<std::string> &fake_rs232_calls() {
    return line.calls;
}

int fake_rs232_count(std::string_view operation) {
    return int(std::count_if(line.calls.begin(), line.calls.end(), [&](const std::string &call) {
        return std::string_view(call).substr(0, operation.size()) == operation;
    }));
}

std::string fake_rs232_text(int code) {
    return "fake rs232 error " + std::to_string(code);
}

int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize) {
    char call[160];
    snprintf(call, sizeof call, "OpenComConfig %d %s %ld %d %d %d %d %d", port, deviceName,
             baudRate, parity, dataBits, stopBits, inputQueueSize, outputQueueSize);
    line.calls.push_back(call);
    pump();
    if (port < 1 || port > RS232_MAX_PORTS) return result(RS232_BAD_PORT);
    if (line.open[port]) return result(RS232_ALREADY_OPEN);
    if (line.failOpens != 0) return result(line.failOpens);
    if (line.now >= line.unplugAt) return result(RS232_NO_DEVICE);
    line.open[port] = true;
    line.timeout[port] = 1.0;
    return result(0);
}

int SetComTime(int port, double timeoutSeconds) {
    char call[60];
    snprintf(call, sizeof call, "SetComTime %d %g", port, timeoutSeconds);
    line.calls.push_back(call);
    pump();
    if (port < 1 || port > RS232_MAX_PORTS) return result(RS232_BAD_PORT);
    if (!line.open[port]) return result(RS232_NOT_OPEN);
    line.timeout[port] = timeoutSeconds;
    return result(0);
}

int FlushInQ(int port) {
    if (int code = enter("FlushInQ", port)) return result(code);
    line.input.clear();
    return result(0);
}

int FlushOutQ(int port) {
    if (int code = enter("FlushOutQ", port)) return result(code);
    return result(0);
}

int ComWrt(int port, const char *buffer, int count) {
    if (int code = enter("ComWrt", port)) return result(code);
    if (buffer == nullptr || count < 0) return result(RS232_BAD_ARGUMENT);
    if (line.writeLimit >= 0 && count > line.writeLimit) count = line.writeLimit;
    line.written.append(buffer, size_t(count));
    return result(count);
}

int ComRd(int port, char *buffer, int count) {
    if (int code = enter("ComRd", port)) return result(code);
    if (buffer == nullptr || count < 0) return result(RS232_BAD_ARGUMENT);
    const double deadline = line.now + line.timeout[port];
    int got = 0;
    line.lastRead.clear();
    while (got < count) {
        if (!line.input.empty()) {
            buffer[got++] = char(line.input.front().byte);
            line.lastRead.push_back(line.input.front().at);
            line.input.pop_front();
            continue;
        }
        double next = std::min(nextArrival(), line.unplugAt);
        if (next > deadline) {
            advanceTo(deadline);
            break;
        }
        advanceTo(next);
        if (line.now >= line.unplugAt) return result(RS232_IO);
        pump();
    }
    return result(got);
}

int GetComRdTimes(int port, double *times, int count) {
    if (port < 1 || port > RS232_MAX_PORTS) return result(RS232_BAD_PORT);
    if (!line.open[port]) return result(RS232_NOT_OPEN);
    if (times == nullptr || count < 0) return result(RS232_BAD_ARGUMENT);
    const int filled = std::min(int(line.lastRead.size()), count);
    std::copy_n(line.lastRead.begin(), filled, times);
    return result(filled);
}

int GetInQLen(int port) {
    if (int code = enter("GetInQLen", port)) return result(code);
    return result(int(line.input.size()));
}

int GetOutQLen(int port) {
    advanceTo(line.now + FAKE_CALL_TIME);
    if (int code = enter("GetOutQLen", port)) return result(code);
    return result(line.now < line.pendingUntil ? line.pendingOut : 0);
}

int CloseCom(int port) {
    log("CloseCom", port);
    pump();
    if (port < 1 || port > RS232_MAX_PORTS) return result(RS232_BAD_PORT);
    if (!line.open[port]) return result(RS232_NOT_OPEN);
    line.open[port] = false;
    if (!anyOpen()) line.input.clear();
    return result(0);
}

// Logged and nothing more: every CloseCom of the fake closes, kept or not.
int KeepComOpen(int port, int keep) {
    char call[40];
    snprintf(call, sizeof call, "KeepComOpen %d %d", port, keep);
    line.calls.push_back(call);
    return result(port < 1 || port > RS232_MAX_PORTS ? RS232_BAD_PORT : 0);
}

int ReturnRS232Err(void) {
    return line.lastError;
}

const char *GetRS232ErrorString(int errorCode) {
    line.text = fake_rs232_text(errorCode);
    return line.text.c_str();
}

void SetRS232Language(int language) {
    line.language = language;
}

int GetRS232Language(void) {
    return line.language;
}

void Delay(double seconds) {
    char call[40];
    snprintf(call, sizeof call, "Delay %g", seconds);
    line.calls.push_back(call);
    if (seconds > 0) advanceTo(line.now + seconds);
}

double Timer(void) {
    return line.now;
}

int MapComPort(int port, const char *devicePath) {
    if (port < 1 || port > RS232_MAX_PORTS) return RS232_BAD_PORT;
    if (devicePath == nullptr || *devicePath == '\0') return RS232_BAD_ARGUMENT;
    line.mapped[port] = devicePath;
    return 0;
}

const char *ComPortDevice(int port) {
    if (port < 1 || port > RS232_MAX_PORTS) return "";
    auto found = line.mapped.find(port);
    line.device = found != line.mapped.end() ? found->second : "fake:com" + std::to_string(port);
    return line.device.c_str();
}

// The fake line is no device of the system: checks fail as opens do, and nothing is listed.
int CheckComPort(int port) {
    if (port < 1 || port > RS232_MAX_PORTS) return RS232_BAD_PORT;
    return line.failOpens;
}

int GetSystemComPorts(SystemComPort *, int) {
    return 0;
}
