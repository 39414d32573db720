// The calendar on POSIX systems: the reentrant forms, as the views and the log run beside others.
#include "record/calendar.h"

int calendar_of(long long seconds, struct tm *local, struct tm *utc) {
    const time_t time = (time_t)seconds;
    *local = tm{};
    if (utc) *utc = tm{};
    if (!localtime_r(&time, local)) return -1;
    return utc && !gmtime_r(&time, utc) ? -1 : 0;
}
