// Acceptance runs and alarms on the command line: --run FILE (with --junit FILE) runs a sequence
// file and prints each step's verdict, --alarm RULE watches the chambers that polling or a run
// asks. No Qt here.
#pragma once

#include "ui/options.h"

enum {
    PARSE_ERROR_TEXT_SIZE = 320, // what alarm_option says is wrong
};

// Takes the alarm of one --alarm option ("A0 actual between 15 and 40", "no answer for 30 s").
// Returns 0, or -1 with "column N: what is wrong" in error.
int alarm_option(const char *rule, char *error, int size);
// Forgets the alarms of earlier --alarm options.
void clear_alarm_options(void);
// How many --alarm options were given.
int alarm_option_count(void);

// Watches the --alarm options' alarms on every exchange from now on: each one raised or cleared
// is a line on stderr and fills the log's alarm column. Returns whether any is watched.
int watch_command_line_alarms(void);
// Ends the watch with "kelvra-ascii: alarms: N raised, M cleared" on stderr.
void end_command_line_alarms(void);

// --run: parses the sequence file and runs it, each step's verdict a line on stdout with its
// time, and a summary; with --junit the report. Returns 0 every step passed, 1 one failed (or a
// signal stopped the run), 2 a port failed, 65 the file does not parse ("FILE:LINE:COLUMN: ..."
// on stderr, nothing run), 66 it cannot be read, 73 the report cannot be written, 74 output
// failed.
int run_command_line_sequence(const CommandLineExchange *options);
