// The option table and its parser. An option takes its value as "--name value" or
// "--name=value"; to add one, write its handler and add a line to the table: --help lists it
// under its section, sections in the order the table first names them.
#include "ui/options.h"

#include "display/format.h"
#include "display/visible.h"
#include "link/com_map.h"
#include "link/com_name.h"
#include "link/link.h"
#include "link/rs232.h"
#include "mqtt/mqtt.h"
#include "ui/command_line_run.h"
#include "ui/lab_options.h"
#include "ui/ports.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef KELVRA_VERSION
#error "KELVRA_VERSION must be defined by the build"
#endif

namespace {

struct Option {
    const char *name;
    const char *values; // what the value may be, for help and messages; null for none
    // Applies the option; returns OPTIONS_CONTINUE, an exit status, or -2 for a bad value.
    int (*apply)(const char *value);
    const char *section; // heading in --help
    const char *help;    // what it does, for --help; '\n' starts another line
};

constexpr int BAD_VALUE = -2;

constexpr const char *WINDOW = "Window";
constexpr const char *PORTS = "Serial ports";
constexpr const char *EXCHANGE = "Command-line exchange";
constexpr const char *LOG = "Log file";
constexpr const char *SCAN = "Bus scan";
constexpr const char *RUN = "Acceptance run";
constexpr const char *POLL = "Polling a lab";
constexpr const char *MQTT = "Publishing to MQTT";
constexpr const char *INFORMATION = "Information";

CommandLineExchange request;
const char *logFile;
MqttSettings mqtt;
bool mqttGiven;
int noSettings;
unsigned mappedPorts; // bit N for a comN that --map points at a device

int choose_language(const char *value) {
    if (std::strcmp(value, "de") == 0)
        Fremdsprache = 0;
    else if (std::strcmp(value, "en") == 0)
        Fremdsprache = 1;
    else
        return BAD_VALUE;
    return OPTIONS_CONTINUE;
}

// A one-line message on stderr; returns EXIT_USAGE. The arguments it quotes may hold anything,
// so their control characters are written as escapes.
// NOLINTNEXTLINE(cert-dcl50-cpp): C variadic for the format attribute, which checks every call.
[[gnu::format(printf, 1, 2)]] int usage_error(const char *format, ...) {
    char message[1024];
    va_list arguments;
    va_start(arguments, format);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start above; the analyzer misreads.
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    std::fputs("kelvra-ascii: ", stderr);
    put_bytes_visible(message, stderr);
    std::fputc('\n', stderr);
    return EXIT_USAGE;
}

int map_port(const char *value) {
    char device[COM_MAP_DEVICE_SIZE];
    char error[COM_MAP_DEVICE_SIZE + 128];
    int port = 0;

    if (parse_com_map(value, &port, device, sizeof device, error, sizeof error) != 0)
        return usage_error("%s", error);
    if (const int code = MapComPort(port, device); code < 0)
        return usage_error("--map %s: %s", value, GetRS232ErrorString(code));
    mappedPorts |= 1u << port;
    return OPTIONS_CONTINUE;
}

// A whole decimal number of at most `digits` digits (up to 9) from low to high, else -1.
long decimal_number(const char *text, int digits, long low, long high) {
    long number = 0;
    const char *digit = text;
    for (; *digit != '\0'; digit++) {
        if (*digit < '0' || *digit > '9' || digit - text >= digits) return -1;
        number = number * 10 + (*digit - '0');
    }
    return digit == text || number < low || number > high ? -1 : number;
}

// A whole decimal number of at most three digits from low to high, else -1.
int small_number(const char *text, int low, int high) {
    return int(decimal_number(text, 3, low, high));
}

int send_text(const char *value) {
    const size_t length = std::strlen(value);

    if (request.text)
        return usage_error("option --send given twice; one run sends one command text");
    if (length == 0) return usage_error("--send: the command text is empty");
    if (length > MAX_COMMAND_LENGTH)
        return usage_error("--send: the command text has %zu characters; the command field "
                           "takes at most %d",
                           length, int(MAX_COMMAND_LENGTH));
    if (!command_text_printable(value, int(length)))
        return usage_error("--send: the command text may hold only printable ASCII "
                           "characters (the line carries 7 bits)");
    request.text = value;
    return OPTIONS_CONTINUE;
}

// Stores the number that digits spell in *field when it lies in low..high; else refuses the
// option's value with the rule it breaks.
int store_number(const char *option, const char *value, const char *digits, int low, int high,
                 int *field, const char *rule) {
    *field = small_number(digits, low, high);
    if (*field < 0) return usage_error("%s %s: %s", option, value, rule);
    return OPTIONS_CONTINUE;
}

int set_address(const char *value) {
    return store_number("--address", value, value, 1, 32, &request.address,
                        "the chamber address must be 1 to 32");
}

// A device server's address stands for com1 mapped to it.
int set_port(const char *value) {
    if (is_network_device(value)) {
        request.port = 1;
        if (const int code = MapComPort(1, value); code < 0)
            return usage_error("--port %s: %s", value, GetRS232ErrorString(code));
        return OPTIONS_CONTINUE;
    }
    request.port = parse_com_name(value, std::strlen(value));
    if (request.port == 0)
        return usage_error("--port %s: the port must be com1 to com20 or a device server's "
                           "tcp://HOST:PORT or rfc2217://HOST:PORT",
                           value);
    return OPTIONS_CONTINUE;
}

int set_mode(const char *value) {
    return store_number("--mode", value, value, 0, 2, &request.mode,
                        "the display mode must be 0, 1 or 2");
}

// The first option that prints and exits; it runs once every option has been read, so that a
// bad option anywhere on the line is a usage error rather than ignored.
int (*print_and_exit)(void);

int print_later(int (*print)(void)) {
    if (!print_and_exit) print_and_exit = print;
    return OPTIONS_CONTINUE;
}

int set_trace(const char *) {
    request.trace = 1;
    return OPTIONS_CONTINUE;
}

int set_log(const char *value) {
    if (*value == '\0') return usage_error("--log: the file name is empty");
    logFile = value;
    return OPTIONS_CONTINUE;
}

// An MQTT setting into its field; the URL and the prefix must be well formed.
int set_mqtt_field(const char *option, const char *value, char *field, size_t size) {
    MqttProblem problem{};
    MqttBroker broker{};
    if (std::strlen(value) >= size || *value == '\0')
        return usage_error("%s: the value must have 1 to %zu bytes", option, size - 1);
    std::memcpy(field, value, std::strlen(value) + 1);
    if ((field == mqtt.url && mqtt_parse_url(value, &broker, &problem)) ||
        (field == mqtt.prefix && mqtt_check_prefix(value, &problem))) {
        char text[MQTT_TEXT_SIZE];
        mqtt_problem_text(&problem, 0, text, sizeof text);
        return usage_error("%s %s", option, text);
    }
    return OPTIONS_CONTINUE;
}

int set_mqtt(const char *value) {
    mqttGiven = true;
    return set_mqtt_field("--mqtt", value, mqtt.url, sizeof mqtt.url);
}
int set_mqtt_prefix(const char *value) {
    return set_mqtt_field("--mqtt-prefix", value, mqtt.prefix, sizeof mqtt.prefix);
}
int set_mqtt_credentials(const char *value) {
    return set_mqtt_field("--mqtt-credentials", value, mqtt.credentials, sizeof mqtt.credentials);
}
int set_mqtt_ca(const char *value) {
    return set_mqtt_field("--mqtt-ca", value, mqtt.caFile, sizeof mqtt.caFile);
}

int skip_settings(const char *) {
    noSettings = 1;
    return OPTIONS_CONTINUE;
}

int start_scan(const char *) {
    request.scan = 1;
    return OPTIONS_CONTINUE;
}

int set_from(const char *value) {
    return store_number("--from", value, value, 1, 32, &request.from,
                        "the first address must be 1 to 32");
}

int set_to(const char *value) {
    return store_number("--to", value, value, 1, 32, &request.to,
                        "the last address must be 1 to 32");
}

int set_timeout(const char *value) {
    request.timeoutMs = int(decimal_number(value, 4, 1, 2000));
    if (request.timeoutMs < 0)
        return usage_error("--timeout %s: the wait for a first byte must be 1 to 2000 ms", value);
    return OPTIONS_CONTINUE;
}

int set_repeat(const char *value) {
    request.repeat = decimal_number(value, 9, 0, 999999999);
    if (request.repeat < 0)
        return usage_error("--repeat %s: the number of exchanges must be 0 (no end) to 999999999",
                           value);
    return OPTIONS_CONTINUE;
}

// Seconds as digits with at most three decimals, from 0.1 to a day.
int set_interval(const char *value) {
    const char *point = std::strchr(value, '.');
    const size_t whole = point ? size_t(point - value) : std::strlen(value);
    const size_t decimals = point ? std::strlen(point + 1) : 0;
    bool digits = whole + decimals > 0 && whole <= 5 && decimals <= 3;
    for (const char *c = value; *c != '\0' && digits; c++)
        digits = c == point || (*c >= '0' && *c <= '9');
    request.interval = digits ? std::strtod(value, nullptr) : -1;
    if (!(request.interval >= 0.1 && request.interval <= 86400))
        return usage_error(
            "--interval %s: the interval must be 0.1 to 86400 seconds, at most three decimals",
            value);
    return OPTIONS_CONTINUE;
}

int set_timestamps(const char *) {
    request.timestamps = 1;
    return OPTIONS_CONTINUE;
}

int start_run(const char *value) {
    if (*value == '\0') return usage_error("--run: the file name is empty");
    request.run = value;
    return OPTIONS_CONTINUE;
}

int set_junit(const char *value) {
    if (*value == '\0') return usage_error("--junit: the file name is empty");
    request.junit = value;
    return OPTIONS_CONTINUE;
}

int add_alarm(const char *value) {
    char error[PARSE_ERROR_TEXT_SIZE];
    if (alarm_option(value, error, sizeof error) != 0)
        return usage_error("--alarm %s: %s", value, error);
    return OPTIONS_CONTINUE;
}

int start_poll(const char *) {
    request.poll = 1;
    return OPTIONS_CONTINUE;
}

int set_json(const char *) {
    request.json = 1;
    return OPTIONS_CONTINUE;
}

int show_help(void);
int show_version(void);
int list_ports(void);
int want_help(const char *) {
    return print_later(show_help);
}
int want_version(const char *) {
    return print_later(show_version);
}
int want_ports(const char *) {
    return print_later(list_ports);
}

const Option options[] = {
    {"--lang", "de|en", choose_language, WINDOW,
     "language of the window and of the interpreted texts\n(default: de)"},
    {"--no-settings", nullptr, skip_settings, WINDOW,
     "start the window as on its first run: neither read\n"
     "nor write what it remembers between runs"},
    {"--map", "comN=DEVICE", map_port, PORTS,
     "point the port name comN (1..20) at a serial\n"
     "device, e.g. com1=/dev/ttyUSB0, or at a device\n"
     "server: tcp://HOST:PORT (raw TCP) or\n"
     "rfc2217://HOST:PORT (sets its line); repeatable"},
    {"--list-ports", nullptr, want_ports, PORTS,
     "print the system's serial ports and the device that\n"
     "each port name com1..com20 opens (with the --map\n"
     "options given), then exit"},
    {"--send", "TEXT", send_text, EXCHANGE,
     "send the command text TEXT (printable ASCII, at\n"
     "most 507 characters) once, as Enter in the command\n"
     "field does, without a window; print the sent and\n"
     "the received entry (see below)"},
    {"--address", "N", set_address, EXCHANGE, "chamber address, 1..32 (default 1)"},
    {"--port", "comN", set_port, EXCHANGE,
     "port name, com1..com20 (default com1), or a device\n"
     "server's address, which com1 then opens"},
    {"--mode", "0|1|2", set_mode, EXCHANGE,
     "display mode of the entries: 0 every byte in hex,\n"
     "1 without framing (default), 2 interpreted"},
    {"--trace", nullptr, set_trace, EXCHANGE,
     "print every byte sent and received with its time\n"
     "(ms after the write) and the outcome on standard\n"
     "error"},
    {"--repeat", "N", set_repeat, EXCHANGE,
     "send N times (0: until interrupted), then print a\n"
     "summary on standard error; Ctrl-C ends the run\n"
     "after the exchange in progress"},
    {"--interval", "S", set_interval, EXCHANGE,
     "seconds from one exchange's start to the next with\n"
     "--repeat, on a fixed grid: 0.1 to 86400, at most\n"
     "three decimals (default 2.0)"},
    {"--timestamps", nullptr, set_timestamps, EXCHANGE,
     "begin each line with the local time of its\n"
     "exchange's write and a tab"},
    {"--scan", nullptr, start_scan, SCAN,
     "send the command (--send, default A0) to each\n"
     "chamber address in turn and list those that answer"},
    {"--from", "N", set_from, SCAN, "first address of the scan, 1..32 (default 1)"},
    {"--to", "N", set_to, SCAN, "last address of the scan, 1..32 (default 32)"},
    {"--timeout", "MS", set_timeout, SCAN,
     "wait at most MS milliseconds (1..2000) for an\n"
     "answer's first byte (default 500)"},
    {"--run", "FILE", start_run, RUN,
     "run the acceptance sequence in FILE (see the manual\n"
     "page): each step and its verdict on standard\n"
     "output, then a summary"},
    {"--junit", "FILE", set_junit, RUN, "with --run: write a JUnit XML report to FILE"},
    {"--alarm", "RULE", add_alarm, RUN,
     "with --run or --repeat: raise an alarm when a\n"
     "chamber leaves a band or falls silent, e.g.\n"
     "\"A0 actual between 15 and 40 for 1 min\" or\n"
     "\"no answer for 30 s\"; repeatable"},
    {"--poll", nullptr, start_poll, POLL,
     "poll the chambers of --chamber or --lab without a\n"
     "window, each port on its own, with --interval and\n"
     "--repeat (turns per chamber; default until\n"
     "interrupted)"},
    {"--chamber", "PORT:ADDRESS[:COMMAND,...]", add_chamber_option, POLL,
     "a chamber to poll, e.g. com1:3 or com1:3:A0,A1\n"
     "(default command A0); repeatable"},
    {"--lab", "FILE", set_lab_option, POLL,
     "the chambers of a lab file (JSON, see the README);\n"
     "the window opens its chambers view with them"},
    {"--json", nullptr, set_json, POLL, "with --poll, print one JSON object per exchange"},
    {"--log", "FILE", set_log, LOG,
     "append one row per exchange to the CSV file FILE,\n"
     "in the window from start-up and with --send\n"
     "(format below); strftime fields such as %Y-%m-%d\n"
     "begin a new file when the name changes"},
    {"--mqtt", "URL", set_mqtt, MQTT,
     "publish every exchange to the MQTT broker at URL,\n"
     "mqtt://HOST[:PORT] or mqtts://HOST[:PORT] (TLS);\n"
     "topics below"},
    {"--mqtt-prefix", "TOPIC", set_mqtt_prefix, MQTT,
     "begin every topic with TOPIC (default\nkelvra/<host name>)"},
    {"--mqtt-credentials", "FILE", set_mqtt_credentials, MQTT,
     "log in to the broker with the one line\n"
     "user:password of FILE, which only its owner may read"},
    {"--mqtt-ca", "FILE", set_mqtt_ca, MQTT,
     "with mqtts://, trust the certificates (PEM) in FILE\n"
     "instead of the system's"},
    {"--help", nullptr, want_help, INFORMATION, "print this help, then exit"},
    {"--version", nullptr, want_version, INFORMATION, "print the version, then exit"},
};

int show_version(void) {
    std::printf("kelvra-ascii %s\n", KELVRA_VERSION);
    return finish_standard_output();
}

int list_ports(void) {
    print_ports(stdout);
    return finish_standard_output();
}

const char *section_of(const Option &option) {
    return option.section ? option.section : "Other";
}

// Whether an earlier row of the table has the same section.
bool section_opened_before(const Option &option) {
    for (const Option *earlier = options; earlier != &option; earlier++)
        if (std::strcmp(section_of(*earlier), section_of(option)) == 0) return true;
    return false;
}

// "  --name VALUES" padded to the help column (on a line of its own when longer), then the help.
void print_option(const Option &option) {
    enum { COLUMN = 24 };
    char head[64];
    std::snprintf(head, sizeof head, "  %s%s%s", option.name, option.values ? " " : "",
                  option.values ? option.values : "");
    if (std::strlen(head) + 2 > COLUMN)
        std::printf("%s\n%*s", head, COLUMN, "");
    else
        std::printf("%-*s", COLUMN, head);
    const char *line = option.help ? option.help : "";
    for (bool first = true;; first = false) {
        const char *end = std::strchr(line, '\n');
        const int length = end ? int(end - line) : int(std::strlen(line));
        std::printf("%*s%.*s\n", first ? 0 : int(COLUMN), "", length, line);
        if (!end) break;
        line = end + 1;
    }
}

int show_help(void) {
    std::printf("Usage: kelvra-ascii [OPTION]...\n"
                "  or:  kelvra-ascii --send TEXT [--repeat N] [OPTION]...\n"
                "  or:  kelvra-ascii --scan [OPTION]...\n"
                "  or:  kelvra-ascii --run FILE [--junit FILE] [OPTION]...\n"
                "  or:  kelvra-ascii --poll --chamber PORT:ADDRESS[:COMMAND,...]... [OPTION]...\n"
                "  or:  kelvra-ascii --poll --lab FILE [OPTION]...\n"
                "Operator's test tool for climate test chambers that speak the Kelvra ASCII\n"
                "protocol on a serial line. Unless an option prints and exits, it opens its\n"
                "window, which needs a graphical display; with --send, --scan or --run it runs\n"
                "without a window instead.\n");
    for (const Option &option : options) {
        const char *section = section_of(option);
        if (section_opened_before(option)) continue;
        std::printf("\n%s:\n", section);
        for (const Option &member : options)
            if (std::strcmp(section_of(member), section) == 0) print_option(member);
    }
    std::printf("\nPort names com1..com20 open /dev/ttyS0../dev/ttyS19 unless mapped with --map.\n"
                "A device server's address (HOST a name, an IPv4 or a bracketed IPv6 address)\n"
                "is connected to at the first exchange; the connection is kept for the next\n"
                "exchange of the run and closed after 5 s without one.\n"
                "\n"
                "The window remembers between runs, in $XDG_CONFIG_HOME/kelvra/kelvra-ascii.conf\n"
                "(~/.config/kelvra/kelvra-ascii.conf): the port, chamber address and display\n"
                "mode, where it and its views stood and which views were open, the log file\n"
                "started from its menu, the save dialogs' folders, and devices for port names\n"
                "that the file's [ports] section names (com1=DEVICE). --map and --log hold for\n"
                "their run only. Runs without a window (--send, --scan) neither read nor change\n"
                "what the window remembered.\n"
                "\n"
                "With --send, line 1 on standard output is the new entry of the sent history and\n"
                "line 2, only when a valid response came, that of the received history (UTF-8).\n"
                "Each \"RS-232 Message\" goes to standard error as one line, and so does the\n"
                "reason when no valid response came: \"no valid answer: CODE: WORDS\", with\n"
                "CODE one of no-answer, bad-start, wrong-address, no-high-bit, bad-checksum,\n"
                "too-long, incomplete, too-slow, port-error. Control characters (0x00-0x1F,\n"
                "0x7F-0x9F) in entries, device paths and program names are written as \\xhh,\n"
                "e.g. ESC as \\x1b and a line feed as \\x0a. Exit status: 0 valid response,\n"
                "1 none, 2 serial-port error, 64 usage error, 73 log file failed, 74 standard\n"
                "output could not be written (also for --help, --version, --list-ports), 255\n"
                "the window could not be opened (no display); with --repeat, those of the\n"
                "last exchange.\n"
                "\n"
                "With --log, every exchange appends one row to FILE: CSV (RFC 4180, UTF-8,\n"
                "CRLF), a header row when the file is new or empty, never truncated. Each row\n"
                "is on the disk before the exchange ends. Columns: time (local, with ms and\n"
                "UTC offset, when the frame was written), port, device, address, command,\n"
                "sent_hex, received_hex (every byte read, the rejected ones too; the first\n"
                "4096), outcome (ok, no-answer, bad-start, wrong-address, no-high-bit,\n"
                "bad-checksum, too-long, incomplete, too-slow, port-error), rtt_ms (from the\n"
                "end of the write until the valid answer's last byte came, also when Enter's\n"
                "half-second wait kept it queued; empty without one), mode, sent_text and\n"
                "received_text (the history entries as shown; empty when none). A row, here\n"
                "on three lines:\n"
                "  2025-03-14T09:26:53.589+01:00,com1,/dev/ttyUSB0,1,A0,02 81 C1 B0 F0 03,\n"
                "  02 81 C1 B0 A0 B0 B2 B3 AE B6 A0 B0 B2 B5 AE B0 F0 03,ok,12.4,1,A0,\n"
                "  A0 023.6 025.0\n"
                "In the text columns, control characters are written as \\xhh, and a text that\n"
                "begins with =, +, -, @, a tab or CR gets a leading ' (no spreadsheet formula).\n"
                "A log file that cannot be opened, or is no regular file or /dev/null, ends a\n"
                "--send run with status 73 before the exchange; one that cannot be written,\n"
                "after it (also a polling run). A log moved or deleted during the run is begun\n"
                "anew under its name.\n"
                "\n"
                "With --mqtt, every exchange is published under PREFIX (--mqtt-prefix) at QoS 1:\n"
                "PREFIX/comN/ADDRESS/exchange (JSON: time, port, address, command, outcome,\n"
                "rtt_ms, sent, received), after a valid A answer PREFIX/comN/ADDRESS/A<channel>\n"
                "retained (JSON: actual, set, time), PREFIX/comN/ADDRESS/alarm when an alarm is\n"
                "raised or cleared (JSON: time, state, alarm, detail), PREFIX/status retained\n"
                "(online; the broker's last will offline) and PREFIX/dropped after a\n"
                "reconnection when messages gave way meanwhile. A broker that is slow or away\n"
                "never delays an exchange: up to 10000 messages wait for it. At the end the run\n"
                "waits up to 2 s for them to be sent. Exit status 78 when the credentials or CA\n"
                "file cannot be used (unreadable, or readable by others).\n"
                "\n"
                "With --scan, each address that answers gives one line: the address, the round\n"
                "trip in milliseconds and the received entry, separated by tabs; a summary goes\n"
                "to standard error. Exit status: 0 an address answered, 1 none, 2 serial-port\n"
                "error (the scan stops), 64 usage error, 73 log file failed, 74 output failed.\n"
                "\n"
                "With --run, each step of the sequence file gives one line when it ends: its\n"
                "time, verdict (pass, FAIL, ERROR, skip, stopped), line, text and what it found;\n"
                "a summary ends the run. A file that does not parse runs nothing and is named\n"
                "as FILE:LINE:COLUMN on standard error. Exit status: 0 every step passed, 1 a\n"
                "step failed, 2 serial-port error, 64 usage error, 65 the file does not parse,\n"
                "66 it cannot be read, 73 report or log file failed, 74 output failed.\n"
                "\n"
                "With --poll, each exchange prints one line: the chamber (port:address), the\n"
                "sent and the received entry (empty without a valid answer), separated by\n"
                "tabs; with --json instead one JSON object: time, port, address, command,\n"
                "outcome, rtt_ms (null without a valid answer), received (the payload of a\n"
                "valid answer, else every byte read, as text with control bytes escaped) and\n"
                "for an A answer channel, actual and set. A summary per chamber goes to\n"
                "standard error. Exit status: 0 when every chamber's last exchange got a valid\n"
                "answer, 1 otherwise, 2 when one met a serial-port error, 65 the lab file does\n"
                "not parse or lists no chamber, 66 it cannot be read.\n"
                "\n"
                "Examples:\n"
                "  kelvra-ascii --lang en --map com1=/dev/ttyUSB0\n"
                "  kelvra-ascii --send A0\n"
                "  kelvra-ascii --send \"a0 030.0\" --address 3 --port com2 --mode 2 --lang en\n"
                "  kelvra-ascii --send T --map com1=/tmp/chamber --mode 0\n"
                "  kelvra-ascii --send A0 --map com1=/tmp/chamber --trace\n"
                "  kelvra-ascii --send A0 --map com1=rfc2217://lab-gw:4001\n"
                "  kelvra-ascii --send A0 --log chamber.csv\n"
                "  kelvra-ascii --send A0 --repeat 0 --interval 5 --timestamps\n"
                "  kelvra-ascii --scan --timeout 100\n"
                "  kelvra-ascii --run acceptance.seq --junit acceptance.xml\n"
                "  kelvra-ascii --poll --chamber com1:1 --chamber com1:2:A0,A1 --json\n"
                "  kelvra-ascii --poll --lab lab.json --log 'lab-%%Y-%%m-%%d.csv'\n");
    return finish_standard_output();
}

const Option *find_option(const char *argument, size_t nameLength) {
    for (const Option &option : options)
        if (std::strlen(option.name) == nameLength &&
            std::strncmp(option.name, argument, nameLength) == 0)
            return &option;
    return nullptr;
}

// What --poll and its companions must satisfy.
int check_polling(void) {
    const bool polling = request.poll != 0;
    const bool chambers = chamber_options()->count > 0;
    if (!polling && (chambers || request.json))
        return usage_error("options --chamber and --json need --poll");
    if (!polling) return OPTIONS_CONTINUE;
    if (request.text || request.scan || request.address >= 0 || request.port >= 0)
        return usage_error("option --poll takes its chambers from --chamber or --lab, not from "
                           "--send, --scan, --address or --port");
    if (chambers == (lab_file_option() != nullptr))
        return usage_error("option --poll needs either --chamber or --lab");
    if (request.trace) return usage_error("option --trace is not for --poll");
    return OPTIONS_CONTINUE;
}

// What the options given together must satisfy; a usage error names the first they break.
int check_combination(void) {
    const bool scanning = request.scan != 0;
    if (!mqttGiven && (mqtt.prefix[0] || mqtt.credentials[0] || mqtt.caFile[0]))
        return usage_error("options --mqtt-prefix, --mqtt-credentials and --mqtt-ca need --mqtt");
    if (request.run &&
        (request.text || scanning || request.poll || request.address >= 0 || request.port >= 0 ||
         request.mode >= 0 || request.trace || request.repeat >= 0 || request.timestamps))
        return usage_error("option --run takes its chambers and commands from the file; it goes "
                           "with --junit, --alarm, --log, --mqtt, --map and --lang only");
    if (request.junit && !request.run) return usage_error("option --junit needs --run");
    if (alarm_option_count() > 0 && !request.run && request.repeat < 0 && !request.poll)
        return usage_error("option --alarm needs --run, --repeat or --poll");
    if (const int status = check_polling(); status != OPTIONS_CONTINUE) return status;
    if (request.poll) {
        if (request.from >= 0 || request.to >= 0 || request.timeoutMs >= 0)
            return usage_error("options --from, --to and --timeout need --scan");
        return OPTIONS_CONTINUE; // --interval stays -1 unless given: each chamber's own then
    }
    if (!request.text && !scanning &&
        (request.address >= 0 || request.port >= 0 || request.mode >= 0))
        return usage_error("options --address, --port and --mode need --send or --scan");
    if (request.trace && (!request.text || scanning))
        return usage_error("option --trace needs --send, and is not for --scan");
    if (scanning && request.address >= 0)
        return usage_error("options --scan and --address exclude each other: the scan sets "
                           "the address");
    if (scanning && (request.repeat >= 0 || request.interval >= 0 || request.timestamps))
        return usage_error("options --repeat, --interval and --timestamps are not for --scan");
    if (!scanning && (request.from >= 0 || request.to >= 0 || request.timeoutMs >= 0))
        return usage_error("options --from, --to and --timeout need --scan");
    if (!request.text && (request.repeat >= 0 || request.interval >= 0 || request.timestamps))
        return usage_error("options --repeat, --interval and --timestamps need --send");
    if (request.interval >= 0 && request.repeat < 0)
        return usage_error("option --interval needs --repeat");
    if (request.from < 0) request.from = 1;
    if (request.to < 0) request.to = 32;
    if (request.from > request.to)
        return usage_error("--from %d lies above --to %d", request.from, request.to);
    if (request.timeoutMs < 0) request.timeoutMs = LINK_DELAY_MS;
    if (request.interval < 0) request.interval = 2.0;
    return OPTIONS_CONTINUE;
}

} // namespace

