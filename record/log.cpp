// The CSV row of an exchange and the append-only file that keeps the rows.
#include "record/log.h"

#include "display/visible.h"
#include "record/calendar.h"
#include "record/log_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

const char header[] = "time,port,device,address,command,sent_hex,received_hex,outcome,rtt_ms,"
                      "mode,sent_text,received_text,alarm\r\n";
constexpr int HEADER_LENGTH = int(sizeof header) - 1;
// the header of files begun before the alarm column: the same but for its last column
constexpr int HEADER_BEFORE_ALARM = HEADER_LENGTH - int(sizeof ",alarm\r\n") + 1;

// The longest row: a text byte takes at most four characters (a control character's escape),
// a field adds its two quotes and a formula's mark, a hex byte takes three characters.
constexpr int text_field(int bytes) {
    return 4 * bytes + 3;
}
constexpr int LONGEST_ROW = 256 /* time, port, address, outcome, rtt_ms, mode */ +
                            text_field(DEVICE_NAME_SIZE) + text_field(FRAME_BUFFER_SIZE) +
                            3 * FRAME_BUFFER_SIZE + 3 * RECEIVE_LOG_SIZE +
                            2 * text_field(DISPLAY_BUFFER_SIZE) + text_field(LOG_ALARM_SIZE) +
                            12 /* commas */ + 2 /* CRLF */;
static_assert(LONGEST_ROW < LOG_ROW_SIZE);

// A row being written into a bounded buffer; once it is full it takes nothing more.
struct Row {
    char *at;
    char *end; // the last byte, kept for the terminator
    bool full;
};

void put(Row *row, char c) {
    if (row->at < row->end)
        *row->at++ = c;
    else
        row->full = true;
}

void put_text(Row *row, const char *text) {
    while (*text != '\0') put(row, *text++);
}

// Whether text is UTF-8 (a device path is in the system's encoding, which mostly is).
bool is_utf8(const unsigned char *c) {
    while (*c != '\0') {
        const int more = *c < 0x80             ? 0
                         : (*c & 0xE0) == 0xC0 ? 1
                         : (*c & 0xF0) == 0xE0 ? 2
                         : (*c & 0xF8) == 0xF0 ? 3
                                               : -1;
        if (more < 0) return false;
        c++;
        for (int i = 0; i < more; i++, c++)
            if ((*c & 0xC0) != 0x80) return false; // the terminator ends a sequence cut short
    }
    return true;
}

// Whether text is a plain number ("-12.5"), which a spreadsheet reads as the number it is.
bool is_number(const char *text) {
    const char *c = text + (*text == '-' || *text == '+');
    int digits = 0, points = 0;
    for (; *c != '\0'; c++) {
        if (*c == '.')
            points++;
        else if (*c >= '0' && *c <= '9')
            digits++;
        else
            return false;
    }
    return digits > 0 && points <= 1;
}

// A text as one field: Latin-1 (or already UTF-8) in, UTF-8 out. Its control characters are
// written as the command line writes them ("\x1b"), so that nothing from the line acts on a
// terminal that shows the file. A text that begins as a formula would ('=', '+', '-', '@', a
// tab or a carriage return) gets a leading "'", which spreadsheets take as "this is text"; a
// plain number stays a number. Quoted when it holds a comma or a quote, a quote doubled.
void put_field(Row *row, const char *text, bool latin1 = true) {
    const bool quoted = std::strpbrk(text, ",\"") != nullptr;
    if (quoted) put(row, '"');
    if (*text != '\0' && std::strchr("=+-@\t\r", *text) && !is_number(text)) put(row, '\'');
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(text); *c != '\0'; c++) {
        if (*c == '"') put(row, '"');
        if (latin1 || *c < 0x80) {
            char visible[5];
            latin1_visible_char(*c, visible);
            put_text(row, visible);
        } else {
            put(row, char(*c)); // a byte of a UTF-8 sequence
        }
    }
    if (quoted) put(row, '"');
}

