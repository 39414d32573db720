// The fake chamber's answers and the exchange function over it.
#include "tests/run/fake_line.h"

#include "link/link.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

FakeLine *line; // the line of the run in progress; one runs at a time

long long clock_of(void *context) {
    return static_cast<FakeLine *>(context)->now;
}

void sleep_on(long long ms, void *context) {
    auto *l = static_cast<FakeLine *>(context);
    const double minutes = double(ms) / 60000;
    const double step = l->rate * minutes;
    l->actual = l->actual < l->set ? std::fmin(l->actual + step, l->set)
                                   : std::fmax(l->actual - step, l->set);
    l->now += ms;
}

std::string value(double v) {
    char text[320];
    std::snprintf(text, sizeof text, "%05.1f", std::round(v * 10) / 10);
    return text;
}

// The simulator's answer to command; "" for none.
std::string answer(FakeLine *l, const char *command) {
    if (std::strcmp(command, "A0") == 0) return "A0 " + value(l->actual) + " " + value(l->set);
    // NOLINTBEGIN(cert-err34-c): the runner sends these with a number it formatted itself
    if (std::strncmp(command, "a0 ", 3) == 0) return l->set = std::atof(command + 3), "a";
    if (std::strncmp(command, "u0 ", 3) == 0) return l->rate = std::atof(command + 3), "u";
    // NOLINTEND(cert-err34-c)
    if (std::strcmp(command, "F") == 0) return "F no error";
    return "";
}

int fake_exchange(const ExchangeRequest *request, ExchangeRecord *record) {
    FakeLine *l = line;
    l->exchanges++;
    l->sent.push_back(std::string(request->portName) + ":" + std::to_string(request->address) +
                      " " + request->command);
    const std::string payload = answer(l, request->command);
    int code = payload.empty() ? RECEIVE_NO_ANSWER : RECEIVE_OK;
    if ((l->faultEvery > 0 && l->exchanges % l->faultEvery == 0) ||
        std::find(l->faultAt.begin(), l->faultAt.end(), l->exchanges) != l->faultAt.end())
        code = l->faultCode;
    if (code == RECEIVE_PORT_ERROR && request->portFailure)
        request->portFailure("cannot open com1: no such device", request->context);
    fake_record(record, request->port, request->address, request->command, payload, code, l->now);
    sleep_on(code == RECEIVE_OK ? 30 : code == RECEIVE_NO_ANSWER ? 1000 : 40, l);
    return record->answered;
}

} // namespace

RunEnvironment FakeLine::environment(AlarmWatch *alarms) {
    line = this;
    return {fake_exchange, clock_of, clock_of, sleep_on, this, alarms};
}

void fake_record(ExchangeRecord *record, int port, int address, const char *command,
                 const std::string &payload, int code, long long wallMs) {
    *record = {};
    record->trigger = BY_RUN;
    record->wallMs = wallMs;
    record->port = port;
    record->address = address;
    std::snprintf(record->command, sizeof record->command, "%s", command);
    ReceiveOutcome &r = record->received;
    r.code = code;
    r.frameStart = r.decidingIndex = -1;
    record->answered = code == RECEIVE_OK;
    record->rttMs = record->answered ? 21.5 : -1;
    if (code != RECEIVE_OK && code != RECEIVE_BAD_CHECKSUM) return;
    char frame[FRAME_BUFFER_SIZE];
    r.count = create_framing(payload.c_str(), frame, address);
    std::memcpy(r.bytes, frame, size_t(r.count));
    if (code == RECEIVE_BAD_CHECKSUM) r.bytes[r.count - 2] ^= 0x01;
    r.frameStart = 0;
    r.decidingIndex = r.count - 1;
    r.decidingValue = code == RECEIVE_BAD_CHECKSUM ? 0x01 : 0x03;
}
