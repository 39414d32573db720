// The reader of port names.
#include "link/com_name.h"
#include "link/rs232.h"

#include <cctype>

// Leading zeros are taken ("com03" is com3); the digits stop counting once the number is out of
// range, so no digit string can overflow.
int parse_com_name(const char *name, size_t length) {
    if (name == nullptr || length < 4) return 0;
    for (size_t i = 0; i < 3; i++)
        if (std::tolower((unsigned char)name[i]) != "com"[i]) return 0;
    int number = 0;
    for (size_t i = 3; i < length; i++) {
        if (name[i] < '0' || name[i] > '9') return 0;
        number = number * 10 + (name[i] - '0');
        if (number > RS232_MAX_PORTS) return 0;
    }
    return number;
}
