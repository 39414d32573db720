// One exchange, whoever asks for it: the steps of the window's Enter and tick, on any port.
#include "exchange/exchange.h"

#include "display/format.h"
#include "link/link.h"
#include "link/rs232.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// Whose turn it is on each port. An exchange takes a ticket and waits until its number is served,
// so exchanges on one port run one at a time in the order they asked: a poller that asks again
// at once never keeps the window's exchange waiting for more than the one in progress. The wait
// polls, so that on the window's thread it keeps the window alive (Delay runs its event loop)
// where a blocking lock would freeze it.
struct Turns {
    unsigned long long next; // the ticket the next exchange takes
    unsigned long long served;
};
std::mutex turnsLock;
Turns turns[RS232_MAX_PORTS + 1]; // index 0 stands for every number outside 1..20
const double turn_poll_seconds = 0.002;

int turn_index(int port) {
    return port >= 1 && port <= RS232_MAX_PORTS ? port : 0;
}

bool is_served(int index, unsigned long long ticket) {
    const std::lock_guard<std::mutex> hold(turnsLock);
    return turns[index].served == ticket;
}

void wait_turn(int index) {
    unsigned long long ticket = 0;
    {
        const std::lock_guard<std::mutex> hold(turnsLock);
        ticket = turns[index].next++;
    }
    while (!is_served(index, ticket)) Delay(turn_poll_seconds);
}

void end_turn(int index) {
    const std::lock_guard<std::mutex> hold(turnsLock);
    turns[index].served++;
}

// Whether an exchange waits for the turn that the caller holds.
bool others_waiting(int index) {
    const std::lock_guard<std::mutex> hold(turnsLock);
    return turns[index].next - turns[index].served > 1;
}

// The port whose series the calling thread holds, 0 for none.
thread_local int seriesPort;

// What the record knows once the frame is written, before the display formatting edits it.
void begin_record(ExchangeRecord *record, const ExchangeRequest *request, const LinkExchange *x,
                  const char *frame) {
    record->trigger = request->trigger;
    record->wallMs = x->trace.writeWallMs;
    record->port = x->com_num;
    snprintf(record->device, sizeof record->device, "%s", ComPortDevice(x->com_num));
    record->address = request->address & 0xFF;
    snprintf(record->command, sizeof record->command, "%s", request->command);
    snprintf(record->sent, sizeof record->sent, "%s", frame);
    record->sentLength = (int)strlen(record->sent);
    record->writeResult = x->trace.writeResult;
    record->mode = request->mode;
    record->answered = 0;
    record->rttMs = -1;
    record->sentText[0] = record->receivedText[0] = '\0';
}

// Runs the exchange on a port it holds.
void run(const ExchangeRequest *request, ExchangeRecord *record) {
    LinkExchange x;
    char frame[FRAME_BUFFER_SIZE];
    char response[FRAME_BUFFER_SIZE];
    char display[DISPLAY_BUFFER_SIZE];
    const unsigned char address = (unsigned char)request->address;
    int received = 0;

    link_exchange_init(&x, request->port, request->portName, request->portFailure,
                       request->context);
    x.quietSeconds = request->quietSeconds;
    const int written = zeichen_senden(&x, request->command, frame, address);
    const int sent = written == (int)strlen(frame); // a failed write has been reported
    begin_record(record, request, &x, frame);
    format_sendbuffer(frame, display, request->mode);
    snprintf(record->sentText, sizeof record->sentText, "%s", display);
    if (request->written) request->written(record, request->context);

    // whatever comes after a request that did not go out is no answer to it
    if (sent && request->readAtOnce) {
        received =
            receive_from(&x, response, address, Timer() + request->waitSeconds, request->firstWait);
    } else if (sent) {
        if (request->waitSeconds > 0) Delay(request->waitSeconds);
        received = zeichen_empfangen(&x, response, address);
    }
    if (received != 0) {
        format_receivebuffer(response, display, request->mode);
        snprintf(record->receivedText, sizeof record->receivedText, "%s", display);
        record->answered = 1;
    }
    ComPortClose(&x); // the receiver has closed the port already, unless the write failed

    const ReceiveOutcome *outcome = &x.trace.receive;
    record->received = *outcome;
    record->received.flushed += x.trace.discardedBefore;
    // a plain receive begins after the wait and waits the link delay for its first byte
    const double awaited =
        request->waitSeconds +
        (request->readAtOnce ? request->firstWait : (double)LINK_DELAY_MS / 1000);
    record->received.awaitedMs =
        (int)std::lround(std::min(awaited * 1000, (double)EXCHANGE_LIMIT_MS));
    if (record->answered && outcome->decidingIndex >= 0 &&
        outcome->decidingIndex < RECEIVE_LOG_SIZE)
        record->rttMs = outcome->ms[outcome->decidingIndex];
}

} // namespace

void port_series_begin(int port) {
    if (seriesPort != 0) port_series_end(seriesPort);
    wait_turn(turn_index(port));
    seriesPort = port;
    KeepComOpen(port, 1);
}

void port_series_end(int port) {
    if (seriesPort == 0 || seriesPort != port) return;
    KeepComOpen(port, 0);
    seriesPort = 0;
    end_turn(turn_index(port));
}

void request_init(ExchangeRequest *request, int port, int address, const char *command, int mode) {
    request->port = port;
    snprintf(request->portName, sizeof request->portName, "com%d", port);
    request->address = address;
    snprintf(request->command, sizeof request->command, "%s", command ? command : "");
    request->mode = mode;
    request->trigger = BY_ENTER;
    request->waitSeconds = (double)LINK_DELAY_MS / 1000;
    request->readAtOnce = 0;
    request->firstWait = (double)LINK_DELAY_MS / 1000;
    request->quietSeconds = 0;
    request->portFailure = nullptr;
    request->written = nullptr;
    request->context = nullptr;
}

int exchange(const ExchangeRequest *request, ExchangeRecord *record) {
    if (request->command[0] == '\0') return -1;
    const int index = turn_index(request->port);
    const bool inSeries = seriesPort != 0 && seriesPort == request->port;
    // a series lets a waiting exchange go first, so a poller that never pauses (its sweep longer
    // than its interval) cannot keep the window's exchanges out
    if (inSeries && others_waiting(index)) {
        port_series_end(request->port);
        port_series_begin(request->port);
    }
    if (!inSeries) wait_turn(index);
    run(request, record);
    if (!inSeries) end_turn(index);
    return record->answered;
}
