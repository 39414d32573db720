// The exchange cycle: Enter in the command field and every tick of SCANNER frame the command
// text, write it to the selected port and show the sent frame and a valid response at the top
// of their histories.
#include "ui/exchange.h"
#include "display/format.h"
#include "link/link.h"
#include "link/outcome.h"
#include "link/rs232.h"
#include "record/record.h"
#include "ui/ascii.h"
#include "ui/callbacks.h"
#include "ui/program.h"
#include "ui/userint.h"

#include <cstdio>
#include <cstring>

enum {
    HISTORY_KEEP = 11, // a history is cut to this many before each insertion, so it holds 12
    TITLE_SIZE = 120,
};

// Cuts a history back to its newest items, puts the display text on top and selects it.
static void insert_entry(int list, const char *text) {
    int count = 0;

    GetNumListItems(main_panel, list, &count);
    if (count >= HISTORY_KEEP) DeleteListItem(main_panel, list, HISTORY_KEEP, -1);
    InsertListItem(main_panel, list, 0, text, 0);
    SetCtrlIndex(main_panel, list, 0);
}

// The record of the exchange in progress, for the readers around the panel: one exchange runs at
// a time, and it is too large for the stack of a callback.
static ExchangeRecord record;

// Takes into the record what the exchange knows once the frame is written, before the display
// formatting edits the frame.
static void begin_record(int trigger, const char *command, const char *frame, int address,
                         int mode) {
    record.trigger = trigger;
    record.wallMs = link_trace.writeWallMs;
    record.port = com_num;
    snprintf(record.device, sizeof record.device, "%s", ComPortDevice(com_num));
    record.address = address & 0xFF;
    snprintf(record.command, sizeof record.command, "%s", command);
    snprintf(record.sent, sizeof record.sent, "%s", frame);
    record.sentLength = (int)strlen(record.sent);
    record.writeResult = link_trace.writeResult;
    record.mode = mode;
    record.answered = 0;
    record.rttMs = -1;
    record.sentText[0] = record.receivedText[0] = '\0';
}

// Takes the receive's outcome and hands the record to its readers.
static void finish_record(void) {
    const ReceiveOutcome *outcome = &link_trace.receive;
    record.received = *outcome;
    if (record.answered && outcome->decidingIndex >= 0 && outcome->decidingIndex < RECEIVE_LOG_SIZE)
        record.rttMs = outcome->ms[outcome->decidingIndex];
    publish_exchange(&record);
}

// Whether SENDEN reads at once (runs without a window) or after the link delay (the window).
static int enterReadsAtOnce;

// One exchange with the chamber on the main panel. The command field takes at most
// MAX_COMMAND_LENGTH characters and the builder cuts anything longer, so the frame always fits.
// waitSeconds passes between the write and the receive (bytes that come meanwhile wait in the
// port's input queue); reading at once, the receive takes them as they come instead, with the
// same acceptance and the first read's time-out firstWait. A write that failed or fell short
// still shows the frame in the sent history, as after a failed open, but nothing is received and
// the lamp goes off. When it is done its record goes to the readers. Returns the record, or null
// when the command field is empty.
static const ExchangeRecord *exchange(int trigger, double waitSeconds, int atOnce,
                                      double firstWait) {
    char command[FRAME_BUFFER_SIZE] = "";
    char frame[FRAME_BUFFER_SIZE];
    char response[FRAME_BUFFER_SIZE];
    char display[DISPLAY_BUFFER_SIZE];
    int address = 0;
    int mode = 0;
    int received = 0;

    GetCtrlVal(main_panel, SEND_STRING, command);
    GetCtrlVal(main_panel, KAMMER, &address);
    if (command[0] == '\0') return nullptr;

    const int written = zeichen_senden(command, frame, (unsigned char)address);
    const int sent = written == (int)strlen(frame); // a failed write has been reported
    GetCtrlVal(main_panel, RINGSLIDE, &mode);
    begin_record(trigger, command, frame, address, mode);
    format_sendbuffer(frame, display, mode);
    insert_entry(ZEICHEN_GESENDET, display);
    snprintf(record.sentText, sizeof record.sentText, "%s", display);

    // whatever comes after a request that did not go out is no answer to it
    if (sent && atOnce) {
        received = receive_from(response, (unsigned char)address, Timer() + waitSeconds, firstWait);
    } else if (sent) {
        if (waitSeconds > 0) Delay(waitSeconds);
        received = zeichen_empfangen(response, (unsigned char)address);
    }
    if (received != 0) {
        SetCtrlVal(main_panel, LED, 1);
        format_receivebuffer(response, display, mode);
        insert_entry(ZEICHEN_EMPFANGEN, display);
        record.answered = 1;
        snprintf(record.receivedText, sizeof record.receivedText, "%s", display);
    } else {
        SetCtrlVal(main_panel, LED, 0);
    }
    ComPortClose(); // the receiver has closed the port already, unless the write failed
    finish_record();
    return &record;
}

void set_enter_reads_at_once(int atOnce) {
    enterReadsAtOnce = atOnce;
}

const ExchangeRecord *scan_exchange(double firstWait) {
    return exchange(BY_SCAN, 0, 1, firstWait);
}

// Enter in SEND_STRING: one exchange, with the link delay before the response is read (or, in a
// run without a window, the same acceptance without sitting the delay out).
int SENDEN(int, int, int event, void *, int eventData1, int) {
    if (event != EVENT_KEYPRESS || eventData1 != VAL_ENTER_VKEY) return 0;
    const double delay = (double)LINK_DELAY_MS / 1000;
    exchange(BY_ENTER, delay, enterReadsAtOnce, delay);
    return 0;
}

// A tick of SCANNER: one exchange under the title "Scanning", reading the response at once.
int TIMER(int, int, int event, void *, int, int) {
    char title[TITLE_SIZE] = "";

    if (event != EVENT_TIMER_TICK) return 0;
    GetPanelAttribute(main_panel, ATTR_TITLE, title);
    SetPanelAttribute(main_panel, ATTR_TITLE, "Scanning");
    exchange(BY_TIMER, 0, 0, (double)LINK_DELAY_MS / 1000);
    SetPanelAttribute(main_panel, ATTR_TITLE, title);
    return 0;
}
