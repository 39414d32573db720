// Command line of kelvra-chamber: one table from which both the parser and the help's option list
// come. An option takes its value as "--name value" or "--name=value"; to add one, write its
// handler and add a row: --help lists it under its section, sections in the order the table
// first names them.
#include "sim/options.h"

#include "sim/fault.h"
#include "sim/reader.h"

#include <arpa/inet.h>
#include <cstdarg>
#include <cstring>

namespace {

struct Option {
    const char *name;
    const char *values; // what the value may be, for help and messages; null for none
    // Applies the option; returns null, or the rule that value breaks.
    const char *(*apply)(Options *options, const char *value);
    const char *section; // heading in --help
    const char *help;    // what it does, for --help; '\n' starts another line
};

constexpr const char *LINE = "Line";
constexpr const char *CHAMBERS = "Chambers";
constexpr const char *FAULTS = "Faults";
constexpr const char *OTHER = "Other";

// A whole decimal number of digits only (no sign, no blanks), at most nine of them, from low to
// high; -1 for anything else. *end, when given, receives where the digits stop, and then
// something may follow them.
long number_of(const char *text, long low, long high, const char **end = nullptr) {
    long number = 0;
    const char *digit = text;
    for (; *digit >= '0' && *digit <= '9'; digit++) {
        if (digit - text >= 9) return -1;
        number = number * 10 + (*digit - '0');
    }
    if (digit == text || (!end && *digit != '\0') || number < low || number > high) return -1;
    if (end) *end = digit;
    return number;
}

const char *serve_pty(Options *, const char *) {
    return nullptr; // the default; named only to exclude --device and --tcp
}

const char *set_device(Options *o, const char *value) {
    o->device = value;
    return *value ? nullptr : "the device path is empty";
}

const char *set_link(Options *o, const char *value) {
    o->link = value;
    return *value ? nullptr : "the link path is empty";
}

const char *set_tcp(Options *o, const char *value) {
    o->tcp_port = (int)number_of(value, 0, 65535);
    return o->tcp_port >= 0 ? nullptr : "the TCP port must be 0 (any free one) to 65535";
}

const char *set_bind(Options *o, const char *value) {
    unsigned char address[sizeof(struct in6_addr)];
    o->bind = value;
    if (inet_pton(AF_INET, value, address) == 1 || inet_pton(AF_INET6, value, address) == 1)
        return nullptr;
    return "not a numeric IPv4 or IPv6 address (e.g. 127.0.0.1 or ::1)";
}

const char *set_pace(Options *o, const char *value) {
    o->pace_baud = (int)number_of(value, 50, 4000000);
    return o->pace_baud > 0 ? nullptr : "the baud rate must be 50 to 4000000";
}

// "N" or "N-M" with 1 <= N <= M <= 32; adds those addresses.
const char *add_addresses(Options *o, const char *value) {
    const char *rule = "the address must be 1 to 32, or a range N-M of them with N <= M";
    const char *rest;
    long first = number_of(value, 1, READER_MAX_ADDRESS, &rest);
    long last = first;
    if (first > 0 && *rest == '-')
        last = number_of(rest + 1, first, READER_MAX_ADDRESS);
    else if (first > 0 && *rest != '\0')
        return rule;
    if (first < 0 || last < 0) return rule;
    for (long address = first; address <= last; address++) o->addresses |= 1ull << address;
    return nullptr;
}

const char *set_delay(Options *o, const char *value) {
    o->delay_ms = (int)number_of(value, 0, 60000);
    return o->delay_ms >= 0 ? nullptr : "the delay must be 0 to 60000 milliseconds";
}

const char *set_fault(Options *o, const char *value) {
    o->fault = fault_by_name(value);
    return o->fault > FAULT_NONE ? nullptr : "no fault of that name (see --help)";
}

const char *set_fault_every(Options *o, const char *value) {
    o->fault_every = (int)number_of(value, 1, 999999999);
    return o->fault_every > 0 ? nullptr : "K must be a whole number from 1 up";
}

const char *set_byte_gap(Options *o, const char *value) {
    o->byte_gap_ms = (int)number_of(value, 1, 60000);
    return o->byte_gap_ms > 0 ? nullptr : "the byte gap must be 1 to 60000 milliseconds";
}

const char *set_verbose(Options *o, const char *) {
    o->verbose = true;
    return nullptr;
}

const char *want_help(Options *o, const char *) {
    o->help = true;
    return nullptr;
}

const char *want_version(Options *o, const char *) {
    o->version = true;
    return nullptr;
}

const Option options[] = {
    {"--pty", nullptr, serve_pty, LINE,
     "serve a new pseudo-terminal (the default), raw, 19200\n"
     "baud (a pty carries no parity bit, so none is set)"},
    {"--device", "PATH", set_device, LINE,
     "serve an existing serial device at 19200 baud, 8 data bits,\n"
     "odd parity, 1 stop bit, no flow control"},
    {"--link", "PATH", set_link, LINE,
     "also make PATH a symbolic link to the line (a stale link\n"
     "there is replaced); it is removed at the end"},
    {"--tcp", "PORT", set_tcp, LINE,
     "serve TCP port PORT (0: any free one) instead of a line:\n"
     "the line's bytes as they are, no Telnet. One client at a\n"
     "time: a second client's connection waits, and what it\n"
     "sends is read, once the first has gone. A new client finds\n"
     "the line clean (half a request or answer of the last one is\n"
     "dropped) and the chambers as the last one left them"},
    {"--bind", "ADDRESS", set_bind, LINE,
     "the address --tcp listens on, a numeric IPv4 or IPv6\n"
     "address (default 127.0.0.1; ::1 is IPv6's loopback)"},
    {"--pace", "BAUD", set_pace, LINE,
     "send each answer byte when it would have crossed a line at\n"
     "BAUD baud with 8O1 framing, 11 bits a byte (at 19200: one\n"
     "byte every 0.573 ms), on a pty, a device and TCP alike;\n"
     "without it an answer goes out at once"},
    {"--address", "N[-M]", add_addresses, CHAMBERS,
     "answer as chamber N, or as chambers N to M, within 1 to 32;\n"
     "repeatable (default 1). Each chamber keeps its own state;\n"
     "chamber N starts 0.5 degrees warmer than chamber N-1.\n"
     "Frames for other addresses, frames with a bad checksum,\n"
     "malformed frames and requests that a chamber does not\n"
     "understand get no answer"},
    {"--delay", "MS", set_delay, CHAMBERS, "wait MS milliseconds before each answer (default 0)"},
    {"--fault", "NAME", set_fault, FAULTS,
     "falsify answers; NAME is one of\n"
     "  silent         send nothing\n"
     "  bad-checksum   the frame with bit 0 of its checksum\n"
     "                 byte flipped\n"
     "  wrong-address  a valid frame from the next address\n"
     "                 (32: from 1)\n"
     "  stray-byte     the byte 0xFF, then the frame\n"
     "  trailing       the frame, then CR LF (0x0D 0x0A)\n"
     "  bad-then-good  the frame with bit 0 of its checksum\n"
     "                 flipped, then the frame\n"
     "  slow           the frame, one byte per byte gap\n"
     "  noise          the frame, then 0xFF at every byte gap\n"
     "                 until the next request\n"
     "  oversize       the answer padded with blanks to 508\n"
     "                 characters, correct checksum: a body of\n"
     "                 509 bytes"},
    {"--fault-every", "K", set_fault_every, FAULTS,
     "falsify only the K-th, 2K-th, ... answer (default 1: every\n"
     "answer)"},
    {"--byte-gap", "MS", set_byte_gap, FAULTS,
     "byte gap of slow and noise, 1 to 60000 (default 100)"},
    {"--verbose", nullptr, set_verbose, OTHER,
     "log each request and answer, in hex and as text, and each\n"
     "TCP client, to standard error"},
    {"--help", nullptr, want_help, OTHER, "print this help, then exit"},
    {"--version", nullptr, want_version, OTHER, "print the version, then exit"},
};

const char help_head[] =
    "Usage: kelvra-chamber [OPTION]...\n"
    "Behaves as one or more climate test chambers that speak the Kelvra ASCII protocol on a\n"
    "serial line or a TCP port. The first line on standard output names what it serves: the\n"
    "path of the line, or tcp://ADDRESS:PORT with the port it listens on. Runs until\n"
    "interrupted (SIGINT, SIGTERM or SIGHUP). An option takes its value as \"--name value\" or\n"
    "\"--name=value\".\n";

const char help_tail[] =
    "\n"
    "A new request ends whatever of an earlier answer has not gone out yet, noise included.\n"
    "Exit status: 0 stopped by a signal, 1 the line or TCP port could not be opened or\n"
    "served, 64 usage error, 74 standard output could not be written (--help, --version).\n"
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
    "The actual value moves toward the set value at the ramp rates, in real time, at 3.0 K/min\n"
    "both ways at start, whether the chamber is started or not: chamber 1 from 23.5, chamber N\n"
    "from 0.5 * (N - 1) degrees more, each toward a set value of 25.0. Digital channels,\n"
    "programme and keyboard lock are kept and reported. Values out of range, unknown channels\n"
    "and malformed requests get no answer and change nothing.\n";

// "  --name VALUES" padded to the help column (on a line of its own when longer), then the help.
void print_option(const Option &option, FILE *out) {
    enum { COLUMN = 22 };
    char head[64];
    snprintf(head, sizeof head, "  %s%s%s", option.name, option.values ? " " : "",
             option.values ? option.values : "");
    if (strlen(head) + 2 > COLUMN)
        fprintf(out, "%s\n%*s", head, COLUMN, "");
    else
        fprintf(out, "%-*s", COLUMN, head);
    for (const char *line = option.help; line;) {
        const char *end = strchr(line, '\n');
        int length = end ? (int)(end - line) : (int)strlen(line);
        fprintf(out, "%*s%.*s\n", line == option.help ? 0 : (int)COLUMN, "", length, line);
        line = end ? end + 1 : nullptr;
    }
}

bool same_section(const Option &a, const Option &b) {
    return strcmp(a.section, b.section) == 0;
}

const Option *find_option(const char *argument, size_t length) {
    for (const Option &option : options)
        if (strlen(option.name) == length && strncmp(option.name, argument, length) == 0)
            return &option;
    return nullptr;
}

[[gnu::format(printf, 3, 4)]] int fail(char *error, int size, const char *format, ...);
// NOLINTNEXTLINE(cert-dcl50-cpp): C variadic for the format attribute, which checks every call.
int fail(char *error, int size, const char *format, ...) {
    va_list args;
    va_start(args, format);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start above; the analyzer misreads.
    vsnprintf(error, (size_t)size, format, args);
    va_end(args);
    return -1;
}

// What the options given together must satisfy; names the first pair they break.
int check_combination(const Options *o, bool pty, char *error, int size) {
    const char *line = pty ? "--pty" : o->device ? "--device" : o->link ? "--link" : nullptr;
    if (pty && o->device) return fail(error, size, "options --pty and --device exclude each other");
    if (o->tcp_port != TCP_NONE && line)
        return fail(error, size, "options --tcp and %s exclude each other", line);
    if (o->tcp_port == TCP_NONE && o->bind) return fail(error, size, "option --bind needs --tcp");
    return 0;
}

} // namespace

