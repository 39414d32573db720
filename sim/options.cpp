// Command line of kelvra-chamber.
#include "sim/options.h"

#include "sim/fault.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const char help_text[] =
    "Usage: kelvra-chamber [OPTION]...\n"
    "Behaves as one or more climate test chambers that speak the Kelvra ASCII protocol on a\n"
    "serial line. The first line on standard output is the path of the line it serves. Runs\n"
    "until interrupted (SIGINT, SIGTERM or SIGHUP).\n"
    "\n"
    "Line:\n"
    "  --pty               serve a new pseudo-terminal (the default), raw, 19200 baud (a pty\n"
    "                      carries no parity bit, so none is set)\n"
    "  --device PATH       serve an existing serial device at 19200 baud, 8 data bits, odd\n"
    "                      parity, 1 stop bit, no flow control\n"
    "  --link PATH         also make PATH a symbolic link to the line (a stale link there is\n"
    "                      replaced); it is removed at the end\n"
    "Chambers:\n"
    "  --address N         answer as chamber N, 1 to 32; repeat for more chambers (default 1).\n"
    "                      Frames for other addresses, frames with a bad checksum and\n"
    "                      malformed frames get no answer, nor do requests that a chamber\n"
    "                      does not understand\n"
    "  --delay MS          wait MS milliseconds before each answer (default 0)\n"
    "Faults:\n"
    "  --fault NAME        falsify answers; NAME is one of\n"
    "                        silent         send nothing\n"
    "                        bad-checksum   the frame with bit 0 of its checksum byte flipped\n"
    "                        wrong-address  a valid frame from the next address (32: from 1)\n"
    "                        stray-byte     the byte 0xFF, then the frame\n"
    "                        trailing       the frame, then CR LF (0x0D 0x0A)\n"
    "                        bad-then-good  the frame with bit 0 of its checksum flipped, then\n"
    "                                       the frame\n"
    "                        slow           the frame, one byte per byte gap\n"
    "                        noise          the frame, then 0xFF at every byte gap until the\n"
    "                                       next request\n"
    "                        oversize       the answer padded with blanks to 508 characters,\n"
    "                                       correct checksum: a body of 509 bytes\n"
    "  --fault-every K     falsify only the K-th, 2K-th, ... answer (default 1: every answer)\n"
    "  --byte-gap MS       byte gap of slow and noise (default 100)\n"
    "  A new request ends whatever of an earlier answer has not gone out yet, noise included.\n"
    "Other:\n"
    "  --verbose           log each request and answer, in hex and as text, to standard error\n"
    "  --help              show this text\n"
    "\n"
    "Answers (payloads; channel 0 is the temperature, the only analogue channel):\n"
    "  request     answer           meaning\n"
    "  A0          A0 aaa.a sss.s   actual and set value, e.g. \"A0 023.5 025.0\", \"A0 -10.0 "
    "...\"\n"
    "  U0          U0 rrr.r fff.f   ramp rates for rising and falling ramps, K/min\n"
    "  E0          E0 eee.e         ramp end value (the set value)\n"
    "  a0 V        a                set value V, -70.0 to 180.0\n"
    "  u0 R, d0 R  u, d             ramp rate R for rising, falling ramps, 0 to 999.9\n"
    "  T           Tddmmyyhhmmss    the chamber clock; it starts at the local time and runs\n"
    "  tddmmyyhhmmss  tddmmyyhhmmss set the clock (years 2000 to 2099)\n"
    "  S           S + 9 characters start, error, temperature control (1), humidity (0),\n"
    "                               additional functions 1-4 (flags 1-4), error number\n"
    "  s C S       sC               digital channel C (1 start, 2 error, 3 pause) to S (0/1);\n"
    "                               s2 1 raises error 1, s2 0 acknowledges it\n"
    "  O           O + 16 characters digital channels 1-16: start, error, pause, 5 flags,\n"
    "                               8 softkeys\n"
    "  oII S       oII              digital channel II (01 to 16) to S\n"
    "  P           Pnnn             running programme, 000 for none\n"
    "  pN          p                start programme N (1 to 999); p0, p000 end it\n"
    "  F           F + text         the pending error's text, \"no error\" when there is none\n"
    "  L           L + level        keyboard lock level, 0 released\n"
    "  lN          l                lock the keyboard at level N (1 or 2); l0 releases it\n"
    "  H           H + letters      the command letters the chamber answers\n"
    "  I           I + text         identification: \"kelvra-chamber simulator, chamber N\"\n"
    "  M           M + text         configuration: \"1 analogue channel, 16 digital channels\"\n"
    "  R           R + text         protocol revision: \"Kelvra ASCII 3.0\"\n"
    "  i..., m...  the request      confirmed by repeating it\n"
    "The actual value moves toward the set value at the ramp rates, in real time, from 23.5\n"
    "toward 25.0 at 3.0 K/min at start, whether the chamber is started or not; digital\n"
    "channels, programme and keyboard lock are kept and reported. Values out of range,\n"
    "unknown channels and malformed requests get no answer and change nothing.\n";

