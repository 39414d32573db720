// Wall-clock instants as the tool writes them, and the calendar beneath: the part of reading the
// clock that differs between systems is calendar_unix.cpp / calendar_windows.cpp. No Qt here.
#pragma once

#include <ctime>

enum {
    WALL_CLOCK_TEXT_SIZE = 64, // room for any form of wall_clock_text, with its terminator
};

// How wall_clock_text writes an instant, in local time with milliseconds.
enum WallClockForm {
    WALL_CLOCK_TIME,      // "09:26:53.589"
    WALL_CLOCK_DATE_TIME, // "2025-03-14 09:26:53.589"
    WALL_CLOCK_OFFSET,    // "2025-03-14T09:26:53.589+01:00", with the UTC offset then in force
};

// Fills *local, and *utc unless it is null, for the instant `seconds` after 1970-01-01 UTC.
// Returns 0, or -1 when the system cannot (both are then left zeroed).
int calendar_of(long long seconds, struct tm *local, struct tm *utc);
// Writes the instant wallMs (ms since 1970 UTC) in the form into text (size bytes,
// WALL_CLOCK_TEXT_SIZE suffice, cut if fewer).
void wall_clock_text(long long wallMs, WallClockForm form, char *text, int size);
