// The exchange cycle: Enter in the command field and every tick of SCANNER read the panel into a
// request, run it, and show the sent frame and a valid response at the top of their histories.
#include "ui/exchange_cycle.h"

#include "link/link.h"
#include "record/record.h"
#include "ui/ascii.h"
#include "ui/callbacks.h"
#include "ui/program.h"
#include "ui/userint.h"

#include <cstdio>

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

static void show_port_failure(const char *message, void *) {
    MessagePopup("RS-232 Message", message);
}

// The frame has been written (or failed to be): its entry is shown before the answer is awaited.
static void show_sent_entry(const ExchangeRecord *record, void *) {
    insert_entry(ZEICHEN_GESENDET, record->sentText);
}

void read_panel_request(ExchangeRequest *request, const char *command, int trigger) {
    int address = 0, port = 0, index = 0, mode = 0;

    GetCtrlVal(main_panel, KAMMER, &address);
    GetCtrlVal(main_panel, RING_COM, &port);
    GetCtrlVal(main_panel, RINGSLIDE, &mode);
    request_init(request, port, address, command, mode);
    GetCtrlIndex(main_panel, RING_COM, &index);
    GetLabelFromIndex(main_panel, RING_COM, index, request->portName);
    request->trigger = trigger;
    request->portFailure = show_port_failure;
    request->written = show_sent_entry;
}

void show_answer(const ExchangeRecord *record) {
    SetCtrlVal(main_panel, LED, record->answered ? 1 : 0);
    if (record->answered) insert_entry(ZEICHEN_EMPFANGEN, record->receivedText);
}

// The request and record of the exchange in progress: one runs at a time on the window's thread,
// and the record is too large for the stack of a callback.
static ExchangeRequest request;
static ExchangeRecord record;

// One exchange with the chamber on the main panel. The command field takes at most
// MAX_COMMAND_LENGTH characters and the builder cuts anything longer, so the frame always fits.
// waitSeconds passes between the write and the receive; bytes that come meanwhile wait in the
// port's input queue. Once shown, the record goes to its readers. An empty command field runs
// nothing.
static void run_panel_exchange(int trigger, double waitSeconds) {
    char command[FRAME_BUFFER_SIZE] = "";

    GetCtrlVal(main_panel, SEND_STRING, command);
    if (command[0] == '\0') return;
    read_panel_request(&request, command, trigger);
    request.waitSeconds = waitSeconds;
    exchange(&request, &record);
    show_answer(&record);
    publish_exchange(&record);
}

// Enter in SEND_STRING: one exchange, with the link delay before the response is read.
int SENDEN(int, int, int event, void *, int eventData1, int) {
    if (event != EVENT_KEYPRESS || eventData1 != VAL_ENTER_VKEY) return 0;
    run_panel_exchange(BY_ENTER, (double)LINK_DELAY_MS / 1000);
    return 0;
}

// A tick of SCANNER: one exchange under the title "Scanning", reading the response at once.
int TIMER(int, int, int event, void *, int, int) {
    char title[TITLE_SIZE] = "";

    if (event != EVENT_TIMER_TICK) return 0;
    GetPanelAttribute(main_panel, ATTR_TITLE, title);
    SetPanelAttribute(main_panel, ATTR_TITLE, "Scanning");
    run_panel_exchange(BY_TIMER, 0);
    SetPanelAttribute(main_panel, ATTR_TITLE, title);
    return 0;
}
