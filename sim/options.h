// The simulator's command line.
#pragma once

#include <cstdio>

enum {
    EXIT_USAGE = 64,         // an unknown or malformed option
    EXIT_OUTPUT_FAILED = 74, // standard output could not be written
    TCP_NONE = -1,           // Options::tcp_port when a line is served
};

struct Options {
    const char *device;           // serve this serial device; NULL: a new pseudo-terminal
    const char *link;             // also make this symbolic link to the line; NULL: none
    int tcp_port;                 // serve this TCP port (0: any free one) instead; TCP_NONE: a line
    const char *bind;             // the numeric IPv4 or IPv6 address the TCP port listens on
    unsigned long long addresses; // bit n set: answer as chamber n (1..32)
    int fault;                    // a Fault; FAULT_NONE for honest answers
    int fault_every;              // falsify every k-th answer only
    int byte_gap_ms;              // spacing of slow bytes and of noise
    int delay_ms;                 // wait before each answer
    int pace_baud;                // send answers at the pace of this baud rate; 0: at once
    bool verbose;                 // log requests and answers to stderr
    bool help;                    // print the help text and stop
    bool version;                 // print the version and stop
};

// Reads the arguments into options. Returns 0, or -1 after writing a one-line message that names
// the option and what is wrong with it to error (which holds size bytes).
int options_parse(int argc, char **argv, Options *options, char *error, int size);
// Prints the help text, which documents every option and every answer, to out.
void options_print_help(FILE *out);
