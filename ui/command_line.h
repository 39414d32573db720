// One exchange from the command line: the main panel, loaded but never shown, runs Enter in its
// command field as in the window, and the new history entries are printed. No Qt here.
#pragma once

#include "ui/options.h"

// Exit statuses of a command-line exchange besides 0 (a valid response came), EXIT_USAGE and
// EXIT_OUTPUT_FAILED.
enum {
    EXIT_NO_RESPONSE = 1,
    EXIT_PORT_ERROR = 2,  // an "RS-232 Message" was given
    EXIT_LOG_FAILED = 73, // the log file of --log could not be opened or written
};

// Before InitCVIRTE: no display, and each "RS-232 Message" as a line on stderr.
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
