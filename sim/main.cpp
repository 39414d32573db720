// kelvra-chamber: simulated climate chambers on a pseudo-terminal or a serial device.
#include "sim/line.h"
#include "sim/options.h"
#include "sim/serve.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static int wake_pipe[2] = {-1, -1};

static void on_signal(int) {
    int saved = errno;
    char byte = 1;
    if (write(wake_pipe[1], &byte, 1) < 0) { /* a wake-up is already waiting */
    }
    errno = saved;
}

static int watch_signals(void) {
    if (pipe(wake_pipe) < 0) return -1;
    for (int fd : wake_pipe) fcntl(fd, F_SETFL, O_NONBLOCK);
    struct sigaction action = {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    const int stops[] = {SIGINT, SIGTERM, SIGHUP};
    for (int signal : stops) sigaction(signal, &action, nullptr);
    return std::signal(SIGPIPE, SIG_IGN) == SIG_ERR ? -1 : 0;
}

// A stale symbolic link from an earlier run is replaced; anything else at path is kept.
static int make_link(const char *path, const char *target) {
    if (symlink(target, path) == 0) return 0;
    struct stat info;
    if (errno != EEXIST || lstat(path, &info) < 0 || !S_ISLNK(info.st_mode)) return -1;
    if (unlink(path) < 0) return -1;
    return symlink(target, path);
}

// Only a link that still points to our line is ours to remove.
static void remove_link(const char *path, const char *target) {
    char points_to[PATH_MAX];
    ssize_t n = readlink(path, points_to, sizeof points_to - 1);
    if (n < 0) return;
    points_to[n] = '\0';
    if (strcmp(points_to, target) == 0) unlink(path);
}

// The chamber clock starts at the local time, kept as seconds whose UTC fields show it.
static long long local_clock(void) {
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    return (long long)timegm(&local);
}

int main(int argc, char **argv) {
    Options options;
    char error[512];
    if (options_parse(argc, argv, &options, error, sizeof error) < 0) {
        fprintf(stderr, "kelvra-chamber: %s\n", error);
        return 2;
    }
    if (options.help) {
        fputs(options_help(), stdout);
        return 0;
    }

    Line line;
    int opened = options.device ? line_open_device(&line, options.device, error, sizeof error)
                                : line_open_pty(&line, error, sizeof error);
    if (opened < 0) {
        fprintf(stderr, "kelvra-chamber: %s\n", error);
        return 1;
    }
    if (options.link && make_link(options.link, line.path) < 0) {
        fprintf(stderr, "kelvra-chamber: cannot make the link %s: %s\n", options.link,
                errno == EEXIST ? "something else is there" : strerror(errno));
        line_close(&line);
        return 1;
    }
    if (watch_signals() < 0) {
        fprintf(stderr, "kelvra-chamber: cannot watch signals: %s\n", strerror(errno));
        return 1;
    }
    printf("%s\n", line.path);
    (void)fflush(stdout); // a reader that went away is no reason to stop serving the line

    int status = serve(line.fd, &options, wake_pipe[0], local_clock());

    if (options.link) remove_link(options.link, line.path);
    line_close(&line);
    return status;
}
