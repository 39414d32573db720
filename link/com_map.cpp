// Parsing of one --map value; the caller hands the result to MapComPort.
#include "link/com_map.h"
#include "link/com_name.h"
#include "link/rs232.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

// The message is formatted where its room is known and then cut to the caller's buffer, since
// the compiler cannot see how large that buffer is.
static int refuse(const char *value, const char *problem, char *error, int errorSize) {
    char message[COM_MAP_DEVICE_SIZE + 128];
    snprintf(message, sizeof message, "--map %s: %s", value, problem);
    if (errorSize > 0) {
        size_t length = strnlen(message, (size_t)errorSize - 1);
        memcpy(error, message, length);
        error[length] = '\0';
    }
    return -1;
}

int parse_com_map(const char *value, int *port, char *device, int deviceSize, char *error,
                  int errorSize) {
    static const char usage[] = "expected comN=DEVICE with N from 1 to 20, e.g. com1=/dev/ttyUSB0 "
                                "or com1=tcp://HOST:PORT";
    const char *equals = strchr(value, '=');

    if (equals == nullptr) return refuse(value, usage, error, errorSize);
    const int number = parse_com_name(value, (size_t)(equals - value));
    if (number == 0) {
        // "com", "com0" or "com21" name a port out of range; anything else is no port name
        const bool prefixed = strncasecmp(value, "com", 3) == 0;
        const size_t digits = prefixed ? strspn(value + 3, "0123456789") : 0;
        const bool named = prefixed && value + 3 + digits == equals && digits <= 3;
        return refuse(value, named ? "the port must be com1 to com20" : usage, error, errorSize);
    }

    const char *path = equals + 1;
    if (*path == '\0') return refuse(value, "the device is missing after '='", error, errorSize);
    if ((int)strlen(path) >= deviceSize)
        return refuse(value, "the device path is too long", error, errorSize);

    *port = number;
    memcpy(device, path, strlen(path) + 1);
    return 0;
}

int is_network_device(const char *device) {
    return device != nullptr &&
           (strncasecmp(device, "tcp://", 6) == 0 || strncasecmp(device, "rfc2217://", 10) == 0);
}
