// The simulator's work: answering the requests that arrive on the line or from a TCP client.
#pragma once

#include "sim/options.h"

// Serves the chambers that options name on the line fd (non-blocking) until wake_fd becomes
// readable. Every chamber's clock starts at clock (seconds since 1970, read as UTC fields).
// Returns 0 when woken, or 1 after reporting on stderr that the line failed or hung up.
int serve(int fd, const Options *options, int wake_fd, long long clock);
// Serves the chambers as serve does, to the clients of the listening socket listener one after
// the other, until wake_fd becomes readable. A client that goes, at any moment, leaves the
// chambers as they are and the line clean for the next. Returns 0 when woken, or 1 after
// reporting on stderr that the listener failed.
int serve_tcp(int listener, const Options *options, int wake_fd, long long clock);