const char *options_help(void) {
    return help_text;
}

// A whole decimal number from low to high.
static int parse_int(const char *text, int low, int high, int *value) {
    char *end;
    long number = strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || number < low || number > high) return -1;
    *value = (int)number;
    return 0;
}

static int fail(char *error, int size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
// NOLINTNEXTLINE(cert-dcl50-cpp): C variadic for the format attribute, which checks every call.
static int fail(char *error, int size, const char *format, ...) {
    va_list args;
    va_start(args, format);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start above; the analyzer misreads.
    vsnprintf(error, (size_t)size, format, args);
    va_end(args);
    return -1;
}

static const char *const valued[] = {
    "--device", "--link", "--address", "--fault", "--fault-every", "--byte-gap", "--delay",
};

static bool takes_value(const char *option) {
    for (const char *name : valued)
        if (strcmp(option, name) == 0) return true;
    return false;
}

static int take_value(const char *option, const char *value, Options *o, char *error, int size) {
    int number;
    if (strcmp(option, "--device") == 0)
        o->device = value;
    else if (strcmp(option, "--link") == 0)
        o->link = value;
    else if (strcmp(option, "--address") == 0) {
        if (parse_int(value, 1, 32, &number) < 0)
            return fail(error, size, "--address wants a number from 1 to 32, not \"%s\"", value);
        o->addresses |= 1ull << number;
    } else if (strcmp(option, "--fault") == 0) {
        if ((o->fault = fault_by_name(value)) <= FAULT_NONE)
            return fail(error, size, "no fault called \"%s\" (see --help)", value);
    } else if (strcmp(option, "--fault-every") == 0) {
        if (parse_int(value, 1, INT_MAX, &o->fault_every) < 0)
            return fail(error, size, "--fault-every wants a positive number, not \"%s\"", value);
    } else if (strcmp(option, "--byte-gap") == 0) {
        if (parse_int(value, 1, 60000, &o->byte_gap_ms) < 0)
            return fail(error, size, "--byte-gap wants 1 to 60000 milliseconds, not \"%s\"", value);
    } else if (parse_int(value, 0, 60000, &o->delay_ms) < 0) { // --delay
        return fail(error, size, "--delay wants 0 to 60000 milliseconds, not \"%s\"", value);
    }
    return 0;
}

int options_parse(int argc, char **argv, Options *o, char *error, int size) {
    *o = Options{nullptr, nullptr, 0, FAULT_NONE, 1, 100, 0, false, false};
    bool pty = false;
    for (int i = 1; i < argc; i++) {
        const char *option = argv[i];
        if (strcmp(option, "--help") == 0)
            o->help = true;
        else if (strcmp(option, "--verbose") == 0)
            o->verbose = true;
        else if (strcmp(option, "--pty") == 0)
            pty = true;
        else if (!takes_value(option))
            return fail(error, size, "unknown argument \"%s\" (see --help)", option);
        else if (i + 1 >= argc)
            return fail(error, size, "%s wants a value", option);
        else if (take_value(option, argv[++i], o, error, size) < 0)
            return -1;
    }
    if (pty && o->device) return fail(error, size, "%s", "--pty and --device exclude each other");
    if (o->addresses == 0) o->addresses = 1ull << 1;
    return 0;
}
