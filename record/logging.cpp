// The one log file of the run and the reader that appends each exchange's row to it.
#include "record/logging.h"

#include "record/log.h"
#include "record/log_name.h"
#include "record/record.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

LogFile log = {-1, "", 1};
char pattern[LOG_PATH_SIZE]; // the name as given; its strftime fields pick the file
int listenerId;
LoggingFailure failureHandler;
void *failureContext;
LoggingReopened reopenedHandler;
void *reopenedContext;
LogAnnotation annotation;
void *annotationContext;

// The file that a row written at wallMs belongs in: when the pattern names another one now, the
// old file is closed and the new one opened (with its header when new), before the row is
// written, so every row lies whole in the file of its own time. So is a file that its name no
// longer leads to (deleted, or moved away by a log rotation), and *reopened says so. A file
// emptied in place (rotation by copy and truncation) is written on at its new end. name
// (LOG_PATH_SIZE) gets the file's name, or the pattern when no name comes of it.
int follow_pattern(long long wallMs, char *name, bool *reopened) {
    if (log_name_at(pattern, wallMs, name, LOG_PATH_SIZE) != 0) {
        std::snprintf(name, LOG_PATH_SIZE, "%s", pattern);
        return -ENAMETOOLONG;
    }
    *reopened = log_is_open(&log) && std::strcmp(name, log.path) == 0;
    if (*reopened && !log_moved(&log)) {
        *reopened = false;
        return 0;
    }
    log_close(&log);
    return log_open(&log, name);
}

void append_exchange(const ExchangeRecord *record, void *) {
    char path[LOG_PATH_SIZE]; // the file that failed: a new one that did not open is not log's
    bool reopened = false;
    int error = follow_pattern(record->wallMs, path, &reopened);
    if (error == 0 && reopened && reopenedHandler) reopenedHandler(path, reopenedContext);
    char alarm[LOG_ALARM_SIZE] = "";
    if (annotation) annotation(record, alarm, sizeof alarm, annotationContext);
    if (error == 0) error = log_append(&log, record, alarm);
    if (error == 0) return;
    stop_logging();
    if (failureHandler) failureHandler(path, error, failureContext);
}

} // namespace

int start_logging(const char *path) {
    stop_logging();
    if (std::snprintf(pattern, sizeof pattern, "%s", path) >= (int)sizeof pattern)
        return -ENAMETOOLONG;
    char name[LOG_PATH_SIZE];
    bool reopened = false;
    if (const int error = follow_pattern((long long)std::time(nullptr) * 1000, name, &reopened);
        error != 0) {
        log_close(&log);
        return error;
    }
    listenerId = add_exchange_listener(append_exchange, nullptr);
    if (listenerId < 0) {
        log_close(&log);
        return -EBUSY;
    }
    return 0;
}

void stop_logging(void) {
    if (listenerId > 0) remove_exchange_listener(listenerId);
    listenerId = 0;
    log_close(&log);
}

const char *logging_path(void) {
    return log_is_open(&log) ? log.path : nullptr;
}

void on_logging_failure(LoggingFailure failure, void *context) {
    failureHandler = failure;
    failureContext = context;
}

void on_logging_reopened(LoggingReopened reopened, void *context) {
    reopenedHandler = reopened;
    reopenedContext = context;
}

void on_logging_annotation(LogAnnotation annotate, void *context) {
    annotation = annotate;
    annotationContext = context;
}

const char *logging_cause(int error) {
    if (error == LOG_NOT_A_FILE)
        return "not a regular file (a FIFO, socket or device could hold up the exchanges)";
    return std::strerror(-error);
}
