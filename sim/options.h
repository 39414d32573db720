// The simulator's command line.
#pragma once

struct Options {
    const char *device;           // serve this serial device; NULL: a new pseudo-terminal
    const char *link;             // also make this symbolic link to the line; NULL: none
    unsigned long long addresses; // bit n set: answer as chamber n (1..32)
    int fault;                    // a Fault; FAULT_NONE for honest answers
    int fault_every;              // falsify every k-th answer only
    int byte_gap_ms;              // spacing of slow bytes and of noise
    int delay_ms;                 // wait before each answer
    bool verbose;                 // log requests and answers to stderr
    bool help;                    // print the help text and stop
};

// Reads the arguments into options. Returns 0, or -1 after writing the message that names the
// fault to error (which holds size bytes).
int options_parse(int argc, char **argv, Options *options, char *error, int size);
// The help text, which documents every option and every answer.
const char *options_help(void);
