// The command line's acceptance run: the runner on the real exchange, the real clocks and a
// sleep that a signal ends; its steps and alarms as lines on stdout, the JUnit report at the end.
#include "ui/command_line_run.h"

#include "display/visible.h"
#include "record/log.h"
#include "record/logging.h"
#include "run/junit.h"
#include "run/runner.h"
#include "ui/command_line.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

namespace {

enum {
    FILE_LIMIT = 4 << 20, // a sequence file holds at most SEQUENCE_MAX_STEPS lines
};

Step alarmOptions[ALARM_RULES];
int alarmOptionCount;
int alarmsRaised, alarmsCleared, alarmListener;

// Sleeps in short steps, so that a signal stops the run soon.
void sleep_ms(long long ms, void *context) {
    const long long until = run_steady_ms(nullptr) + ms;
    for (long long left = ms; left > 0 && !stop_requested(); left = until - run_steady_ms(nullptr))
        std::this_thread::sleep_for(std::chrono::milliseconds(left < 50 ? left : 50));
    if (stop_requested()) run_stop(static_cast<Run *>(context));
}

// "<time> alarm raised com1:1 A0 actual between 15 and 40 (actual 41.5, set 30.0)"
void print_alarm(FILE *out, const AlarmEvent *event) {
    print_time(out, event->ms);
    std::fprintf(out, " alarm %s com%d:%d ", event->kind == ALARM_RAISED ? "raised" : "cleared",
                 event->port, event->address);
    put_bytes_visible(program_alarms()->rules[event->rule].condition.text, out);
    std::fprintf(out, " (%s)\n", event->detail);
}

void hear_alarms(const ExchangeRecord *record, void *) {
    AlarmWatch *watch = program_alarms();
    const int events = alarm_watch_hear(watch, record);
    for (int i = 0; i < events; i++) {
        alarmsRaised += watch->events[i].kind == ALARM_RAISED;
        alarmsCleared += watch->events[i].kind == ALARM_CLEARED;
        print_alarm(stderr, &watch->events[i]);
    }
}

// What the run prints and reports.
struct Printer {
    const Sequence *sequence;
    JunitReport *junit; // null without --junit
};

// "<time> <verdict> line N [2/3]: <step>: <message>", the message in the panel's language.
void print_step(const Run *run, const StepResult *r, void *context) {
    auto *printer = static_cast<Printer *>(context);
    const Step &step = run->sequence->steps[r->index];
    print_time(stdout, r->endMs);
    std::printf(" %-7s line %d%s%s%s: %s", verdict_name(r->verdict), step.line,
                r->iteration[0] ? " [" : "", r->iteration, r->iteration[0] ? "]" : "", step.text);
    if (r->message[0] != '\0') {
        std::fputs(": ", stdout);
        put_latin1_visible(r->message, stdout);
    }
    std::fputc('\n', stdout);
    (void)std::fflush(stdout); // a failure stays in ferror(stdout), which the run's end tells
    if (printer->junit) junit_add(printer->junit, printer->sequence, r);
}

// A step that takes time says when it began.
void print_begin(const Run *run, int index, void *) {
    const Step &step = run->sequence->steps[index];
    if (step.kind != STEP_WAIT && step.kind != STEP_PAUSE) return;
    print_time(stdout, run->result.startMs);
    std::printf(" %-7s line %d: %s\n", "begin", step.line, step.text);
    (void)std::fflush(stdout); // as above
}

void print_run_alarm(const Run *, const AlarmEvent *event, void *context) {
    print_alarm(stdout, event);
    char line[512];
    set_text(line, sizeof line, "alarm %s com%d:%d %s (%s)",
             event->kind == ALARM_RAISED ? "raised" : "cleared", event->port, event->address,
             program_alarms()->rules[event->rule].condition.text, event->detail);
    auto *printer = static_cast<Printer *>(context);
    if (printer->junit) junit_note(printer->junit, line);
}

// Reads the whole file into text. Returns its length, or -1 after a message on stderr.
long read_file(const char *path, std::unique_ptr<char[]> *text) {
    FILE *file = std::fopen(path, "rb");
    const int cause = errno;
    if (file) {
        *text = std::make_unique<char[]>(FILE_LIMIT + 1);
        const size_t length = std::fread(text->get(), 1, FILE_LIMIT + 1, file);
        const bool failed = std::ferror(file) != 0;
        (void)std::fclose(file); // only read
        if (!failed && length <= FILE_LIMIT) return long(length);
    }
    std::fputs("kelvra-ascii: cannot read ", stderr);
    put_bytes_visible(path, stderr);
    std::fprintf(stderr, ": %s\n",
                 !file ? std::strerror(cause) : "not a sequence file (read error or over 4 MB)");
    return -1;
}

void tell_report_failure(const char *path, int error) {
    std::fputs("kelvra-ascii: cannot write the report ", stderr);
    put_bytes_visible(path, stderr);
    std::fprintf(stderr, ": %s\n", std::strerror(-error));
}

// Whether the report can be written where it is to go, tried before anything runs.
bool report_writable(const char *path) {
    char partial[LOG_PATH_SIZE + 16];
    set_text(partial, sizeof partial, "%s.partial", path);
    FILE *file = std::fopen(partial, "w");
    if (!file) {
        tell_report_failure(path, -errno);
        return false;
    }
    (void)std::fclose(file); // nothing written
    (void)std::remove(partial);
    return true;
}

} // namespace

