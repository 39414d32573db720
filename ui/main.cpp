// kelvra-ascii: the operator's window.
#include "ui/program.h"

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

// A pipe whose reader has gone is a write error the program reports (status 74), not a signal
// that kills it. A standard descriptor the caller closed is held by /dev/null, opened for reading
// only, so that no serial device the program opens takes its number, and what is printed there
// fails as a write error instead.
static void guard_standard_streams(void) {
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
#else
static void guard_standard_streams(void) {}
#endif

int main(int argc, char *argv[]) {
    guard_standard_streams();
    return ascii_main(argc, argv);
}