int parse_options(int argc, char *argv[]) {
    request = {nullptr, -1, -1, -1, 0, 0, -1, -1, -1, -1, -1, 0, nullptr, nullptr, 0, 0};
    clear_alarm_options();
    logFile = nullptr;
    reset_lab_options();
    mqtt = {};
    mqttGiven = false;
    noSettings = 0;
    mappedPorts = 0;
    print_and_exit = nullptr;
    for (int i = 1; i < argc; i++) {
        const char *argument = argv[i];
        const char *equals = std::strchr(argument, '=');
        const size_t nameLength = equals ? size_t(equals - argument) : std::strlen(argument);
        const Option *option = find_option(argument, nameLength);
        if (!option) return usage_error("unknown option '%s' (see kelvra-ascii --help)", argument);

        const char *value = nullptr;
        if (option->values) {
            if (equals)
                value = equals + 1;
            else if (i + 1 < argc)
                value = argv[++i];
            else
                return usage_error("option %s needs a value (%s)", option->name, option->values);
        } else if (equals) {
            return usage_error("option %s takes no value", option->name);
        }
        const int result = option->apply(value);
        if (result == BAD_VALUE)
            return usage_error("bad value for %s (expected %s)", option->name, option->values);
        if (result != OPTIONS_CONTINUE) return result;
    }
    if (print_and_exit) return print_and_exit();
    return check_combination();
}

int finish_standard_output(void) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    const int cause = errno;
    std::fprintf(stderr, "kelvra-ascii: cannot write to standard output: %s\n",
                 std::strerror(cause));
    return EXIT_OUTPUT_FAILED;
}

const CommandLineExchange *command_line_exchange(void) {
    return request.text || request.scan || request.run || request.poll ? &request : nullptr;
}

const char *log_file_option(void) {
    return logFile;
}

const MqttSettings *mqtt_option(void) {
    return mqttGiven ? &mqtt : nullptr;
}

int no_settings_option(void) {
    return noSettings;
}

int port_mapped_by_option(int port) {
    return port >= 1 && port <= 20 && (mappedPorts >> port & 1u) != 0;
}