int alarm_option(const char *rule, char *error, int size) {
    ParseError parsed;
    Step alarm;
    if (parse_alarm(rule, &alarm, &parsed) != 0) {
        set_text(error, size, "column %d: %s", parsed.column, parsed.message);
        return -1;
    }
    if (alarmOptionCount == ALARM_RULES) {
        set_text(error, size, "more than %d alarms", int(ALARM_RULES));
        return -1;
    }
    alarmOptions[alarmOptionCount++] = alarm;
    return 0;
}

void clear_alarm_options(void) {
    alarmOptionCount = 0;
}

int alarm_option_count(void) {
    return alarmOptionCount;
}

int watch_command_line_alarms(void) {
    if (alarmOptionCount == 0) return 0;
    for (int i = 0; i < alarmOptionCount; i++)
        alarm_watch_add(program_alarms(), &alarmOptions[i], 0);
    on_logging_annotation(program_alarms_column, nullptr);
    alarmListener = add_exchange_listener(hear_alarms, nullptr);
    return 1;
}

void end_command_line_alarms(void) {
    remove_exchange_listener(alarmListener);
    std::fprintf(stderr, "kelvra-ascii: alarms: %d raised, %d cleared\n", alarmsRaised,
                 alarmsCleared);
}

int run_command_line_sequence(const CommandLineExchange *options) {
    std::unique_ptr<char[]> text;
    const long length = read_file(options->run, &text);
    if (length < 0) return EXIT_NO_INPUT;
    auto sequence = std::make_unique<Sequence>();
    ParseError error;
    if (parse_sequence(text.get(), length, sequence.get(), &error) != 0) {
        char message[int(LOG_PATH_SIZE) + int(PARSE_MESSAGE_SIZE) + 32];
        parse_error_text(options->run, &error, message, sizeof message);
        put_bytes_visible(message, stderr);
        std::fputc('\n', stderr);
        return EXIT_DATA_ERROR;
    }
    if (options->junit && !report_writable(options->junit)) return EXIT_LOG_FAILED;

    AlarmWatch *alarms = program_alarms();
    on_logging_annotation(program_alarms_column, nullptr);
    auto junit = std::make_unique<JunitReport>();
    if (options->junit && junit_begin(junit.get(), options->run) != 0) {
        tell_report_failure(options->junit, -errno);
        return EXIT_LOG_FAILED;
    }
    Printer printer{sequence.get(), options->junit ? junit.get() : nullptr};
    auto run = std::make_unique<Run>();
    const RunEnvironment environment{exchange_published, run_wall_ms, run_steady_ms,
                                     sleep_ms,           run.get(),   alarms};
    const RunObserver observer{print_begin, print_step, print_run_alarm, &printer};
    catch_stop_signals(); // the first ends the run after the exchange in progress
    run_begin(run.get(), sequence.get(), &environment, &observer);
    // the --alarm options watch every chamber the run asks, as the file's own alarms do
    for (int i = 0; i < alarmOptionCount; i++)
        alarm_watch_add(alarms, &alarmOptions[i], run->owner);
    run_to_end(run.get());
    release_stop_signals();

    char summary[512];
    run_summary_text(run.get(), summary, sizeof summary);
    std::fputs("summary: ", stdout);
    put_latin1_visible(summary, stdout);
    std::fputc('\n', stdout);
    int status = run_status(run.get());
    if (options->junit) {
        junit_note(junit.get(), summary);
        if (const int failed = junit_write(junit.get(), run.get(), options->junit); failed != 0) {
            tell_report_failure(options->junit, failed);
            status = EXIT_LOG_FAILED;
        }
    }
    if (finish_standard_output() != 0) return EXIT_OUTPUT_FAILED;
    if (command_line_log_failed()) return EXIT_LOG_FAILED;
    return status;
}
