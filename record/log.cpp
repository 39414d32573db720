// The CSV row of an exchange and the append-only file that keeps the rows.
#include "record/log.h"

#include "record/calendar.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#define O_CLOEXEC _O_NOINHERIT
#define fdatasync _commit
#define ftruncate _chsize_s
#else
#include <unistd.h>
#endif

namespace {

const char header[] = "time,port,device,address,command,sent_hex,received_hex,outcome,rtt_ms,"
                      "mode,sent_text,received_text,alarm\r\n";
constexpr int HEADER_LENGTH = int(sizeof header) - 1;
// the header of files begun before the alarm column: the same but for its last column
constexpr int HEADER_BEFORE_ALARM = HEADER_LENGTH - int(sizeof ",alarm\r\n") + 1;

// The longest row: a Latin-1 text field doubles at most (quotes, two-byte UTF-8) plus its two
// quotes, a hex byte takes three characters.
constexpr int text_field(int bytes) {
    return 2 * bytes + 2;
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

// A text as one field: Latin-1 (or already UTF-8) in, UTF-8 out, quoted when it holds a comma,
// a quote or a line break, a quote doubled.
void put_field(Row *row, const char *text, bool latin1 = true) {
    const bool quoted = std::strpbrk(text, ",\"\r\n") != nullptr;
    if (quoted) put(row, '"');
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(text); *c != '\0'; c++) {
        if (*c == '"') put(row, '"');
        if (*c < 0x80 || !latin1) {
            put(row, char(*c));
        } else {
            put(row, char(0xC0 | (*c >> 6)));
            put(row, char(0x80 | (*c & 0x3F)));
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
    char text[LOG_TIME_SIZE];
    log_time_text(wallMs, text, sizeof text);
    put_text(row, text);
}

char buffer[LOG_ROW_SIZE]; // the row being appended, and an existing file's tail

// Writes all of data at the end of the file, or takes back what got there.
int append_whole(int fd, const char *data, int length) {
    const off_t start = lseek(fd, 0, SEEK_END);
    int done = 0;
    while (done < length) {
        const auto written = write(fd, data + done, size_t(length - done));
        if (written > 0) {
            done += int(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        const int error = written < 0 ? errno : ENOSPC;
        if (done > 0 && start >= 0) {
            // the cut row is taken back (a pipe cannot); should that fail, the next start drops it
            const int truncated = ftruncate(fd, start);
            (void)truncated;
        }
        return -error;
    }
    return 0;
}

// Waits until what was written is on the disk; a pipe or terminal has nothing to keep.
int sync_data(int fd) {
    if (fdatasync(fd) == 0 || errno == EINVAL) return 0;
    return -errno;
}

// Makes a new file's name durable: syncs the folder that holds it.
void sync_folder(const char *path) {
#ifndef _WIN32
    char folder[LOG_PATH_SIZE];
    std::snprintf(folder, sizeof folder, "%s", path);
    char *slash = std::strrchr(folder, '/');
    if (!slash)
        std::snprintf(folder, sizeof folder, ".");
    else
        slash[slash == folder ? 1 : 0] = '\0';
    const int fd = open(folder, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    (void)fsync(fd);
    close(fd);
#else
    (void)path;
#endif
}

// Reads length bytes at offset into data; false when the file cannot be read there.
bool read_at(int fd, off_t offset, char *data, int length) {
    if (lseek(fd, offset, SEEK_SET) != offset) return false;
    for (int done = 0; done < length;) {
        const auto got = read(fd, data + done, size_t(length - done));
        if (got <= 0) return false;
        done += int(got);
    }
    return true;
}

// Whether the file begins with the header of the rows without the alarm column.
bool begun_before_alarm(int fd, long long size) {
    char head[HEADER_LENGTH];
    return size >= HEADER_BEFORE_ALARM + 2 && read_at(fd, 0, head, HEADER_BEFORE_ALARM + 2) &&
           std::memcmp(head, header, HEADER_BEFORE_ALARM) == 0 &&
           std::memcmp(head + HEADER_BEFORE_ALARM, "\r\n", 2) == 0;
}

// Readies an existing file for whole rows: a header when it is empty; a line break after
// anything else that does not end in one, unless it is a log of ours whose last row a crash cut
// short, which loses that row instead (or a header cut short, which is written again).
int prepare_end(int fd, int *alarmColumn) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return -errno;
    const long long size = info.st_size;
    *alarmColumn = 1;
    if (size == 0) return append_whole(fd, header, HEADER_LENGTH);
    if (!S_ISREG(info.st_mode)) return 0;
    *alarmColumn = !begun_before_alarm(fd, size);

    const int tail = size < LOG_ROW_SIZE ? int(size) : LOG_ROW_SIZE;
    if (!read_at(fd, off_t(size - tail), buffer, tail)) return 0; // opened for writing only
    if (buffer[tail - 1] == '\n') return 0;
    char head[HEADER_LENGTH];
    const int headLength = size < HEADER_LENGTH ? int(size) : HEADER_LENGTH;
    const bool ours = !*alarmColumn || (read_at(fd, 0, head, headLength) &&
                                        std::memcmp(head, header, headLength) == 0);
    if (!ours) return append_whole(fd, "\r\n", 2);
    if (size < HEADER_LENGTH) {
        if (ftruncate(fd, 0) != 0) return -errno;
        return append_whole(fd, header, HEADER_LENGTH);
    }
    for (int i = tail - 1; i >= 0; i--)
        if (buffer[i] == '\n') return ftruncate(fd, off_t(size - tail + i + 1)) == 0 ? 0 : -errno;
    return append_whole(fd, "\r\n", 2);
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
    put_hex(&out, received.bytes,
            received.count < RECEIVE_LOG_SIZE ? received.count : RECEIVE_LOG_SIZE);
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
    // read access only to look at how an existing file ends
    int fd = open(path, O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EACCES) fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return -errno;
    struct stat info {};
    const bool empty = fstat(fd, &info) == 0 && info.st_size == 0;
    int error = prepare_end(fd, &log->alarmColumn);
    if (error == 0) error = sync_data(fd);
    if (error != 0) {
        close(fd);
        return error;
    }
    if (empty) sync_folder(path);
    log->fd = fd;
    std::snprintf(log->path, sizeof log->path, "%s", path);
    return 0;
}

int log_append(LogFile *log, const ExchangeRecord *record, const char *alarm) {
    if (log->fd < 0) return -EBADF;
    const int length = log_format_row(record, buffer, sizeof buffer, alarm, log->alarmColumn);
    if (length < 0) return -EOVERFLOW;
    const int error = append_whole(log->fd, buffer, length);
    return error != 0 ? error : sync_data(log->fd);
}

void log_close(LogFile *log) {
    if (log->fd >= 0) close(log->fd);
    log->fd = -1;
}

int log_is_open(const LogFile *log) {
    return log->fd >= 0;
}

void log_time_text(long long wallMs, char *text, int size) {
    const long long seconds = wallMs >= 0 ? wallMs / 1000 : (wallMs - 999) / 1000;
    tm local{}, utc{};
    calendar_of(seconds, &local, &utc);
    // the offset from the two calendars, as no portable field holds it
    const int days = local.tm_year != utc.tm_year ? (local.tm_year > utc.tm_year ? 1 : -1)
                                                  : local.tm_yday - utc.tm_yday;
    const int offset = (days * 24 + local.tm_hour - utc.tm_hour) * 60 + local.tm_min - utc.tm_min;
    std::snprintf(text, size_t(size), "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, int(wallMs - seconds * 1000), offset < 0 ? '-' : '+',
                  std::abs(offset) / 60, std::abs(offset) % 60);
}
