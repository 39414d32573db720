// The log of this run: while it is on, every exchange appends its row to the log file
// (record/log.h) before the exchange ends. The window starts and stops it from its menu or with
// --log, the command line with --log. No Qt here.
#pragma once

#include "record/record.h"

// Writes the alarm column's text for a record into text (size bytes), "" for none.
typedef void (*LogAnnotation)(const ExchangeRecord *record, char *text, int size, void *context);

// Told that a failed write has stopped logging: the file and the negative errno.
typedef void (*LoggingFailure)(const char *path, int error, void *context);

// Told that the log's path no longer led to its file (deleted, or moved away by a log rotation)
// and that path was opened anew for the rows from now on.
typedef void (*LoggingReopened)(const char *path, void *context);

// Opens path for appending and logs every later exchange to it, in place of any log before. A
// path with strftime fields (record/log_name.h) names a file by the local time of each
// exchange's write: when the name changes, the next row begins the new file. A file that its name
// no longer leads to (deleted, or moved away by a log rotation) is left for a new one of that
// name before the next row. Returns 0, or a negative errno or LOG_NOT_A_FILE with logging off.
int start_logging(const char *path);
// Stops logging and closes the file; harmless when it is off.
void stop_logging(void);
// The file being logged to now, or null while logging is off.
const char *logging_path(void);
// Whom a failed write tells, after it has stopped logging (one at a time; null for none).
void on_logging_failure(LoggingFailure failure, void *context);
// Whom a reopened file tells (one at a time; null for none).
void on_logging_reopened(LoggingReopened reopened, void *context);
// Who fills each row's alarm column (one at a time; null: it stays empty).
void on_logging_annotation(LogAnnotation annotation, void *context);
// The cause of a negative errno or LOG_NOT_A_FILE in words ("No space left on device").
const char *logging_cause(int error);
