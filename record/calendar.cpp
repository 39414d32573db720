// Wall-clock instants as text.
#include "record/calendar.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void wall_clock_text(long long wallMs, WallClockForm form, char *text, int size) {
    if (size <= 0) return;
    const long long seconds = wallMs >= 0 ? wallMs / 1000 : (wallMs - 999) / 1000;
    const int ms = int(wallMs - seconds * 1000);
    tm local{}, utc{};
    calendar_of(seconds, &local, form == WALL_CLOCK_OFFSET ? &utc : nullptr);
    char date[48] = ""; // room for any int the fields could hold
    if (form != WALL_CLOCK_TIME)
        std::snprintf(date, sizeof date, "%04d-%02d-%02d%c", local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday, form == WALL_CLOCK_OFFSET ? 'T' : ' ');
    char offset[32] = "";
    if (form == WALL_CLOCK_OFFSET) {
        // the offset from the two calendars, as no portable field holds it
        const int days = local.tm_year != utc.tm_year ? (local.tm_year > utc.tm_year ? 1 : -1)
                                                      : local.tm_yday - utc.tm_yday;
        const int minutes =
            (days * 24 + local.tm_hour - utc.tm_hour) * 60 + local.tm_min - utc.tm_min;
        std::snprintf(offset, sizeof offset, "%c%02d:%02d", minutes < 0 ? '-' : '+',
                      std::abs(minutes) / 60, std::abs(minutes) % 60);
    }
    char whole[128];
    const int length = std::snprintf(whole, sizeof whole, "%s%02d:%02d:%02d.%03d%s", date,
                                     local.tm_hour, local.tm_min, local.tm_sec, ms, offset);
    const int kept = std::clamp(length, 0, size - 1);
    std::memcpy(text, whole, size_t(kept));
    text[kept] = '\0';
}
