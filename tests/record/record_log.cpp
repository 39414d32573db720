// The log file: its rows read back by an RFC 4180 reader, what opening does to a file that is
// there already, and a program killed while it logs.
#include "record/log.h"
#include "record/logging.h"
#include "tests/support/com_ring.h"
#include "tests/support/fake_rs232.h"
#include "ui/callbacks.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Reads RFC 4180 text strictly: every row ends in CRLF, a quote only opens or closes a field or
// stands doubled inside one. False for anything else, e.g. a row cut short.
bool read_csv(const std::string &text, Rows *rows) {
    rows->assign(1, {""});
    bool quoted = false, closed = false;
    for (size_t i = 0; i < text.size(); i++) {
        std::string &field = rows->back().back();
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
            field += c, i++;
        } else if (quoted) {
            if (c == '"')
                quoted = false, closed = true;
            else
                field += c;
        } else if (c == '"') {
            if (!field.empty() || closed) return false;
            quoted = true;
        } else if (c == ',') {
            rows->back().push_back(""), closed = false;
        } else if (c == '\r' && text.compare(i, 2, "\r\n") == 0) {
            rows->push_back({""}), closed = false, i++;
        } else {
            if (closed || c == '\r' || c == '\n') return false;
            field += c;
        }
    }
    rows->pop_back(); // what follows the last CRLF: nothing in a whole file
    return !quoted && !text.empty() && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

// A file name of this process's own in the test's temporary folder.
std::string temp_path(const char *name) {
    return testing::TempDir() + "kelvra-" + std::to_string(getpid()) + "-" + name;
}

