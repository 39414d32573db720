// The calendar of a wall-clock instant, in local time and in UTC: the part of reading the clock
// that differs between systems (calendar_unix.cpp, calendar_windows.cpp). No Qt here.
#pragma once

#include <ctime>

// Fills *local, and *utc unless it is null, for the instant `seconds` after 1970-01-01 UTC.
// Returns 0, or -1 when the system cannot (both are then left zeroed).
int calendar_of(long long seconds, struct tm *local, struct tm *utc);
