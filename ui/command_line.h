// Runs without a window: the main panel, loaded but never shown, runs Enter in its command field
// as in the window (one exchange, or one every interval), or a bus scan; what the histories get
// is printed. No Qt here.
#pragma once

#include "record/record.h"
#include "ui/options.h"

#include <cstdio>

// Exit statuses of a run without a window besides 0 (a valid response came), EXIT_USAGE and
// EXIT_OUTPUT_FAILED (ui/options.h).
enum {
    EXIT_NO_RESPONSE = 1,
    EXIT_PORT_ERROR = 2,  // an "RS-232 Message" was given
    EXIT_LOG_FAILED = 73, // the log file of --log could not be opened or written
};

// Before InitCVIRTE: no display, each "RS-232 Message" as a line on stderr, and Enter reading
// the response at once (ui/exchange.h).
int prepare_command_line_exchange(void);
// Starts logging to the file of --log, before any exchange. Returns 0, or EXIT_LOG_FAILED after a
// message on stderr that names the file and the cause; a later failed write gives such a message
// when it happens and makes run_command_line_exchange return EXIT_LOG_FAILED.
int open_command_line_log(const char *path);
// On the loaded main panel: suspends timer ticks, puts the request into its controls, presses
// Enter in SEND_STRING and prints the new sent entry and, after a valid response, the new
// received entry, as UTF-8 lines on stdout; on stderr why no valid response came, and with
// --trace the bytes both ways (ui/exchange_report.h). Returns the exit status: 0,
// EXIT_NO_RESPONSE, EXIT_PORT_ERROR, EXIT_LOG_FAILED or EXIT_OUTPUT_FAILED.
int run_command_line_exchange(const CommandLineExchange *request);
// Switches cyclic sending off and puts the request's address, port and display mode into the
// main panel's controls (those it gives).
void apply_request(const CommandLineExchange *request);
// Writes a Latin-1 text as one UTF-8 line, its control characters as escapes.
void print_entry(FILE *out, const char *entry);
// Nonzero once a write to the --log file failed (it was said on stderr, and logging stopped).
int command_line_log_failed(void);

// Prepares the run (prepare_command_line_exchange), loads the main panel unseen and runs the
// request: a bus scan, polling, or one exchange. Returns its exit status, -1 if the panel cannot
// be loaded.
int run_without_window(char *argv[], const CommandLineExchange *request);

// --repeat (and --timestamps): Enter in the command field every request->interval seconds on a
// fixed grid, request->repeat times (0: until SIGINT or SIGTERM, which end the run after the
// exchange in progress). Prints each exchange's lines as run_command_line_exchange does, after
// the time of its write with --timestamps; ends a --repeat run with a summary on stderr.
// Returns 0 when the last exchange got a valid response, EXIT_PORT_ERROR when it reported a
// port error, EXIT_OUTPUT_FAILED, else EXIT_NO_RESPONSE.
int run_command_line_polling(const CommandLineExchange *request);
// --scan: the bus scan of request->from..to; prints "address<TAB>rtt_ms<TAB>entry" for each
// address with a valid response and a summary on stderr. Returns 0 when an address answered,
// EXIT_NO_RESPONSE when none did, EXIT_PORT_ERROR (the scan stops at the first) or
// EXIT_OUTPUT_FAILED.
int run_command_line_scan(const CommandLineExchange *request);
