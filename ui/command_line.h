// Runs without a window: one exchange, polling, or a bus scan, each built as requests from the
// options and handed to the exchange function; what the histories would get is printed. No Qt
// here.
#pragma once

#include "exchange/exchange.h"
#include "record/stats.h"
#include "ui/options.h"

#include <cstdio>

// Exit statuses of a run without a window besides 0 (a valid response came), EXIT_USAGE and
// EXIT_OUTPUT_FAILED (ui/options.h).
enum {
    EXIT_NO_RESPONSE = 1,
    EXIT_PORT_ERROR = 2,  // an "RS-232 Message" was given
    EXIT_DATA_ERROR = 65, // a sequence or lab file does not parse
    EXIT_NO_INPUT = 66,   // a sequence or lab file cannot be read
    EXIT_LOG_FAILED = 73, // the log file of --log could not be opened or written
};

// The main panel's defaults, which a run without a window takes where no option says otherwise.
enum {
    DEFAULT_ADDRESS = 1, // KAMMER
    DEFAULT_PORT = 1,    // RING_COM: "com1"
    DEFAULT_MODE = 1,    // RINGSLIDE: the payload without framing
};

// A request as Enter would make it on a panel set as the options ask, reading at once: its
// answer is taken the moment it is in, with the acceptance of the wait. Each "RS-232 Message" is
// one line on stderr and counted in *messages.
void command_line_request(const CommandLineExchange *options, const char *command, int trigger,
                          int *messages, ExchangeRequest *request);
// Writes a Latin-1 text as one UTF-8 line, its control characters as escapes.
void print_entry(FILE *out, const char *entry);
// Prints the local time of wallMs (ms since 1970 UTC) as the log file writes times.
void print_time(FILE *out, long long wallMs);
// The first SIGINT or SIGTERM from now on asks the run to end after the exchange in progress
// (stop_requested), a second one ends it at once; release_stop_signals restores the defaults.
void catch_stop_signals(void);
void release_stop_signals(void);
int stop_requested(void);
// "kelvra-ascii: <who>N exchanges; each outcome's count; round trip min, median, max" on stderr.
void print_summary(const char *who, const ExchangeStats *stats);
// Nonzero once a write to the --log file failed (it was said on stderr, and logging stopped).
int command_line_log_failed(void);

// The run the options ask for, after starting the log of --log (which failing to open ends it with
// EXIT_LOG_FAILED): a bus scan, polling, or one exchange, which prints the sent entry and, after
// a valid response, the received entry, as UTF-8 lines on stdout; on stderr why no valid
// response came, and with --trace the bytes both ways (ui/exchange_report.h). Returns its exit
// status: for one exchange 0, EXIT_NO_RESPONSE, EXIT_PORT_ERROR, EXIT_LOG_FAILED or
// EXIT_OUTPUT_FAILED.
int run_without_window(const CommandLineExchange *options);
// --repeat (and --timestamps): the exchange every options->interval seconds on a fixed grid,
// options->repeat times (0: until SIGINT or SIGTERM, which end the run after the exchange in
// progress), or until a row of the log could not be written. Prints each exchange as
// run_command_line_exchange does, after the time of its write with --timestamps; ends a --repeat
// run with a summary on stderr. Returns 0 when the last exchange got a valid response,
// EXIT_PORT_ERROR when it met a port error, EXIT_OUTPUT_FAILED, EXIT_LOG_FAILED, else
// EXIT_NO_RESPONSE.
int run_command_line_polling(const CommandLineExchange *options);
// --poll: the chambers of --chamber or --lab (its "map" applied), each port on a worker thread
// of its own (exchange/lab_polling.h), options->repeat turns per chamber (until SIGINT or
// SIGTERM without; a failed write to the log ends it too), every options->interval seconds when
// given, else at each chamber's own interval. Prints a line (with --json a JSON object) per
// exchange on stdout, in order per chamber, and a summary per chamber on stderr. Returns 0 when
// every chamber's last exchange got a valid answer, EXIT_PORT_ERROR when one met a port error,
// EXIT_NO_INPUT or EXIT_DATA_ERROR for a lab file that cannot be read or lists no chamber,
// EXIT_OUTPUT_FAILED, EXIT_LOG_FAILED, else EXIT_NO_RESPONSE.
int run_command_line_lab(const CommandLineExchange *options);
// --scan: the bus scan of options->from..to; prints "address<TAB>rtt_ms<TAB>entry" for each
// address with a valid response and a summary on stderr. Returns 0 when an address answered,
// EXIT_NO_RESPONSE when none did, EXIT_PORT_ERROR (the scan stops at the first) or
// EXIT_OUTPUT_FAILED.
int run_command_line_scan(const CommandLineExchange *options);
