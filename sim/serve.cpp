// The event loop: reads requests, answers them after the configured delay, falsified when a
// fault is due, and keeps a noisy line busy.
#include "sim/serve.h"

#include "sim/answer.h"
#include "sim/chamber.h"
#include "sim/fault.h"
#include "sim/reader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <unistd.h>

struct Server {
    const Options *options;
    int fd;
    Chamber chambers[READER_MAX_ADDRESS + 1]; // by address
    FrameReader reader;
    long answers; // answers given so far, for --fault-every
    Burst burst;  // the answer going out
    int sent;     // bytes of burst already written
    double due;   // when the next byte of burst may go
    bool noisy;   // the line is kept busy until the next request
    double noise_due;
    bool blocked; // the line took no more bytes: wait until it does
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
    const FrameReader *r = &s->reader;
    char what[48];
    snprintf(what, sizeof what, "request to %d:", r->address);
    log_frame(s, what, r->raw, r->raw_count, r->payload, nullptr);

    // A new request ends whatever is still going out for the last one.
    s->burst.count = s->sent = 0;
    s->noisy = s->blocked = false;

    char answer[ANSWER_SIZE];
    const char *why;
    if (answer_request(&s->chambers[r->address], r->address, r->payload, now, answer, &why) < 0) {
        log_frame(s, "no answer:", nullptr, 0, r->payload, why);
        return;
    }
    s->answers++;
    const Options *o = s->options;
    int fault = o->fault != FAULT_NONE && s->answers % o->fault_every == 0 ? o->fault : FAULT_NONE;
    fault_frame(fault, answer, r->address, &s->burst);
    s->due = now + o->delay_ms / 1000.0;
    snprintf(what, sizeof what, "answer from %d%s%s:", r->address, fault ? " faulty " : "",
             fault ? fault_name(fault) : "");
    log_frame(s, what, s->burst.bytes, s->burst.count, answer, nullptr);
}

static int line_failed(const char *what) {
    fprintf(stderr, "kelvra-chamber: %s: %s\n", what, strerror(errno));
    return -1;
}

static int transmit(Server *s, double now);

// Answers go out as soon as they are due, before the next request in the same read is taken.
static int receive(Server *s) {
    unsigned char bytes[256];
    ssize_t n = read(s->fd, bytes, sizeof bytes);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    if (n < 0) return line_failed("reading the line failed");
    double now = now_seconds();
    for (ssize_t i = 0; i < n; i++) {
        int status = reader_feed(&s->reader, bytes[i]);
        if (status == READ_FRAME) {
            on_request(s, now);
            if (transmit(s, now) < 0) return -1;
        } else if (status == READ_REJECTED)
            log_frame(s, "ignored:", s->reader.raw, s->reader.raw_count, nullptr, s->reader.reason);
    }
    return 0;
}

// Writes what is due. A full line holds the answer back, and drops noise.
static int transmit(Server *s, double now) {
    Burst *b = &s->burst;
    double gap = s->options->byte_gap_ms / 1000.0;
    while (s->sent < b->count && now >= s->due) {
        ssize_t n = write(s->fd, b->bytes + s->sent, b->spaced ? 1 : b->count - s->sent);
        if (n < 0 && errno == EAGAIN) {
            s->blocked = true;
            return 0;
        }
        if (n < 0) return line_failed("writing to the line failed");
        s->blocked = false;
        s->sent += (int)n;
        if (b->spaced) s->due = now + gap;
        if (s->sent == b->count && b->noise) {
            s->noisy = true;
            s->noise_due = now + gap;
        }
    }
    if (s->noisy && now >= s->noise_due) {
        unsigned char noise = FAULT_BYTE;
        if (write(s->fd, &noise, 1) < 0 && errno != EAGAIN)
            return line_failed("writing to the line failed");
        s->noise_due = now + gap;
    }
    return 0;
}

// Milliseconds until the next byte falls due, -1 for none.
static int next_timeout(const Server *s, double now) {
    double next = -1;
    if (s->sent < s->burst.count && !s->blocked) next = s->due;
    if (s->noisy && (next < 0 || s->noise_due < next)) next = s->noise_due;
    if (next < 0) return -1;
    return next <= now ? 0 : (int)std::ceil((next - now) * 1000.0);
}

int serve(int fd, const Options *options, int wake_fd, long long clock) {
    Server s{};
    s.options = options;
    s.fd = fd;
    double start = now_seconds();
    for (Chamber &chamber : s.chambers) chamber_init(&chamber, clock, start);
    reader_init(&s.reader, options->addresses);

    for (;;) {
        struct pollfd fds[2] = {{fd, (short)(POLLIN | (s.blocked ? POLLOUT : 0)), 0},
                                {wake_fd, POLLIN, 0}};
        if (poll(fds, 2, next_timeout(&s, now_seconds())) < 0) {
            if (errno == EINTR) continue;
            line_failed("waiting on the line failed");
            return 1;
        }
        if (fds[1].revents) return 0;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL) && !(fds[0].revents & POLLIN)) {
            fprintf(stderr, "kelvra-chamber: the line hung up\n");
            return 1;
        }
        if (fds[0].revents & POLLIN && receive(&s) < 0) return 1;
        if (transmit(&s, now_seconds()) < 0) return 1;
    }
}
