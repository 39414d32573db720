// The event loop: reads requests, answers them after the configured delay, falsified when a
// fault is due and paced when asked, keeps a noisy line busy, and takes TCP clients in turn.
#include "sim/serve.h"

#include "sim/answer.h"
#include "sim/chamber.h"
#include "sim/fault.h"
#include "sim/reader.h"
#include "sim/tcp.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <unistd.h>

// How a stretch of serving one line or client ended.
enum Stop {
    GOING,  // not yet
    WOKEN,  // a signal asked the simulator to stop
    GONE,   // the client went away, or the line hung up
    FAILED, // the line failed; the reason is on stderr
};

// What belongs to the line rather than to the chambers: a new client starts without it.
struct LineState {
    FrameReader reader;
    Burst burst;  // the answer going out
    int sent;     // bytes of burst already written
    double start; // when the answer fell due; a paced byte k (1..) goes at start + k byte times
    double due;   // when the next byte of burst may go
    bool noisy;   // the line is kept busy until the next request
    double noise_due;
    bool blocked; // the line took no more bytes: wait until it does
    bool closing; // the client sends no more: finish the answer, then let it go
};

struct Server {
    const Options *options;
    int fd;                                   // the line or the client
    bool client;                              // fd is a TCP client, which may go
    double byte_time;                         // of --pace, 0 without
    Chamber chambers[READER_MAX_ADDRESS + 1]; // by address
    long answers;                             // answers given so far, for --fault-every
    LineState line;
};

static double now_seconds(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

// Appends to a log line, silently cut at its end.
struct LogLine {
    char text[4096]; // a 512-byte frame in hex and its payload with every byte escaped fit
    size_t used;
};

static void add(LogLine *line, const char *format, ...) __attribute__((format(printf, 2, 3)));
// NOLINTNEXTLINE(cert-dcl50-cpp): C variadic for the format attribute, which checks every call.
static void add(LogLine *line, const char *format, ...) {
    if (line->used >= sizeof line->text) return;
    va_list args;
    va_start(args, format);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start above; the analyzer misreads.
    int n = vsnprintf(line->text + line->used, sizeof line->text - line->used, format, args);
    va_end(args);
    if (n > 0) line->used += (size_t)n;
}

// One line per event, written at once: what, the bytes in hex, and the text they carry.
static void log_frame(const Server *s, const char *what, const unsigned char *bytes, int count,
                      const char *text, const char *why) {
    if (!s->options->verbose) return;
    LogLine line;
    line.used = 0;
    add(&line, "kelvra-chamber: %s", what);
    for (int i = 0; i < count; i++) add(&line, " %02X", bytes[i]);
    if (text) {
        add(&line, " \"");
        for (const unsigned char *c = reinterpret_cast<const unsigned char *>(text); *c; c++)
            add(&line, *c >= 0x20 && *c < 0x7F ? "%c" : "\\x%02X", *c);
        add(&line, "\"");
    }
    if (why) add(&line, ": %s", why);
    fprintf(stderr, "%.*s\n", (int)std::min(line.used, sizeof line.text - 1), line.text);
}

static void on_request(Server *s, double now) {
    LineState *l = &s->line;
    const FrameReader *r = &l->reader;
    char what[48];
    snprintf(what, sizeof what, "request to %d:", r->address);
    log_frame(s, what, r->raw, r->raw_count, r->payload, nullptr);

    // A new request ends whatever is still going out for the last one.
    l->burst.count = l->sent = 0;
    l->noisy = l->blocked = false;

    char answer[ANSWER_SIZE];
    const char *why;
    if (answer_request(&s->chambers[r->address], r->address, r->payload, now, answer, &why) < 0) {
        log_frame(s, "no answer:", nullptr, 0, r->payload, why);
        return;
    }
    s->answers++;
    const Options *o = s->options;
    int fault = o->fault != FAULT_NONE && s->answers % o->fault_every == 0 ? o->fault : FAULT_NONE;
    fault_frame(fault, answer, r->address, &l->burst);
    l->start = now + o->delay_ms / 1000.0;
    l->due = l->start + (l->burst.spaced ? 0.0 : s->byte_time);
    snprintf(what, sizeof what, "answer from %d%s%s:", r->address, fault ? " faulty " : "",
             fault ? fault_name(fault) : "");
    log_frame(s, what, l->burst.bytes, l->burst.count, answer, nullptr);
}

// A line that fails ends the run; a client that fails has gone.
static Stop line_failed(const Server *s, const char *what) {
    if (s->client) {
        if (s->options->verbose) fprintf(stderr, "kelvra-chamber: %s: %s\n", what, strerror(errno));
        return GONE;
    }
    fprintf(stderr, "kelvra-chamber: %s: %s\n", what, strerror(errno));
    return FAILED;
}

static Stop transmit(Server *s, double now);

// Answers go out as soon as they are due, before the next request in the same read is taken.
static Stop receive(Server *s) {
    unsigned char bytes[256];
    ssize_t n = read(s->fd, bytes, sizeof bytes);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return GOING;
    if (n < 0) return line_failed(s, "reading the line failed");
    if (n == 0 && s->client) s->line.closing = true; // it may still read the answer
    double now = now_seconds();
    for (ssize_t i = 0; i < n; i++) {
        FrameReader *r = &s->line.reader;
        int status = reader_feed(r, bytes[i]);
        if (status == READ_FRAME) {
            on_request(s, now);
            if (Stop stop = transmit(s, now)) return stop;
        } else if (status == READ_REJECTED)
            log_frame(s, "ignored:", r->raw, r->raw_count, nullptr, r->reason);
    }
    return GOING;
}

// How many bytes of the burst may go at now: one at a time when spaced; when paced, those whose
// deadline has passed, so that a late wake-up catches up rather than pushing the rest back.
static int bytes_due(const Server *s, double now) {
    const LineState *l = &s->line;
    int left = l->burst.count - l->sent;
    if (l->burst.spaced) return 1;
    if (s->byte_time <= 0) return left;
    int passed = (int)std::floor((now - l->start) / s->byte_time + 1e-9) - l->sent;
    return std::clamp(passed, 1, left);
}

// Writes what is due. A full line holds the answer back, and drops noise.
static Stop transmit(Server *s, double now) {
    LineState *l = &s->line;
    Burst *b = &l->burst;
    double gap = s->options->byte_gap_ms / 1000.0;
    while (l->sent < b->count && now >= l->due) {
        ssize_t n = write(s->fd, b->bytes + l->sent, (size_t)bytes_due(s, now));
        if (n < 0 && errno == EAGAIN) {
            l->blocked = true;
            return GOING;
        }
        if (n < 0) return line_failed(s, "writing to the line failed");
        l->blocked = false;
        l->sent += (int)n;
        l->due = b->spaced ? now + gap : l->start + (l->sent + 1) * s->byte_time;
        if (l->sent == b->count && b->noise) {
            l->noisy = true;
            l->noise_due = now + gap;
        }
    }
    if (l->noisy && now >= l->noise_due) {
        unsigned char noise = FAULT_BYTE;
        if (write(s->fd, &noise, 1) < 0 && errno != EAGAIN)
            return line_failed(s, "writing to the line failed");
        l->noise_due = now + gap;
    }
    return GOING;
}

// How long to wait for the next byte to fall due; null for no limit.
static const struct timespec *next_timeout(const Server *s, double now, struct timespec *wait) {
    const LineState *l = &s->line;
    double next = -1;
    if (l->sent < l->burst.count && !l->blocked) next = l->due;
    if (l->noisy && (next < 0 || l->noise_due < next)) next = l->noise_due;
    if (next < 0) return nullptr;
    double left = std::max(next - now, 0.0);
    wait->tv_sec = (time_t)left;
    wait->tv_nsec = (long)((left - (double)wait->tv_sec) * 1e9);
    return wait;
}

static void start_line(Server *s, int fd, bool client) {
    s->fd = fd;
    s->client = client;
    s->line = LineState{};
    reader_init(&s->line.reader, s->options->addresses);
}

// Serves s->fd until woken, until the client has gone, or until the line fails.
static Stop run(Server *s, int wake_fd) {
    LineState *l = &s->line;
    for (;;) {
        // A client that sends no more would keep the line readable, at its end, for ever.
        short events = (short)((l->closing ? 0 : POLLIN) | (l->blocked ? POLLOUT : 0));
        struct pollfd fds[2] = {{s->fd, events, 0}, {wake_fd, POLLIN, 0}};
        struct timespec wait;
        if (ppoll(fds, 2, next_timeout(s, now_seconds(), &wait), nullptr) < 0) {
            if (errno == EINTR) continue;
            fprintf(stderr, "kelvra-chamber: waiting on the line failed: %s\n", strerror(errno));
            return FAILED;
        }
        if (fds[1].revents) return WOKEN;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL) && !(fds[0].revents & POLLIN))
            return GONE;
        if (fds[0].revents & POLLIN)
            if (Stop stop = receive(s)) return stop;
        if (Stop stop = transmit(s, now_seconds())) return stop;
        if (l->closing && l->sent == l->burst.count) return GONE;
    }
}

