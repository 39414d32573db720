// The simulator's work: answering the requests that arrive on the line.
#pragma once

#include "sim/options.h"

// Serves the chambers that options name on the line fd (non-blocking) until wake_fd becomes
// readable. Every chamber's clock starts at clock (seconds since 1970, read as UTC fields).
// Returns 0 when woken, or 1 after reporting on stderr that the line failed.
int serve(int fd, const Options *options, int wake_fd, long long clock);
