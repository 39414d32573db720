// Log file names that change with the time: "lab-%Y-%m-%d.csv" names one file a day, so a
// campaign of weeks writes a file per day instead of one that grows without end. No Qt here.
#pragma once

// The name that pattern gives at wallMs (ms since 1970 UTC): its strftime fields (%Y, %m, %d,
// %H, %M, %S, %j, %V, %%, ...) filled in with the local time then, into name (size bytes). A
// pattern without '%' is the name itself. Returns 0, or -1 when the name does not fit or comes
// out empty.
int log_name_at(const char *pattern, long long wallMs, char *name, int size);