static void start_server(Server *s, const Options *options, long long clock) {
    *s = Server{};
    s->options = options;
    s->byte_time = options->pace_baud > 0 ? 11.0 / options->pace_baud : 0.0; // 8O1
    double start = now_seconds();
    for (int address = 1; address <= READER_MAX_ADDRESS; address++)
        chamber_init_at(&s->chambers[address], address, clock, start);
}

int serve(int fd, const Options *options, int wake_fd, long long clock) {
    Server s;
    start_server(&s, options, clock);
    start_line(&s, fd, false);
    switch (run(&s, wake_fd)) {
    case WOKEN: return 0;
    case GONE: fprintf(stderr, "kelvra-chamber: the line hung up\n"); return 1;
    default: return 1;
    }
}

int serve_tcp(int listener, const Options *options, int wake_fd, long long clock) {
    Server s;
    start_server(&s, options, clock);
    for (;;) {
        struct pollfd fds[2] = {{listener, POLLIN, 0}, {wake_fd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            fprintf(stderr, "kelvra-chamber: waiting for a client failed: %s\n", strerror(errno));
            return 1;
        }
        if (fds[1].revents) return 0;
        if (!(fds[0].revents & POLLIN)) continue;
        char peer[64];
        int client = tcp_accept(listener, peer, sizeof peer);
        if (client == -1) continue;
        if (client < 0) {
            fprintf(stderr, "kelvra-chamber: taking a client failed: %s\n", strerror(errno));
            return 1;
        }
        if (options->verbose) fprintf(stderr, "kelvra-chamber: client %s came\n", peer);
        start_line(&s, client, true);
        Stop stop = run(&s, wake_fd);
        close(client);
        if (options->verbose) fprintf(stderr, "kelvra-chamber: client %s gone\n", peer);
        if (stop != GONE) return stop == WOKEN ? 0 : 1;
    }
}
