// The one log file of the run and the reader that appends each exchange's row to it.
#include "record/logging.h"

#include "record/log.h"
#include "record/record.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

LogFile log = {-1, "", 1};
int listenerId;
LoggingFailure failureHandler;
void *failureContext;
LogAnnotation annotation;
void *annotationContext;

void append_exchange(const ExchangeRecord *record, void *) {
    char alarm[LOG_ALARM_SIZE] = "";
    if (annotation) annotation(record, alarm, sizeof alarm, annotationContext);
    const int error = log_append(&log, record, alarm);
    if (error == 0) return;
    char path[LOG_PATH_SIZE];
    std::snprintf(path, sizeof path, "%s", log.path);
    stop_logging();
    if (failureHandler) failureHandler(path, error, failureContext);
}

} // namespace

int start_logging(const char *path) {
    stop_logging();
    if (const int error = log_open(&log, path); error != 0) return error;
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

void on_logging_annotation(LogAnnotation annotate, void *context) {
    annotation = annotate;
    annotationContext = context;
}

const char *logging_cause(int error) {
    return std::strerror(-error);
}
