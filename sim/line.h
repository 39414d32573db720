// The serial line the simulator serves: a pseudo-terminal it creates, or a serial device.
#pragma once

#include <cstddef>

struct Line {
    int fd;         // read and write here: the pty's master side, or the device; non-blocking
    int keep_slave; // a descriptor of the pty's slave side held open for the whole run, or -1
    char path[256]; // what the tool opens: the slave's path, or the device's
};

// Creates a pseudo-terminal, raw at 19200 8O1, and holds its slave side open so that the tool
// may open and close it as often as it likes. Returns 0, or -1 with a message in error.
int line_open_pty(Line *line, char *error, size_t size);
// Opens the serial device path at 19200 baud, 8 data bits, odd parity, 1 stop bit, no flow
// control, raw. Returns 0, or -1 with a message in error.
int line_open_device(Line *line, const char *path, char *error, size_t size);
// Closes what line holds.
void line_close(Line *line);
