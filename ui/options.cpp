// The option table and its parser. An option takes its value as "--name value" or
// "--name=value"; to add one, write its handler and add a line to the table.
#include "ui/options.h"

#include "display/format.h"
#include "link/com_map.h"
#include "link/rs232.h"

#include <cstdio>
#include <cstring>

namespace {

struct Option {
    const char *name;
    const char *values; // what the value may be, for messages; null for an option without one
    // Applies the option; returns OPTIONS_CONTINUE, an exit status, or -2 for a bad value.
    int (*apply)(const char *value);
};

constexpr int BAD_VALUE = -2;

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

const Option options[] = {
    {"--lang", "de|en", choose_language},
    {"--map", "comN=DEVICE", map_port},
};

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
        if (!option) return usage_error("unknown option '%s'%s", argument, "");

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