std::string slurp(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

const std::string A0_ANSWER = "\x02\x81\xC1\xB0\xA0\xB0\xB2\xB3\xAE\xB5\xA0\xB0\xB2\xB5\xAE\xB0"
                              "\xF3\x03";

// A record of "A0" sent to address 1 on com3 in mode 1, with what came back.
std::unique_ptr<ExchangeRecord> record(long long wallMs, const char *device, const char *command,
                                       const std::string &bytes, int code, double rtt,
                                       const char *sentText, const char *receivedText) {
    auto r = std::make_unique<ExchangeRecord>();
    *r = {BY_ENTER, wallMs,   3,   "", 1,  "", "\x02\x81\xC1\xB0\xF0\x03", 6, 6,
          {},       rtt >= 0, rtt, 1,  "", ""};
    snprintf(r->device, sizeof r->device, "%s", device);
    snprintf(r->command, sizeof r->command, "%s", command);
    snprintf(r->sentText, sizeof r->sentText, "%s", sentText);
    snprintf(r->receivedText, sizeof r->receivedText, "%s", receivedText);
    r->received.code = code;
    r->received.count = int(bytes.size());
    memcpy(r->received.bytes, bytes.data(), std::min(bytes.size(), sizeof r->received.bytes));
    return r;
}

TEST(LogRow, ReadsBackFieldForFieldInLocalTimeAndUtf8) {
    const struct {
        const char *zone;
        std::unique_ptr<ExchangeRecord> record;
        std::string fields; // the row as read back, its fields joined by '|'
    } cases[] = {
        {"CET-1CEST,M3.5.0,M10.5.0/3",
         record(1741940813589, "/dev/ttyUSB0", "A0", A0_ANSWER, RECEIVE_OK, 31.64, "A0",
                "A0 023.5 025.0"),
         "2025-03-14T09:26:53.589+01:00|com3|/dev/ttyUSB0|1|A0|02 81 C1 B0 F0 03|02 81 C1 B0 A0 "
         "B0 B2 B3 AE B5 A0 B0 B2 B5 AE B0 F3 03|ok|31.6|1|A0|A0 023.5 025.0|"},
        // a rejected answer, and texts that need quoting; Latin-1 in, UTF-8 out
        {"CET-1CEST,M3.5.0,M10.5.0/3",
         record(1751371200005, "/tmp/k\xC3\xA4", "a0 \"x\",1", "\x02\x81\xC1\x03",
                RECEIVE_BAD_CHECKSUM, -1, "Sollwert ge\xE4ndert, \"so\"\r\nweiter", ""),
         "2025-07-01T14:00:00.005+02:00|com3|/tmp/k\xC3\xA4|1|a0 \"x\",1|02 81 C1 B0 F0 03|02 81 "
         "C1 03|bad-checksum||1|Sollwert ge\xC3\xA4ndert, \"so\"\\x0d\\x0aweiter||"},
        // a silent chamber; the year changes with the zone; a device name in Latin-1
        {"NST3:30", record(1735687800000, "/dev/k\xE4", "E0", "", RECEIVE_NO_ANSWER, -1, "E0", ""),
         "2024-12-31T20:00:00.000-03:30|com3|/dev/k\xC3\xA4|1|E0|02 81 C1 B0 F0 03||no-answer||1|"
         "E0||"},
        // texts from the line or the operator: control characters escaped, a formula marked, a
        // number left one; the hex keeps the bytes
        {"UTC0",
         record(0, "=x\x1b", "-12.5", "\x02\x9B\x07", RECEIVE_BAD_START, -1, "\tA0",
                "@A0 \x1b]0;x\x07\x9b"),
         "1970-01-01T00:00:00.000+00:00|com3|'=x\\x1b|1|-12.5|02 81 C1 B0 F0 03|02 9B 07|"
         "bad-start||1|'\\x09A0|'@A0 \\x1b]0;x\\x07\\x9b|"},
    };
    char row[LOG_ROW_SIZE];
    for (const auto &c : cases) {
        setenv("TZ", c.zone, 1);
        tzset();
        const int length = log_format_row(c.record.get(), row, sizeof row);
        Rows rows;
        ASSERT_TRUE(read_csv(std::string(row, std::max(length, 0)), &rows)) << row;
        ASSERT_EQ(rows.size(), 1u);
        std::string joined;
        for (const std::string &field : rows[0]) joined += (joined.empty() ? "" : "|") + field;
        EXPECT_EQ(joined, c.fields);
        EXPECT_EQ(log_format_row(c.record.get(), row, length), -1) << "one byte too few";
    }
    unsetenv("TZ");
    tzset();
    // the alarm column last, quoted where it must be; none for a file begun before it
    auto hot = record(0, "x", "A0", A0_ANSWER, RECEIVE_OK, 1, "A0", "A0 041.5 030.0");
    const char *alarm = "raised A0 actual between 15 and 40 (actual 41.5, set 30.0)";
    Rows alarmed, before;
    ASSERT_TRUE(
        read_csv(std::string(row, log_format_row(hot.get(), row, sizeof row, alarm)), &alarmed));
    ASSERT_EQ(alarmed[0].size(), 13u);
    EXPECT_EQ(alarmed[0][7], "ok") << "the outcome stays the exchange's";
    EXPECT_EQ(alarmed[0][12], alarm);
    ASSERT_TRUE(
        read_csv(std::string(row, log_format_row(hot.get(), row, sizeof row, alarm, 0)), &before));
    EXPECT_EQ(before[0].size(), 12u);
    // of more bytes than are kept, the first RECEIVE_LOG_SIZE
    auto longest = record(0, "x", "A0", std::string(5000, '\xB0'), RECEIVE_TOO_SLOW, -1, "A0", "");
    Rows rows;
    ASSERT_TRUE(read_csv(std::string(row, log_format_row(longest.get(), row, sizeof row)), &rows));
    EXPECT_EQ(rows[0][6].size(), 3u * RECEIVE_LOG_SIZE - 1);
}

TEST(LogFile, AppendsToWhatIsThereAndDropsOnlyARowCutShort) {
    auto r = record(0, "x", "A0", "", RECEIVE_NO_ANSWER, -1, "A0", "");
    char row[LOG_ROW_SIZE];
    const std::string line(row, log_format_row(r.get(), row, sizeof row)), header = log_header();
    const std::string none = "no file";
    // a log begun before the alarm column keeps its twelve
    const std::string oldHeader = header.substr(0, header.size() - 8) + "\r\n";
    const std::string oldLine(row, log_format_row(r.get(), row, sizeof row, "", 0));
    const std::string broken = "0,com3,x,1,A0,,,ok,1.0,1,A0,\"A0\r\nsecond line\",\r\n";
    const struct {
        std::string before;
        int appends; // each opens the file anew
        std::string after;
    } cases[] = {
        {none, 1, header + line},
        {"", 2, header + line + line},
        {header + line + line.substr(0, 20), 1, header + line + line}, // cut short by a crash
        {"time,port,dev", 1, header + line}, // the header cut short is written again
        {"notes", 1, "notes\r\n" + line},    // not a log of ours: kept, with a line break
        {"notes\n", 1, "notes\n" + line},
        {oldHeader + oldLine, 1, oldHeader + oldLine + oldLine},
        {oldHeader + oldLine.substr(0, 20), 1, oldHeader + oldLine},
        // an earlier row whose quoted field holds a line break, whole or cut short in or after it
        {header + broken, 1, header + broken + line},
        {header + line + broken.substr(0, broken.find('\n') + 1), 1, header + line + line},
        {header + line + broken.substr(0, broken.size() - 3), 1, header + line + line},
    };
    const std::string path = temp_path("log.csv");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.before);
        (void)std::remove(path.c_str());
        if (c.before != none) std::ofstream(path, std::ios::binary) << c.before;
        for (int i = 0; i < c.appends; i++) {
            LogFile log;
            ASSERT_EQ(log_open(&log, path.c_str()), 0);
            EXPECT_EQ(log_append(&log, r.get()), 0);
            log_close(&log);
        }
        EXPECT_EQ(slurp(path), c.after);
    }
    (void)std::remove(path.c_str());
}

