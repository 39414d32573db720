// Port access: the port selected on the main panel is opened for one exchange and closed again.
#include "link/link.h"
#include "link/outcome.h"
#include "link/rs232.h"
#include "ui/ascii.h"
#include "ui/panel_handles.h"
#include "ui/userint.h"

#include <chrono>
#include <cstdio>

int com_num = -1;

// Timer() by which the exchange in progress must have closed the port; 0 before its write.
static double exchange_deadline;

double exchange_time_left(void) {
    return exchange_deadline > 0 ? exchange_deadline - Timer() : 1e9;
}

int ComPortOpen(void) {
    int index = 0;
    char deviceName[20] = "";

    exchange_deadline = 0;
    GetCtrlVal(main_panel, RING_COM, &com_num);
    GetCtrlIndex(main_panel, RING_COM, &index);
    GetLabelFromIndex(main_panel, RING_COM, index, deviceName);

    if (OpenComConfig(com_num, deviceName, 19200, 1, 8, 1, 2500, 2500) < 0)
        MessagePopup("RS-232 Message", GetRS232ErrorString(ReturnRS232Err()));

    // After a failed open these fail quietly, and the exchange goes on regardless.
    FlushInQ(com_num);
    FlushOutQ(com_num);
    SetComTime(com_num, (double)LINK_DELAY_MS / 1000);
    return 0;
}

// The wait for the output queue is bounded: a queue that never drains (a stalled driver) would
// otherwise hold the program forever. A full 2500-byte queue needs 1.4 s at 19200 baud.
int ComPortClose(void) {
    const double start = Timer();

    while (GetOutQLen(com_num) > 0 && Timer() - start < (double)DRAIN_LIMIT_MS / 1000 &&
           exchange_time_left() > 0) {
    }
    CloseCom(com_num);
    return 0;
}

// A write that failed, or that left part of the frame unsent, is reported like a failed open and
// kept in link_trace as the receive's port error, since no receive follows it.
static void report_write_failure(int written, int count) {
    ReceiveOutcome *outcome = &link_trace.receive;

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
                 com_num, ComPortDevice(com_num), written, count);
    }
    MessagePopup("RS-232 Message", outcome->portMessage);
}

// Besides its result, the write leaves in link_trace when it began and ended, so that the
// receiver can tell when each byte of the response came.
int zeichen_senden(const char *text, char *frame, unsigned char address) {
    ComPortOpen();
    int count = create_framing(text, frame, address);

    link_trace.receive.count = link_trace.receive.flushed = link_trace.receive.portError = 0;
    link_trace.receive.portMessage[0] = '\0';
    link_trace.receive.code = RECEIVE_NO_ANSWER;
    link_trace.receive.decidingIndex = link_trace.receive.frameStart = -1;
    link_trace.writeWallMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    link_trace.writeStart = Timer();
    exchange_deadline = link_trace.writeStart + (double)EXCHANGE_LIMIT_MS / 1000;
    link_trace.writeResult = ComWrt(com_num, frame, count);
    link_trace.writeEnd = Timer();
    if (link_trace.writeResult != count) report_write_failure(link_trace.writeResult, count);
    return link_trace.writeResult;
}
