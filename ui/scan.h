// The bus scan: one command to each chamber address of a range in turn, each through the
// exchange on the main panel (ui/exchange.h), with cyclic sending paused. The window's dialog
// steps it from its event loop, the command line in a loop. No Qt here.
#pragma once

#include "display/format.h"
#include "link/link.h"

enum {
    SCAN_FIRST_ADDRESS = 1,
    SCAN_LAST_ADDRESS = 32,
};

// What one address gave.
struct ScanAnswer {
    int address;
    int answered;                   // a valid response came
    int outcome;                    // the receiver's outcome code (link/outcome.h)
    double rttMs;                   // from the end of the write to the response's last byte; -1
    int portError;                  // the exchange gave an "RS-232 Message"
    char text[DISPLAY_BUFFER_SIZE]; // the received history's new entry, "" without a response
};

struct BusScan {
    char command[FRAME_BUFFER_SIZE];
    int from, to, next; // the range and the address the next step sends to
    double firstWait;   // seconds for a response's first byte
    int keptAddress;    // what KAMMER gets back at the end
    char keptCommand[FRAME_BUFFER_SIZE];
    int active; // between begin and end
};

// Begins a scan of from..to (within 1..32) with a command text and a first-byte wait in ms:
// suspends timer ticks and keeps the command field and the address for the end. Returns 0, or
// -1 (nothing done) for an empty or overlong command, a bad range or wait.
int bus_scan_begin(BusScan *scan, const char *command, int from, int to, int timeoutMs);
// Sends the command to the next address of the range and tells in *answer what came back.
// Returns 1 after an exchange, 0 when the range is done (or the scan not begun).
int bus_scan_step(BusScan *scan, ScanAnswer *answer);
// Chooses the address that KAMMER holds once the scan ends.
void bus_scan_keep_address(BusScan *scan, int address);
// Ends the scan, also before its range is done: the command field and the address get back what
// they held (or the address chosen meanwhile), and timer ticks resume if the cyclic-sending
// toggle is on, as its callback would have them. Harmless when not begun.
void bus_scan_end(BusScan *scan);
