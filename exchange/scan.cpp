// The bus scan, address by address.
#include "exchange/scan.h"

#include <cstring>

int bus_scan_begin(BusScan *scan, const ExchangeRequest *request, int from, int to, int timeoutMs) {
    if (request->command[0] == '\0' || std::strlen(request->command) > MAX_COMMAND_LENGTH ||
        from < SCAN_FIRST_ADDRESS || to > SCAN_LAST_ADDRESS || from > to || timeoutMs < 1 ||
        timeoutMs > RECEIVE_LIMIT_MS)
        return -1;
    scan->request = *request;
    scan->request.trigger = BY_SCAN;
    scan->request.readAtOnce = 1;
    scan->request.waitSeconds = 0;
    scan->request.firstWait = timeoutMs / 1000.0;
    scan->request.quietSeconds = (double)LINE_QUIET_MS / 1000; // the address before may still trail
    scan->from = scan->next = from;
    scan->to = to;
    scan->active = 1;
    return 0;
}

int bus_scan_step(BusScan *scan, ExchangeRecord *record) {
    if (!scan->active || scan->next > scan->to) return 0;
    scan->request.address = scan->next++;
    exchange(&scan->request, record);
    return 1;
}

void bus_scan_end(BusScan *scan) {
    scan->active = 0;
}

int port_failed(const ExchangeRecord *record) {
    return record->received.code == RECEIVE_PORT_ERROR;
}
