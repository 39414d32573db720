// The standard streams' guard on Windows: a write to a closed pipe fails there without a signal,
// and a closed standard handle is never reused by a serial port.
#include "ui/standard_streams.h"

void guard_standard_streams(void) {}
