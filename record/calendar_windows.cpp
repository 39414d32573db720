// The calendar on Windows, whose safe forms take their arguments the other way round.
#include "record/calendar.h"

int calendar_of(long long seconds, struct tm *local, struct tm *utc) {
    const time_t time = (time_t)seconds;
    *local = tm{};
    if (utc) *utc = tm{};
    if (localtime_s(local, &time) != 0) return -1;
    return utc && gmtime_s(utc, &time) != 0 ? -1 : 0;
}
