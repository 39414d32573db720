// One exchange from the command line: the main panel, loaded but never shown, runs Enter in its
// command field as in the window, and the new history entries are printed. No Qt here.
#pragma once

#include "ui/options.h"

// Exit statuses of a command-line exchange besides 0 (a valid response came), EXIT_USAGE and
// EXIT_OUTPUT_FAILED.
enum {
    EXIT_NO_RESPONSE = 1,
    EXIT_PORT_ERROR = 2, // an "RS-232 Message" was given
};

// Before InitCVIRTE: no display, and each "RS-232 Message" as a line on stderr.
int prepare_command_line_exchange(void);
// On the loaded main panel: suspends timer ticks, puts the request into its controls, presses
// Enter in SEND_STRING and prints the new sent entry and, after a valid response, the new
// received entry, as UTF-8 lines on stdout. Returns the exit status: 0, EXIT_NO_RESPONSE,
// EXIT_PORT_ERROR or EXIT_OUTPUT_FAILED.
int run_command_line_exchange(const CommandLineExchange *request);
