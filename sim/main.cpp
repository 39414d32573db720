// kelvra-chamber: simulated climate chambers on a pseudo-terminal, a serial device or a TCP port.
#include "display/visible.h"
#include "sim/line.h"
#include "sim/options.h"
#include "sim/serve.h"
#include "sim/tcp.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef KELVRA_VERSION
#error "KELVRA_VERSION must be defined by the build"
#endif

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

// Flushes what --help or --version printed. Returns 0, or EXIT_OUTPUT_FAILED after saying why.
static int finish_output(void) {
    if (fflush(stdout) == 0 && !ferror(stdout)) return 0;
    fprintf(stderr, "kelvra-chamber: cannot write to standard output: %s\n", strerror(errno));
    return EXIT_OUTPUT_FAILED;
}

// A message that quotes arguments, which may hold anything: their control characters are
// written as escapes, so that nothing acts on the terminal.
static int usage_error(const char *message) {
    fputs("kelvra-chamber: ", stderr);
    put_bytes_visible(message, stderr);
    fputc('\n', stderr);
    return EXIT_USAGE;
}

// Opens what options name: a TCP listener, a serial device or a new pseudo-terminal.
static int open_line(const Options *options, Line *line, char *error, size_t size) {
    if (options->tcp_port == TCP_NONE)
        return options->device ? line_open_device(line, options->device, error, size)
                               : line_open_pty(line, error, size);
    line->keep_slave = -1;
    line->fd =
        tcp_listen(options->bind, options->tcp_port, line->path, sizeof line->path, error, size);
    return line->fd < 0 ? -1 : 0;
}

int main(int argc, char **argv) {
    Options options;
    char error[1024];
    if (options_parse(argc, argv, &options, error, sizeof error) < 0) return usage_error(error);
    if (options.help || options.version) {
        if (options.help)
            options_print_help(stdout);
        else
            printf("kelvra-chamber %s\n", KELVRA_VERSION);
        return finish_output();
    }

    Line line;
    if (open_line(&options, &line, error, sizeof error) < 0) {
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
        if (options.link) remove_link(options.link, line.path);
        line_close(&line);
        return 1;
    }
    printf("%s\n", line.path);
    (void)fflush(stdout); // a reader that went away is no reason to stop serving the line

    int status = options.tcp_port == TCP_NONE
                     ? serve(line.fd, &options, wake_pipe[0], local_clock())
                     : serve_tcp(line.fd, &options, wake_pipe[0], local_clock());

    if (options.link) remove_link(options.link, line.path);
    line_close(&line);
    return status;
}
