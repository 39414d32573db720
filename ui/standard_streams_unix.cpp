// The standard streams' guard on Unix.
#include "ui/standard_streams.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

void guard_standard_streams(void) {
    (void)std::signal(SIGPIPE, SIG_IGN);
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; fd++) {
        if (fcntl(fd, F_GETFD) != -1) continue;
        const int held = open("/dev/null", O_RDONLY);
        if (held >= 0 && held != fd) {
            dup2(held, fd);
            close(held);
        }
    }
}
