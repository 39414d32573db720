// The option table and its parser. An option takes its value as "--name value" or
// "--name=value"; to add one, write its handler and add a line to the table: --help lists it
// under its section, sections in the order the table first names them.
#include "ui/options.h"

#include "display/format.h"
#include "link/com_map.h"
#include "link/rs232.h"
#include "ui/ports.h"

#include <cstdio>
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
constexpr const char *INFORMATION = "Information";

int choose_language(const char *value) {
    if (std::strcmp(value, "de") == 0)
        Fremdsprache = 0;
    else if (std::strcmp(value, "en") == 0)
        Fremdsprache = 1;
    else
        return BAD_VALUE;
    return OPTIONS_CONTINUE;
}

int map_port(const char *value) {
    char device[COM_MAP_DEVICE_SIZE];
    char error[COM_MAP_DEVICE_SIZE + 128];
    int port = 0;

    if (parse_com_map(value, &port, device, sizeof device, error, sizeof error) != 0) {
        std::fprintf(stderr, "kelvra-ascii: %s\n", error);
        return EXIT_USAGE;
    }
    if (const int code = MapComPort(port, device); code < 0) {
        std::fprintf(stderr, "kelvra-ascii: --map %s: %s\n", value, GetRS232ErrorString(code));
        return EXIT_USAGE;
    }
    return OPTIONS_CONTINUE;
}

int show_help(const char *);
int show_version(const char *);
int list_ports(const char *);

const Option options[] = {
    {"--lang", "de|en", choose_language, WINDOW,
     "language of the window and of the interpreted texts\n(default: de)"},
    {"--map", "comN=DEVICE", map_port, PORTS,
     "point the port name comN (1..20) at a serial\ndevice, e.g. com1=/dev/ttyUSB0; repeatable"},
    {"--list-ports", nullptr, list_ports, PORTS,
     "print the system's serial ports and the device that\n"
     "each port name com1..com20 opens (with the --map\n"
     "options given before it), then exit"},
    {"--help", nullptr, show_help, INFORMATION, "print this help, then exit"},
    {"--version", nullptr, show_version, INFORMATION, "print the version, then exit"},
};

// The exit status after printing to stdout: 0, or 1 with a message if the output failed.
int finish_output(void) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    std::fputs("kelvra-ascii: cannot write to standard output\n", stderr);
    return 1;
}

int show_version(const char *) {
    std::printf("kelvra-ascii %s\n", KELVRA_VERSION);
    return finish_output();
}

int list_ports(const char *) {
    print_ports(stdout);
    return finish_output();
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

int show_help(const char *) {
    std::printf("Usage: kelvra-ascii [OPTION]...\n"
                "Operator's test tool for climate test chambers that speak the Kelvra ASCII\n"
                "protocol on a serial line. Unless an option prints and exits, it opens its\n"
                "window, which needs a graphical display.\n");
    for (const Option &option : options) {
        const char *section = section_of(option);
        if (section_opened_before(option)) continue;
        std::printf("\n%s:\n", section);
        for (const Option &member : options)
            if (std::strcmp(section_of(member), section) == 0) print_option(member);
    }
    std::printf(
        "\nPort names com1..com20 open /dev/ttyS0../dev/ttyS19 unless mapped with --map.\n");
    return finish_output();
}

int usage_error(const char *format, const char *a, const char *b) {
    std::fputs("kelvra-ascii: ", stderr);
    std::fprintf(stderr, format, a, b);
    std::fputc('\n', stderr);
    return EXIT_USAGE;
}

const Option *find_option(const char *argument, size_t nameLength) {
    for (const Option &option : options)
        if (std::strlen(option.name) == nameLength &&
            std::strncmp(option.name, argument, nameLength) == 0)
            return &option;
    return nullptr;
}

} // namespace

int parse_options(int argc, char *argv[]) {
    for (int i = 1; i < argc; i++) {
        const char *argument = argv[i];
        const char *equals = std::strchr(argument, '=');
        const size_t nameLength = equals ? size_t(equals - argument) : std::strlen(argument);
        const Option *option = find_option(argument, nameLength);
        if (!option)
            return usage_error("unknown option '%s'%s (see kelvra-ascii --help)", argument, "");

        const char *value = nullptr;
        if (option->values) {
            if (equals)
                value = equals + 1;
            else if (i + 1 < argc)
                value = argv[++i];
            else
                return usage_error("option %s needs a value (%s)", option->name, option->values);
        } else if (equals) {
            return usage_error("option %s takes no value%s", option->name, "");
        }
        const int result = option->apply(value);
        if (result == BAD_VALUE)
            return usage_error("bad value for %s (expected %s)", option->name, option->values);
        if (result != OPTIONS_CONTINUE) return result;
    }
    return OPTIONS_CONTINUE;
}
