// The log file: one CSV row (RFC 4180, UTF-8) per exchange, appended whole and made durable
// before the exchange ends, so a killed program or a lost power supply costs at most the
// exchange in progress. No Qt here.
//
// Columns: time (local ISO 8601 with ms and UTC offset, when the write began), port (comN),
// device, address, command, sent_hex, received_hex (every byte read, the rejected ones too, the
// first RECEIVE_LOG_SIZE of them), outcome (receive_code_name), rtt_ms (empty without a valid
// answer), mode, sent_text, received_text (the history entries as shown, "" when none), alarm
// (the alarms the exchange raised or cleared, "" when none). A file begun before the alarm column
// keeps its columns, so that its rows stay alike.
// The text columns (device, command, sent_text, received_text, alarm) are safe to show and to
// open in a spreadsheet: control characters are written as on the command line ("\x1b"), and a
// text that a spreadsheet would take for a formula gets a leading "'". The numbers and the hex
// columns stay exact.
#pragma once

#include "record/record.h"

enum {
    LOG_ROW_SIZE = 65536, // the longest row of any record, with room to spare
    LOG_PATH_SIZE = 4096,
    LOG_ALARM_SIZE = 1024, // the alarm column's text is cut to this, terminator included
};

// A failure that no errno names: the path leads to something other than a regular file (a FIFO,
// a socket, a terminal), where a write could hold up the exchanges.
enum { LOG_NOT_A_FILE = -4096 };

struct LogFile {
    int fd; // -1 while closed
    char path[LOG_PATH_SIZE];
    int alarmColumn; // the file's rows end with the alarm column
};

// The header row, ended by CRLF as every row.
const char *log_header(void);
// Writes the record's row, ended by CRLF, into row (size bytes) with a terminator: with the alarm
// column holding alarm, or without the column. Returns its length, or -1 when it does not fit.
int log_format_row(const ExchangeRecord *record, char *row, int size, const char *alarm = "",
                   int alarmColumn = 1);

// Opens path for appending (creating it, never truncating it) into log and writes the header
// when the file is empty. A log of ours whose last row was cut short (a crash during its write)
// loses that partial row, found by CSV rules (a quoted field may hold a line break), so the rows
// that follow stay whole; any other file not ending in a line break gets one. Anything but a
// regular file or the null device is refused. Returns 0, or a negative errno or LOG_NOT_A_FILE
// with log closed.
int log_open(LogFile *log, const char *path);
// Appends the record's row (with alarm in its alarm column, if it has one) with one write and
// waits until it is on the disk. A row that cannot be written whole is taken back. Returns 0, or
// a negative errno.
int log_append(LogFile *log, const ExchangeRecord *record, const char *alarm = "");
// Whether log's path no longer leads to its open file: deleted, renamed or replaced (a log
// rotation that moves the file away); 0 while closed.
int log_moved(const LogFile *log);
// Closes the file; harmless when closed.
void log_close(LogFile *log);
// Whether log is open.
int log_is_open(const LogFile *log);
