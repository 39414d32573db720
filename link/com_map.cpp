// Parsing of one --map value; the caller hands the result to MapComPort.
#include "link/com_map.h"
#include "link/rs232.h"

#include <cstdio>
#include <cstring>

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
    static const char usage[] = "expected comN=DEVICE with N from 1 to 20, e.g. com1=/dev/ttyUSB0";
    const char *equals = strchr(value, '=');

    if (equals == nullptr) return refuse(value, usage, error, errorSize);
    if (strncmp(value, "com", 3) != 0 && strncmp(value, "COM", 3) != 0)
        return refuse(value, usage, error, errorSize);

    int number = 0;
    const char *digit = value + 3;
    for (; digit < equals; digit++) {
        if (*digit < '0' || *digit > '9' || number > RS232_MAX_PORTS)
            return refuse(value, usage, error, errorSize);
        number = number * 10 + (*digit - '0');
    }
    if (digit == value + 3 || number < 1 || number > RS232_MAX_PORTS)
        return refuse(value, "the port must be com1 to com20", error, errorSize);

    const char *path = equals + 1;
    if (*path == '\0') return refuse(value, "the device is missing after '='", error, errorSize);
    if ((int)strlen(path) >= deviceSize)
        return refuse(value, "the device path is too long", error, errorSize);

    *port = number;
    memcpy(device, path, strlen(path) + 1);
    return 0;
}