void put_hex(Row *row, const unsigned char *bytes, int count) {
    static const char digits[] = "0123456789ABCDEF";
    for (int i = 0; i < count; i++) {
        if (i > 0) put(row, ' ');
        put(row, digits[bytes[i] >> 4]);
        put(row, digits[bytes[i] & 0xF]);
    }
}

void put_time(Row *row, long long wallMs) {
    char text[WALL_CLOCK_TEXT_SIZE];
    wall_clock_text(wallMs, WALL_CLOCK_OFFSET, text, sizeof text);
    put_text(row, text);
}

char buffer[LOG_ROW_SIZE]; // the row being appended, and an existing file's tail

// Writes all of data at the end of the file, or takes back what got there.
int append_whole(int fd, const char *data, int length) {
    const long long start = file_end(fd);
    int done = 0;
    while (done < length) {
        const int written = file_write(fd, data + done, length - done);
        if (written > 0) {
            done += written;
            continue;
        }
        if (done > 0 && start >= 0) {
            // the cut row is taken back (a pipe cannot); should that fail, the next start drops it
            const int truncated = file_truncate(fd, start);
            (void)truncated;
        }
        return written < 0 ? written : -ENOSPC;
    }
    return 0;
}

// Whether the file begins with the header of the rows without the alarm column.
bool begun_before_alarm(int fd, long long size) {
    char head[HEADER_LENGTH];
    return size >= HEADER_BEFORE_ALARM + 2 &&
           file_read_at(fd, 0, head, HEADER_BEFORE_ALARM + 2) == 0 &&
           std::memcmp(head, header, HEADER_BEFORE_ALARM) == 0 &&
           std::memcmp(head + HEADER_BEFORE_ALARM, "\r\n", 2) == 0;
}

// The end of the file's last whole record by CSV rules, read from its start: a line break ends
// a record only outside quotes. -1 when the file cannot be read.
long long last_record_end(int fd, long long size) {
    long long end = 0;
    bool quoted = false;
    for (long long at = 0; at < size; at += LOG_ROW_SIZE) {
        const int length = size - at < LOG_ROW_SIZE ? int(size - at) : LOG_ROW_SIZE;
        if (file_read_at(fd, at, buffer, length) != 0) return -1;
        for (int i = 0; i < length; i++) {
            if (buffer[i] == '"') quoted = !quoted; // a doubled quote leaves and enters again
            if (buffer[i] == '\n' && !quoted) end = at + i + 1;
        }
    }
    return end;
}

// Readies an existing file for whole rows: a header when it is empty; a line break after
// anything else that does not end in one, unless it is a log of ours whose last row a crash cut
// short, which loses that row instead (or a header cut short, which is written again).
int prepare_end(int fd, int *alarmColumn) {
    long long size = 0;
    int regular = 0;
    if (const int error = file_size(fd, &size, &regular); error != 0) return error;
    *alarmColumn = 1;
    if (size == 0) return append_whole(fd, header, HEADER_LENGTH);
    if (!regular) return 0;
    *alarmColumn = !begun_before_alarm(fd, size);

    const int tail = size < LOG_ROW_SIZE ? int(size) : LOG_ROW_SIZE;
    if (file_read_at(fd, size - tail, buffer, tail) != 0) return 0; // opened for writing only
    // without a quote in a tail longer than any row, no field is open at the end
    const bool quotes = std::memchr(buffer, '"', size_t(tail)) != nullptr;
    if (buffer[tail - 1] == '\n' && !quotes) return 0;
    char head[HEADER_LENGTH];
    const int headLength = size < HEADER_LENGTH ? int(size) : HEADER_LENGTH;
    const bool ours = !*alarmColumn || (file_read_at(fd, 0, head, headLength) == 0 &&
                                        std::memcmp(head, header, headLength) == 0);
    if (!ours) return buffer[tail - 1] == '\n' ? 0 : append_whole(fd, "\r\n", 2);
    if (size < HEADER_LENGTH) {
        if (const int error = file_truncate(fd, 0); error != 0) return error;
        return append_whole(fd, header, HEADER_LENGTH);
    }
    long long end = 0;
    if (quotes) {
        end = last_record_end(fd, size);
    } else {
        for (int i = tail - 1; i >= 0 && end == 0; i--)
            if (buffer[i] == '\n') end = size - tail + i + 1;
    }
    if (end == size || end < 0) return 0;
    return end > 0 ? file_truncate(fd, end) : append_whole(fd, "\r\n", 2);
}

} // namespace