void options_print_help(FILE *out) {
    fputs(help_head, out);
    for (const Option &option : options) {
        bool opened = false;
        for (const Option *earlier = options; earlier != &option; earlier++)
            opened = opened || same_section(*earlier, option);
        if (opened) continue;
        fprintf(out, "\n%s:\n", option.section);
        for (const Option &member : options)
            if (same_section(member, option)) print_option(member, out);
    }
    fputs(help_tail, out);
}

int options_parse(int argc, char **argv, Options *o, char *error, int size) {
    *o = Options{nullptr, nullptr, TCP_NONE, nullptr, 0,     FAULT_NONE, 1,
                 100,     0,       0,        false,   false, false};
    bool pty = false;
    for (int i = 1; i < argc; i++) {
        const char *argument = argv[i];
        const char *equals = strchr(argument, '=');
        size_t length = equals ? (size_t)(equals - argument) : strlen(argument);
        const Option *option = find_option(argument, length);
        if (!option)
            return fail(error, size, "unknown option '%s' (see kelvra-chamber --help)", argument);
        const char *value = nullptr;
        if (option->values && equals)
            value = equals + 1;
        else if (option->values && i + 1 < argc)
            value = argv[++i];
        else if (option->values)
            return fail(error, size, "option %s needs a value (%s)", option->name, option->values);
        else if (equals)
            return fail(error, size, "option %s takes no value", option->name);
        if (const char *rule = option->apply(o, value))
            return fail(error, size, "%s %s: %s", option->name, value, rule);
        pty = pty || option->apply == serve_pty;
    }
    if (check_combination(o, pty, error, size) < 0) return -1;
    if (o->addresses == 0) o->addresses = 1ull << 1;
    if (o->tcp_port != TCP_NONE && !o->bind) o->bind = "127.0.0.1";
    return 0;
}
