// Line set-up over POSIX terminals.
#include "sim/line.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

static int fail(char *error, size_t size, const char *what, const char *path) {
    int cause = errno;
    snprintf(error, size, "%s%s%s: %s%s", what, *path ? " " : "", path, strerror(cause),
             cause == EACCES ? " (is the user in the group dialout?)" : "");
    return -1;
}

// Raw bytes, no echo, no flow control, 19200 baud, 8 data bits, 1 stop bit, and odd parity on
// a real device. A pseudo-terminal has no parity: Linux drops PARENB but keeps PARODD, and a
// slave left with that half setting refuses every later client's request for odd parity.
static int set_line(int fd, bool parity) {
    struct termios settings;
    if (tcgetattr(fd, &settings) < 0) return -1;
    cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | CSTOPB | CRTSCTS | PARENB | PARODD);
    settings.c_cflag |= CS8 | CLOCAL | CREAD | (parity ? PARENB | PARODD : 0);
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    cfsetispeed(&settings, B19200);
    cfsetospeed(&settings, B19200);
    return tcsetattr(fd, TCSANOW, &settings);
}

int line_open_pty(Line *line, char *error, size_t size) {
    line->keep_slave = -1;
    line->fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (line->fd < 0) return fail(error, size, "cannot create a pseudo-terminal", "");
    const char *slave = nullptr;
    if (grantpt(line->fd) < 0 || unlockpt(line->fd) < 0 || !(slave = ptsname(line->fd))) {
        fail(error, size, "cannot unlock the pseudo-terminal", "");
        line_close(line);
        return -1;
    }
    snprintf(line->path, sizeof line->path, "%s", slave);
    // While one slave descriptor stays open the master never sees a hang-up, and settings made
    // here persist when the tool closes its own.
    line->keep_slave = open(line->path, O_RDWR | O_NOCTTY);
    if (line->keep_slave < 0 || set_line(line->keep_slave, false) < 0) {
        fail(error, size, "cannot set up", line->path);
        line_close(line);
        return -1;
    }
    return 0;
}

int line_open_device(Line *line, const char *path, char *error, size_t size) {
    line->keep_slave = -1;
    snprintf(line->path, sizeof line->path, "%s", path);
    line->fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (line->fd < 0) return fail(error, size, "cannot open", path);
    if (set_line(line->fd, true) < 0) {
        fail(error, size, "cannot set 19200 8O1 on", path);
        line_close(line);
        return -1;
    }
    tcflush(line->fd, TCIOFLUSH);
    return 0;
}

void line_close(Line *line) {
    if (line->keep_slave >= 0) close(line->keep_slave);
    if (line->fd >= 0) close(line->fd);
    line->keep_slave = line->fd = -1;
}