const char *log_header(void) {
    return header;
}

int log_format_row(const ExchangeRecord *record, char *row, int size, const char *alarm,
                   int alarmColumn) {
    if (size <= 0) return -1;
    Row out{row, row + size - 1, false};
    char number[64];

    put_time(&out, record->wallMs);
    std::snprintf(number, sizeof number, ",com%d,", record->port);
    put_text(&out, number);
    put_field(&out, record->device,
              !is_utf8(reinterpret_cast<const unsigned char *>(record->device)));
    std::snprintf(number, sizeof number, ",%d,", record->address);
    put_text(&out, number);
    put_field(&out, record->command);
    put(&out, ',');
    put_hex(&out, reinterpret_cast<const unsigned char *>(record->sent), record->sentLength);
    put(&out, ',');
    const ReceiveOutcome &received = record->received;
    put_hex(&out, received.bytes, receive_bytes_kept(&received));
    put(&out, ',');
    put_text(&out, receive_code_name(received.code));
    put(&out, ',');
    if (record->answered && record->rttMs >= 0) {
        const long long tenths = std::llround(std::min(record->rttMs, 1e12) * 10);
        std::snprintf(number, sizeof number, "%lld.%lld", tenths / 10, tenths % 10);
        put_text(&out, number);
    }
    std::snprintf(number, sizeof number, ",%d,", record->mode);
    put_text(&out, number);
    put_field(&out, record->sentText);
    put(&out, ',');
    put_field(&out, record->receivedText);
    if (alarmColumn) {
        char cut[LOG_ALARM_SIZE];
        std::snprintf(cut, sizeof cut, "%s", alarm ? alarm : "");
        put(&out, ',');
        put_field(&out, cut);
    }
    put_text(&out, "\r\n");
    *out.at = '\0';
    return out.full ? -1 : int(out.at - row);
}

int log_open(LogFile *log, const char *path) {
    log->fd = -1;
    log->path[0] = '\0';
    if (!path || *path == '\0') return -ENOENT;
    if (std::strlen(path) >= sizeof log->path) return -ENAMETOOLONG;
    const int fd = file_open_append(path);
    if (fd < 0) return fd;
    long long size = 0;
    int regular = 0;
    int error = file_size(fd, &size, &regular);
    if (error == 0 && !regular && !file_discards(fd)) error = LOG_NOT_A_FILE;
    if (error == 0) error = prepare_end(fd, &log->alarmColumn);
    if (error == 0) error = file_sync(fd);
    if (error != 0) {
        file_close(fd);
        return error;
    }
    if (size == 0) file_sync_folder(path);
    log->fd = fd;
    std::snprintf(log->path, sizeof log->path, "%s", path);
    return 0;
}

int log_append(LogFile *log, const ExchangeRecord *record, const char *alarm) {
    if (log->fd < 0) return -EBADF;
    const int length = log_format_row(record, buffer, sizeof buffer, alarm, log->alarmColumn);
    if (length < 0) return -EOVERFLOW;
    const int error = append_whole(log->fd, buffer, length);
    return error != 0 ? error : file_sync(log->fd);
}

int log_moved(const LogFile *log) {
    return log->fd >= 0 && !file_is_at(log->fd, log->path);
}

void log_close(LogFile *log) {
    if (log->fd >= 0) file_close(log->fd);
    log->fd = -1;
}

int log_is_open(const LogFile *log) {
    return log->fd >= 0;
}
