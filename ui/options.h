// Command-line options of the tool. No Qt here.
#pragma once

enum {
    OPTIONS_CONTINUE = -1,   // parse_options: go on starting the tool
    EXIT_USAGE = 64,         // exit status for an unknown or malformed option
    EXIT_OUTPUT_FAILED = 74, // standard output could not be written
};

// A run without a window (--send or --scan and their companions). A field left at -1 keeps the
// main panel's default.
struct CommandLineExchange {
    const char *text; // the command text, printable ASCII, 1..MAX_COMMAND_LENGTH characters;
                      // null for a scan without --send
    int address;      // KAMMER, 1..32
    int port;         // RING_COM, 1..20
    int mode;         // RINGSLIDE, 0..2
    int trace;        // --trace: every byte both ways on stderr
    int scan;         // --scan: the command goes to each address from..to instead
    int from, to;     // 1..32, from <= to (with --scan)
    int timeoutMs;    // the scan's wait for a first byte, 1..2000
    long repeat;      // --repeat: exchanges in all, 0 for no end; -1 for one without a summary
    double interval;  // seconds from one exchange's start to the next (with --repeat)
    int timestamps;   // --timestamps: each line after the time of its exchange's write
    // --run: the sequence file of an acceptance run, and where --junit puts its report; or null
    const char *run, *junit;
    int poll;         // --poll: the chambers of --chamber or --lab (ui/lab_options.h) instead
    int json;         // --json: with --poll, one JSON object per exchange
};

// Reads the options in argv[1..argc-1] and applies them in order (--lang sets Fremdsprache, each
// --map comN=DEVICE points a port name at a device). Returns OPTIONS_CONTINUE, or the status the
// program should end with at once: EXIT_USAGE after a one-line message on stderr for the first
// bad option; else, once all are read, that of the first option that prints and exits (--help,
// --version, --list-ports; no display needed): 0, or EXIT_OUTPUT_FAILED.
int parse_options(int argc, char *argv[]);
// Flushes stdout. Returns 0, or EXIT_OUTPUT_FAILED after a message on stderr when what was
// printed could not be written (standard output closed, a pipe without reader, a full disk).
int finish_standard_output(void);
// The run without a window that the options of the last parse_options asked for, or null when
// none of --send, --scan, --run and --poll was among them (the tool then opens its window).
const CommandLineExchange *command_line_exchange(void);
// The file that --log named, or null.
const char *log_file_option(void);
// The publishing that --mqtt and its companions asked for, or null without --mqtt.
const struct MqttSettings *mqtt_option(void);
// Whether --no-settings was given: the window neither reads nor writes what it remembers.
int no_settings_option(void);
// Whether a --map option pointed the port name comN (1..20) at a device.
int port_mapped_by_option(int port);