// Runs the exchange cycle back to back against the fake line (valid answers, silence, a frame
// that never ends: rows of a few bytes to a few kB) and logs each one, until killed. A byte on
// done tells each exchange that has ended.
[[noreturn]] void log_until_killed(const char *path, int done) {
    fake_ui_reset();
    fake_ui_main_panel_with_port(1);
    SetCtrlVal(main_panel, SEND_STRING, "a0 \"x\",1");
    SetCtrlVal(main_panel, KAMMER, 1);
    SetCtrlVal(main_panel, RINGSLIDE, 1);
    if (start_logging(path) != 0) _exit(2);
    for (int i = 0;; i++) {
        fake_rs232_reset();
        if (i % 3 == 0) fake_rs232_arrive(0.01, A0_ANSWER);
        if (i % 3 == 2) fake_rs232_arrive(0.01, "\x02\x81"), fake_rs232_noise(0.02, 0.0001, 0xB0);
        TIMER(main_panel, SCANNER, EVENT_TIMER_TICK, nullptr, 0, 0);
        if (write(done, "x", 1) != 1) _exit(3);
    }
}

TEST(LogFile, AProgramKilledWhileLoggingLosesNoExchangeThatEndedAndLeavesOnlyWholeRows) {
    const std::string path = temp_path("killed.csv");
    size_t rowsBefore = 1; // the header
    for (int run = 0; run < 20; run++) {
        int done[2];
        ASSERT_EQ(pipe2(done, O_NONBLOCK), 0);
        const pid_t child = fork();
        if (child == 0) log_until_killed(path.c_str(), done[1]);
        close(done[1]);
        std::this_thread::sleep_for(std::chrono::microseconds(20000 + 7919 * run % 40000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself: " << status;
        char ended[65536];
        const ssize_t exchanges = std::max<ssize_t>(read(done[0], ended, sizeof ended), 0);
        close(done[0]);

        const std::string text = slurp(path);
        if (text.empty()) { // killed before it made the file: no exchange ended either
            EXPECT_EQ(exchanges, 0) << "run " << run;
            continue;
        }
        Rows rows;
        ASSERT_TRUE(read_csv(text, &rows)) << "run " << run;
        EXPECT_EQ(rows[0][0] + rows[0][11], "timereceived_text");
        for (size_t i = rowsBefore; i < rows.size(); i++) {
            ASSERT_EQ(rows[i].size(), 13u) << "row " << i;
            EXPECT_EQ(rows[i][4], "a0 \"x\",1");
            EXPECT_EQ(rows[i][7] == "ok", rows[i][11] == "A0 023.5 025.0" && !rows[i][8].empty());
        }
        // the row of each exchange that ended, and perhaps of the one that was ending
        EXPECT_GE(ssize_t(rows.size() - rowsBefore), exchanges);
        EXPECT_LE(ssize_t(rows.size() - rowsBefore), exchanges + 1);
        rowsBefore = rows.size();
    }
    EXPECT_GT(rowsBefore, 20u) << "the children got to log";
    (void)std::remove(path.c_str());
}

} // namespace
