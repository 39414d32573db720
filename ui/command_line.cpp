// One exchange from the command line, through the very callback that Enter in the window's
// command field reaches, and what every run without a window shares.
#include "ui/command_line.h"

#include "display/format.h"
#include "display/visible.h"
#include "record/logging.h"
#include "record/record.h"
#include "ui/ascii.h"
#include "ui/exchange.h"
#include "ui/exchange_report.h"
#include "ui/program.h"
#include "ui/userint.h"

#include <cstdio>

// A Latin-1 entry as one UTF-8 line. The entry holds what the line carried: its control
// characters are written as escapes, so that none of them reaches the terminal or breaks the line.
void print_entry(FILE *out, const char *entry) {
    put_latin1_visible(entry, out);
    (void)std::putc('\n', out); // a failed write shows in ferror, which the run checks at its end
}

// Writes the history entry at the top of list as one UTF-8 line.
static void print_newest(int list) {
    char entry[DISPLAY_BUFFER_SIZE] = "";

    GetLabelFromIndex(main_panel, list, 0, entry);
    print_entry(stdout, entry);
}

// The exchange's record, told on stderr as the request asks.
static void report(const ExchangeRecord *record, void *request) {
    report_exchange(record, static_cast<const CommandLineExchange *>(request)->trace, stderr);
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

int command_line_log_failed(void) {
    return logFailed;
}

int open_command_line_log(const char *path) {
    if (const int error = start_logging(path); error != 0) {
        tell_log_failure("open", path, error, "");
        return EXIT_LOG_FAILED;
    }
    on_logging_failure(report_log_failure, nullptr);
    return 0;
}

int prepare_command_line_exchange(void) {
    UseNoDisplay();
    SetMessagePopupOutput(MESSAGES_TO_STDERR);
    set_enter_reads_at_once(1);
    return 0;
}

void apply_request(const CommandLineExchange *request) {
    SetCtrlVal(main_panel, TOGGLEBUTTON, 0); // cyclic sending stays off
    SuspendTimerCallbacks();
    if (request->address >= 0) SetCtrlVal(main_panel, KAMMER, request->address);
    if (request->port >= 0) SetCtrlVal(main_panel, RING_COM, request->port);
    if (request->mode >= 0) SetCtrlVal(main_panel, RINGSLIDE, request->mode);
}

int run_command_line_exchange(const CommandLineExchange *request) {
    int sent = 0, received = 0, sentBefore = 0, receivedBefore = 0;

    apply_request(request);
    SetCtrlVal(main_panel, SEND_STRING, request->text);

    GetNumListItems(main_panel, ZEICHEN_GESENDET, &sentBefore);
    GetNumListItems(main_panel, ZEICHEN_EMPFANGEN, &receivedBefore);
    const int messagesBefore = GetMessagePopupCount();
    const int listener = add_exchange_listener(report, const_cast<CommandLineExchange *>(request));
    CallCtrlCallback(main_panel, SEND_STRING, EVENT_KEYPRESS, VAL_ENTER_VKEY);
    remove_exchange_listener(listener);
    GetNumListItems(main_panel, ZEICHEN_GESENDET, &sent);
    GetNumListItems(main_panel, ZEICHEN_EMPFANGEN, &received);

    // the histories start empty, so a grown one has a new entry on top
    if (sent > sentBefore) print_newest(ZEICHEN_GESENDET);
    if (received > receivedBefore) print_newest(ZEICHEN_EMPFANGEN);
    if (finish_standard_output() != 0) return EXIT_OUTPUT_FAILED;
    if (logFailed) return EXIT_LOG_FAILED;
    if (GetMessagePopupCount() > messagesBefore) return EXIT_PORT_ERROR;
    return received > receivedBefore ? 0 : EXIT_NO_RESPONSE;
}
