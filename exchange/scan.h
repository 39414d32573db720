// The bus scan: one command to each chamber address of a range in turn, each an exchange of its
// own on one port. The window's dialog steps it from its event loop, the command line in a loop.
// No Qt here.
#pragma once

#include "exchange/exchange.h"

enum {
    SCAN_FIRST_ADDRESS = 1,
    SCAN_LAST_ADDRESS = 32,
};

struct BusScan {
    ExchangeRequest request; // port, command, mode and hooks; the address is the scan's
    int from, to, next;      // the range and the address the next step sends to
    int active;              // between begin and end
};

// Begins a scan of from..to (within 1..32) with the request's port, command text, display mode
// and hooks, each exchange reading at once and waiting timeoutMs for a first byte (later bytes
// as long as the timer's exchange does). Returns 0, or -1 (nothing done) for an empty or
// overlong command, a bad range or wait.
int bus_scan_begin(BusScan *scan, const ExchangeRequest *request, int from, int to, int timeoutMs);
// Sends the command to the next address of the range; *record tells what came back. Returns 1
// after an exchange, 0 when the range is done (or the scan not begun).
int bus_scan_step(BusScan *scan, ExchangeRecord *record);
// Ends the scan, also before its range is done. Harmless when not begun.
void bus_scan_end(BusScan *scan);
// Whether an exchange met a port failure: the next address would meet the same port.
int port_failed(const ExchangeRecord *record);
