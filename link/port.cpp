// Port access: the port an exchange names is opened for it and closed again.
#include "link/link.h"
#include "link/outcome.h"
#include "link/rs232.h"

#include <chrono>
#include <cstdio>

void link_exchange_init(LinkExchange *x, int port, const char *deviceName, PortFailureHook report,
                        void *context) {
    x->com_num = port;
    snprintf(x->deviceName, sizeof x->deviceName, "%s", deviceName ? deviceName : "");
    x->deadline = 0;
    x->quietSeconds = 0;
    x->openError = 0;
    x->openMessage[0] = '\0';
    x->trace.writeWallMs = 0;
    x->trace.writeStart = x->trace.writeEnd = 0;
    x->trace.writeResult = 0;
    x->trace.discardedBefore = 0;
    receive_outcome_clear(&x->trace.receive);
    x->report = report;
    x->context = context;
}

double exchange_time_left(const LinkExchange *x) {
    return x->deadline > 0 ? x->deadline - Timer() : 1e9;
}

int ComPortOpen(LinkExchange *x) {
    x->deadline = 0;
    x->openError = 0;
    x->openMessage[0] = '\0';
    const int opened = OpenComConfig(x->com_num, x->deviceName, 19200, 1, 8, 1, 2500, 2500);
    if (opened < 0) {
        x->openError = ReturnRS232Err() != 0 ? ReturnRS232Err() : opened;
        snprintf(x->openMessage, sizeof x->openMessage, "%s", GetRS232ErrorString(x->openError));
        if (x->report) x->report(x->openMessage, x->context);
    }

    // After a failed open these fail quietly, and the exchange goes on regardless.
    FlushInQ(x->com_num);
    FlushOutQ(x->com_num);
    SetComTime(x->com_num, (double)LINK_DELAY_MS / 1000);
    return 0;
}

// The wait for the output queue is bounded: a queue that never drains (a stalled driver) would
// otherwise hold the program forever. A full 2500-byte queue needs 1.4 s at 19200 baud.
int ComPortClose(LinkExchange *x) {
    const double start = Timer();

    while (GetOutQLen(x->com_num) > 0 && Timer() - start < (double)DRAIN_LIMIT_MS / 1000 &&
           exchange_time_left(x) > 0) {
    }
    CloseCom(x->com_num);
    return 0;
}

// A write that failed, or that left part of the frame unsent, is reported like a failed open and
// kept in the trace as the receive's port error, since no receive follows it. After a failed open
// the write fails only because the port is not open: the trace keeps the open's cause ("no such
// device"), while the operator is told of both failures as they happen.
static void report_write_failure(LinkExchange *x, int written, int count) {
    ReceiveOutcome *outcome = &x->trace.receive;

    outcome->code = RECEIVE_PORT_ERROR;
    if (written < 0) {
        outcome->portError = ReturnRS232Err() != 0 ? ReturnRS232Err() : written;
        snprintf(outcome->portMessage, sizeof outcome->portMessage, "%s",
                 GetRS232ErrorString(outcome->portError));
    } else { // what the driver did not take within the time-out
        outcome->portError = RS232_TIMEOUT;
        snprintf(outcome->portMessage, sizeof outcome->portMessage,
                 GetRS232Language() ? "com%d (%s): only %d of the request's %d bytes were written"
                                    : "com%d (%s): nur %d der %d Bytes der Anfrage wurden "
                                      "geschrieben",
                 x->com_num, ComPortDevice(x->com_num), written, count);
    }
    if (x->report) x->report(outcome->portMessage, x->context);
    if (x->openError != 0) {
        outcome->portError = x->openError;
        snprintf(outcome->portMessage, sizeof outcome->portMessage, "%s", x->openMessage);
    }
}

// Before a request that follows another on the line: waits until no byte has come for
// x->quietSeconds, discarding what comes, for at most EXCHANGE_LIMIT_MS. A port that fails (or
// never opened) ends the wait; the write then tells.
static void wait_for_quiet_line(LinkExchange *x) {
    if (!(x->quietSeconds > 0)) return;
    const double limit = Timer() + (double)EXCHANGE_LIMIT_MS / 1000;
    double timeout = -1, left = 0;
    char byte = 0;

    while ((left = limit - Timer()) > 0) {
        const double wait = left < x->quietSeconds ? left : x->quietSeconds;
        if (wait != timeout) SetComTime(x->com_num, timeout = wait);
        if (ComRd(x->com_num, &byte, 1) != 1) break;
        x->trace.discardedBefore++;
    }
    SetComTime(x->com_num, (double)LINK_DELAY_MS / 1000);
}

// Besides its result, the write leaves in the trace when it began and ended, so that the
// receiver can tell when each byte of the response came.
int zeichen_senden(LinkExchange *x, const char *text, char *frame, unsigned char address) {
    LinkTrace *trace = &x->trace;

    ComPortOpen(x);
    trace->discardedBefore = 0;
    if (x->openError == 0) wait_for_quiet_line(x);
    int count = create_framing(text, frame, address);

    receive_outcome_clear(&trace->receive);
    trace->writeWallMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    trace->writeStart = Timer();
    x->deadline = trace->writeStart + (double)EXCHANGE_LIMIT_MS / 1000;
    trace->writeResult = ComWrt(x->com_num, frame, count);
    trace->writeEnd = Timer();
    if (trace->writeResult != count) report_write_failure(x, trace->writeResult, count);
    return trace->writeResult;
}
