// One exchange from the command line, and what every run without a window shares.
#include "ui/command_line.h"

#include "display/visible.h"
#include "link/rs232.h"
#include "record/logging.h"
#include "record/record.h"
#include "ui/command_line_run.h"
#include "ui/exchange_report.h"
#include "ui/message_line.h"
#include "ui/publishing.h"

#include <cstdio>

// A Latin-1 entry as one UTF-8 line. The entry holds what the line carried: its control
// characters are written as escapes, so that none of them reaches the terminal or breaks the line.
void print_entry(FILE *out, const char *entry) {
    put_latin1_visible(entry, out);
    (void)std::putc('\n', out); // a failed write shows in ferror, which the run checks at its end
}

static void print_port_failure(const char *message, void *context) {
    print_message_line("RS-232 Message", message);
    ++*static_cast<int *>(context);
}

void command_line_request(const CommandLineExchange *options, const char *command, int trigger,
                          int *messages, ExchangeRequest *request) {
    request_init(request, options->port >= 0 ? options->port : DEFAULT_PORT,
                 options->address >= 0 ? options->address : DEFAULT_ADDRESS, command,
                 options->mode >= 0 ? options->mode : DEFAULT_MODE);
    request->trigger = trigger;
    request->readAtOnce = 1;
    request->portFailure = print_port_failure;
    request->context = messages;
}

static bool logFailed;

// "kelvra-ascii: cannot <action> the log file <path>: <cause><after>", the path as given but
// with its control characters as escapes.
static void tell_log_failure(const char *action, const char *path, int error, const char *after) {
    std::fprintf(stderr, "kelvra-ascii: cannot %s the log file ", action);
    put_bytes_visible(path, stderr);
    std::fprintf(stderr, ": %s%s\n", logging_cause(error), after);
}

static void report_log_failure(const char *path, int error, void *) {
    tell_log_failure("write", path, error, "; logging stopped");
    logFailed = true;
}

static void report_log_reopened(const char *path, void *) {
    std::fprintf(stderr, "kelvra-ascii: the log file ");
    put_bytes_visible(path, stderr);
    std::fprintf(stderr, " was moved or deleted; logging goes on in a new file of that name\n");
}

int command_line_log_failed(void) {
    return logFailed;
}

// Starts logging to the file of --log, before any exchange; a later failed write says so when it
// happens. 0, or EXIT_LOG_FAILED after a message that names the file and the cause.
static int open_command_line_log(const char *path) {
    if (const int error = start_logging(path); error != 0) {
        tell_log_failure("open", path, error, "");
        return EXIT_LOG_FAILED;
    }
    on_logging_failure(report_log_failure, nullptr);
    on_logging_reopened(report_log_reopened, nullptr);
    return 0;
}

// One exchange, as Enter makes it, printed as the histories would show it.
static int run_command_line_exchange(const CommandLineExchange *options) {
    static ExchangeRequest request;
    static ExchangeRecord record;
    int messages = 0;

    command_line_request(options, options->text, BY_ENTER, &messages, &request);
    exchange(&request, &record);
    publish_exchange(&record); // to the log
    report_exchange(&record, options->trace, stderr);
    print_entry(stdout, record.sentText);
    if (record.answered) print_entry(stdout, record.receivedText);
    if (finish_standard_output() != 0) return EXIT_OUTPUT_FAILED;
    if (logFailed) return EXIT_LOG_FAILED;
    if (messages > 0) return EXIT_PORT_ERROR;
    return record.answered ? 0 : EXIT_NO_RESPONSE;
}

int run_without_window(const CommandLineExchange *options) {
    SetRS232Language(Fremdsprache); // the port's messages in the --lang language
    if (const char *log = log_file_option())
        if (const int status = open_command_line_log(log); status != 0) return status;
    if (const int status = start_command_line_publishing(); status != 0) return status;
    if (options->run) return finish_command_line_publishing(run_command_line_sequence(options));
    const int alarms = watch_command_line_alarms();
    const int status = options->scan   ? run_command_line_scan(options)
                       : options->poll ? run_command_line_lab(options)
                       : options->repeat >= 0 || options->timestamps
                           ? run_command_line_polling(options)
                           : run_command_line_exchange(options);
    if (alarms) end_command_line_alarms();
    return finish_command_line_publishing(status);
}
