// The bus scan, address by address, on the main panel.
#include "ui/scan.h"

#include "record/record.h"
#include "ui/ascii.h"
#include "ui/exchange.h"
#include "ui/program.h"
#include "ui/userint.h"

#include <cstdio>
#include <cstring>

int bus_scan_begin(BusScan *scan, const char *command, int from, int to, int timeoutMs) {
    if (!command || command[0] == '\0' || std::strlen(command) > MAX_COMMAND_LENGTH ||
        from < SCAN_FIRST_ADDRESS || to > SCAN_LAST_ADDRESS || from > to || timeoutMs < 1 ||
        timeoutMs > RECEIVE_LIMIT_MS)
        return -1;
    snprintf(scan->command, sizeof scan->command, "%s", command);
    scan->from = scan->next = from;
    scan->to = to;
    scan->firstWait = timeoutMs / 1000.0;
    scan->keptAddress = 1;
    scan->keptCommand[0] = '\0';
    GetCtrlVal(main_panel, KAMMER, &scan->keptAddress);
    GetCtrlVal(main_panel, SEND_STRING, scan->keptCommand);
    SuspendTimerCallbacks();
    scan->active = 1;
    return 0;
}

int bus_scan_step(BusScan *scan, ScanAnswer *answer) {
    if (!scan->active || scan->next > scan->to) return 0;
    answer->address = scan->next++;
    SetCtrlVal(main_panel, SEND_STRING, scan->command);
    SetCtrlVal(main_panel, KAMMER, answer->address);
    const int messages = GetMessagePopupCount();
    const ExchangeRecord *record = scan_exchange(scan->firstWait);
    answer->portError = GetMessagePopupCount() > messages;
    answer->answered = record && record->answered;
    answer->outcome = record ? record->received.code : RECEIVE_NO_ANSWER;
    answer->rttMs = record && record->answered ? record->rttMs : -1;
    snprintf(answer->text, sizeof answer->text, "%s", answer->answered ? record->receivedText : "");
    return 1;
}

void bus_scan_keep_address(BusScan *scan, int address) {
    scan->keptAddress = address;
}

void bus_scan_end(BusScan *scan) {
    int cyclic = 0;

    if (!scan->active) return;
    scan->active = 0;
    SetCtrlVal(main_panel, SEND_STRING, scan->keptCommand);
    SetCtrlVal(main_panel, KAMMER, scan->keptAddress);
    GetCtrlVal(main_panel, TOGGLEBUTTON, &cyclic);
    if (cyclic) ResumeTimerCallbacks();
}
