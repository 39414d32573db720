// The log file: one CSV row (RFC 4180, UTF-8) per exchange, appended whole and made durable
// before the exchange ends, so a killed program or a lost power supply costs at most the
// exchange in progress. No Qt here.
//
// Columns: time (local ISO 8601 with ms and UTC offset, when the write began), port (comN),
// device, address, command, sent_hex, received_hex (every byte read, the rejected ones too, the
// first RECEIVE_LOG_SIZE of them), outcome (receive_code_name), rtt_ms (empty without a valid
// answer), mode, sent_text, received_text (the history entries as shown, "" when none).
#pragma once

#include "record/record.h"

enum {
    LOG_ROW_SIZE = 32768, // the longest row of any record, with room to spare
    LOG_PATH_SIZE = 4096,
};

struct LogFile {
    int fd; // -1 while closed
    char path[LOG_PATH_SIZE];
};

// The header row, ended by CRLF as every row.
const char *log_header(void);
// Writes the record's row, ended by CRLF, into row (size bytes) with a terminator. Returns its
// length, or -1 when it does not fit.
int log_format_row(const ExchangeRecord *record, char *row, int size);

// Opens path for appending (creating it, never truncating it) into log and writes the header
// when the file is empty. A log of ours whose last row was cut short (a crash during its write)
// loses that partial row, so the rows that follow stay whole; any other file not ending in a
// line break gets one. Returns 0, or a negative errno with log closed.
int log_open(LogFile *log, const char *path);
// Appends the record's row with one write and waits until it is on the disk. A row that cannot
// be written whole is taken back. Returns 0, or a negative errno.
int log_append(LogFile *log, const ExchangeRecord *record);
// Closes the file; harmless when closed.
void log_close(LogFile *log);
// Whether log is open.
int log_is_open(const LogFile *log);
