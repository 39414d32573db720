// Polling from the command line: the exchange on a fixed grid, each one's entries printed as it
// ends, until the count is reached or a signal asks to stop; then a summary of the run on stderr.
#include "ui/command_line.h"

#include "exchange/grid.h"
#include "link/link.h"
#include "link/rs232.h"
#include "record/calendar.h"
#include "record/stats.h"
#include "ui/exchange_report.h"

#include <cmath>
#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t stopRequested;

// The first SIGINT or SIGTERM asks the run to end after the exchange in progress; a second one
// ends it at once, as the signal does by default.
extern "C" void request_stop(int signal) {
    stopRequested = 1;
    (void)std::signal(signal, SIG_DFL);
}

struct Printer {
    int timestamps;
    int trace;
    ExchangeStats stats;
};

// The local time of the exchange's write and a tab, as the log file writes times.
void print_time_tab(long long wallMs) {
    print_time(stdout, wallMs);
    std::putchar('\t');
}

// Prints an exchange's entries and tells why no valid answer came, as --send does, and counts it.
void print_exchange(const ExchangeRecord *record, Printer *printer) {
    if (printer->timestamps) print_time_tab(record->wallMs);
    print_entry(stdout, record->sentText);
    if (record->answered) {
        if (printer->timestamps) print_time_tab(record->wallMs);
        print_entry(stdout, record->receivedText);
    }
    report_exchange(record, printer->trace, stderr);
    stats_add(&printer->stats, record->received.code, record->answered ? record->rttMs : -1);
}

// Waits until the Timer() time `when`, in short steps so that a signal ends the wait soon;
// false when a signal came.
bool wait_until(double when) {
    while (!stopRequested) {
        const double left = when - Timer();
        if (left <= 0) return true;
        Delay(left < 0.05 ? left : 0.05);
    }
    return false;
}

} // namespace

void catch_stop_signals(void) {
    stopRequested = 0;
    (void)std::signal(SIGINT, request_stop);
    (void)std::signal(SIGTERM, request_stop);
}

void release_stop_signals(void) {
    (void)std::signal(SIGINT, SIG_DFL);
    (void)std::signal(SIGTERM, SIG_DFL);
}

int stop_requested(void) {
    return stopRequested != 0;
}

void print_time(FILE *out, long long wallMs) {
    char text[WALL_CLOCK_TEXT_SIZE];
    wall_clock_text(wallMs, WALL_CLOCK_OFFSET, text, sizeof text);
    std::fputs(text, out);
}

void print_summary(const char *who, const ExchangeStats *stats) {
    std::fprintf(stderr, "kelvra-ascii: %s%lld exchange%s", who, stats->exchanges,
                 stats->exchanges == 1 ? "" : "s");
    const char *separator = "; ";
    for (int code = 0; code < RECEIVE_OUTCOMES; code++) {
        if (stats->byOutcome[code] == 0) continue;
        std::fprintf(stderr, "%s%s %lld", separator, receive_code_name(code),
                     stats->byOutcome[code]);
        separator = ", ";
    }
    if (stats->timed > 0)
        std::fprintf(stderr, "; round trip min %.1f, median %.1f, max %.1f ms\n", stats->rttMin,
                     stats_median_rtt(stats), stats->rttMax);
    else
        std::fprintf(stderr, "; no round trip\n");
}

// The grid is the window timer's: exchange k starts at start + k * interval, and one that runs
// past a grid point lets that point go and waits for the next one ahead.
int run_command_line_polling(const CommandLineExchange *options) {
    static Printer printer;
    static ExchangeRequest request;
    static ExchangeRecord record;
    int status = EXIT_NO_RESPONSE;
    int messages = 0;

    printer.timestamps = options->timestamps;
    printer.trace = options->trace;
    stats_reset(&printer.stats);
    command_line_request(options, options->text, BY_POLL, &messages, &request);
    request.quietSeconds = (double)LINE_QUIET_MS / 1000; // after the exchange before
    catch_stop_signals();

    const long count = options->repeat < 0 ? 1 : options->repeat;
    const long long period = std::llround(options->interval * 1e9);
    const long long start = std::llround(Timer() * 1e9);
    long long due = start;
    for (long done = 0;;) {
        const int messagesBefore = messages;
        exchange(&request, &record);
        publish_exchange(&record); // to the log
        print_exchange(&record, &printer);
        done++;
        if (finish_standard_output() != 0) {
            status = EXIT_OUTPUT_FAILED;
            break;
        }
        status = record.answered ? 0
                 // cppcheck-suppress knownConditionTrueFalse ; exchange() counts into it
                 : messages > messagesBefore ? EXIT_PORT_ERROR
                                             : EXIT_NO_RESPONSE;
        // a run whose log has failed ends, be it endless or not
        if (stopRequested || command_line_log_failed() || (count > 0 && done >= count)) break;
        const long long now = std::llround(Timer() * 1e9);
        due = next_grid_point(start, period, now > due ? now : due);
        if (!wait_until((double)due / 1e9)) break;
    }

    release_stop_signals();
    if (options->repeat >= 0) print_summary("", &printer.stats);
    if (status != EXIT_OUTPUT_FAILED && command_line_log_failed()) status = EXIT_LOG_FAILED;
    return status;
}
