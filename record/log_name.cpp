// Log file names from a pattern and the local time.
#include "record/log_name.h"

#include "record/calendar.h"

#include <cstring>
#include <ctime>

int log_name_at(const char *pattern, long long wallMs, char *name, int size) {
    if (size < 1) return -1;
    if (!std::strchr(pattern, '%')) {
        const size_t length = std::strlen(pattern);
        if (length == 0 || length >= (size_t)size) return -1;
        std::memcpy(name, pattern, length + 1);
        return 0;
    }
    struct tm local = {};
    const long long seconds = wallMs >= 0 ? wallMs / 1000 : -((-wallMs + 999) / 1000);
    if (calendar_of(seconds, &local, nullptr) != 0) return -1;
        // strftime returns 0 both for a name too long and for an empty one
        // the pattern is the operator's file name: strftime only fills in fields, never reads
        // arguments, so a pattern from outside is safe
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const size_t length = std::strftime(name, (size_t)size, pattern, &local);
#pragma GCC diagnostic pop
    if (length == 0) {
        name[0] = '\0';
        return -1;
    }
    return 0;
}
