// Everything kept per chamber: two chambers on one port answering for the same channel give two
// trends and two statuses, and a bus scan's probe adds to neither (a single store once merged
// them into one zig-zag curve); the status lamp, misses and round-trip percentiles; the log file
// that begins anew when its name's date changes; the --chamber text.
#include "exchange/lab.h"
#include "record/chamber_status.h"
#include "record/chamber_trends.h"
#include "record/log_name.h"
#include "record/logging.h"
#include "tests/support/answer_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const long long AT = 1700000000000;

std::unique_ptr<ExchangeRecord> chamber_record(int port, int address, const char *payload,
                                               long long ms, int trigger = BY_POLL,
                                               int answered = 1, int code = RECEIVE_OK) {
    auto record = answer_record("A0", payload, ms, 12, answered);
    record->port = port;
    record->address = address;
    record->trigger = trigger;
    record->received.code = code;
    if (code == RECEIVE_NO_ANSWER) record->received.count = 0;
    return record;
}

std::vector<double> actuals(const TrendStore *store) {
    std::vector<TrendPoint> points(64);
    points.resize(
        (size_t)trend_points(store, trend_series(0, TREND_ACTUAL), 0, AT * 2, 8, points.data()));
    std::vector<double> values;
    for (const TrendPoint &p : points) values.push_back(p.value);
    return values;
}

TEST(Chambers, TwoChambersOnOnePortKeepTwoTrendsAndAScanAddsNothing) {
    auto trends = std::make_unique<ChamberTrends>();
    auto statuses = std::make_unique<ChamberStatuses>();
    chamber_trends_init(trends.get());
    chamber_statuses_init(statuses.get());
    const struct {
        int address;
        const char *payload;
        int trigger;
        int trendIndex; // what chamber_trends_add_record returns
    } records[] = {
        {1, "A0 020.0 025.0", BY_POLL, 0},  {2, "A0 050.0 060.0", BY_POLL, 1},
        {1, "A0 021.0 025.0", BY_TIMER, 0}, {2, "A0 051.0 060.0", BY_POLL, 1},
        {1, "A0 099.0 099.0", BY_SCAN, -1}, {3, "A0 070.0 070.0", BY_SCAN, -1},
    };
    long long ms = AT;
    for (const auto &r : records) {
        auto record = chamber_record(1, r.address, r.payload, ms += 1000, r.trigger);
        EXPECT_EQ(chamber_trends_add_record(trends.get(), record.get()), r.trendIndex) << r.payload;
        chamber_statuses_take(statuses.get(), record.get());
    }
    ASSERT_EQ(trends->count, 2);
    EXPECT_EQ(actuals(trends->chamber[0].store), (std::vector<double>{20, 21}));
    EXPECT_EQ(actuals(trends->chamber[1].store), (std::vector<double>{50, 51}));
    EXPECT_EQ(trends->chamber[1].address, 2);
    ASSERT_EQ(statuses->count, 2) << "a scan's probe of address 3 makes no chamber";
    const ChannelValues *second = chamber_channel(&statuses->chamber[1], '0');
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->actual, 51);
    EXPECT_EQ(second->set, 60);
    EXPECT_EQ(statuses->chamber[0].stats->exchanges, 2);
    EXPECT_EQ(trend_add_record(trends->chamber[0].store,
                               chamber_record(1, 1, "A0 001.0 001.0", ms, BY_SCAN).get()),
              0);
    chamber_trends_clear(trends.get());
    chamber_statuses_clear(statuses.get());
}

TEST(Chambers, TheLampFollowsTheLastExchangeAndCountsMissesInARow) {
    auto statuses = std::make_unique<ChamberStatuses>();
    chamber_statuses_init(statuses.get());
    const struct {
        int answered, code;
        int state, misses;
    } steps[] = {
        {1, RECEIVE_OK, CHAMBER_ANSWERING, 0},          {0, RECEIVE_NO_ANSWER, CHAMBER_SILENT, 1},
        {0, RECEIVE_BAD_CHECKSUM, CHAMBER_REJECTED, 2}, {0, RECEIVE_PORT_ERROR, CHAMBER_SILENT, 3},
        {1, RECEIVE_OK, CHAMBER_ANSWERING, 0},
    };
    long long ms = AT;
    for (const auto &step : steps) {
        const int index =
            chamber_statuses_take(statuses.get(), chamber_record(2, 5, "A0 020.0 025.0", ms += 2000,
                                                                 BY_POLL, step.answered, step.code)
                                                      .get());
        ASSERT_EQ(index, 0);
        const ChamberStatus &s = statuses->chamber[0];
        EXPECT_EQ(chamber_state(&s), step.state) << receive_code_name(step.code);
        EXPECT_EQ(s.missesInRow, step.misses);
    }
    EXPECT_EQ(statuses->chamber[0].lastValidMs, ms + 12);
    chamber_statuses_clear(statuses.get());

    ExchangeStats *stats = stats_new_array(1);
    for (int ms100 = 1; ms100 <= 100; ms100++) stats_add(stats, RECEIVE_OK, ms100);
    EXPECT_NEAR(stats_median_rtt(stats), 50, 0.1);
    EXPECT_NEAR(stats_rtt_percentile(stats, 0.95), 95, 0.1);
    EXPECT_NEAR(stats_rtt_percentile(stats, 1), 100, 0.1);
    stats_free(stats);
}

// Local midnight of a day in 2024: the log's names follow the local calendar.
long long local_ms(int day, int hour, int minute, int second) {
    struct tm t = {};
    t.tm_year = 124, t.tm_mon = 2, t.tm_mday = day, t.tm_hour = hour, t.tm_min = minute,
    t.tm_sec = second, t.tm_isdst = -1;
    return (long long)mktime(&t) * 1000;
}

std::string slurp(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(Chambers, ALogNamedByTheDateBeginsANewFileWithItsHeaderAtMidnight) {
    char name[64];
    const struct {
        const char *pattern;
        int size;
        const char *name; // null: refused
    } names[] = {
        {"lab-%Y-%m-%d.csv", 64, "lab-2024-03-14.csv"},
        {"lab.csv", 64, "lab.csv"},
        {"100%%-%H.csv", 64, "100%-23.csv"},
        {"lab-%Y-%m-%d.csv", 10, nullptr},
        {"", 64, nullptr},
    };
    for (const auto &n : names) {
        const int result = log_name_at(n.pattern, local_ms(14, 23, 59, 59), name, n.size);
        EXPECT_EQ(result, n.name ? 0 : -1) << n.pattern;
        if (n.name) {
            EXPECT_STREQ(name, n.name);
        }
    }

    const std::string folder = testing::TempDir() + "kelvra-rotate-" + std::to_string(getpid());
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(start_logging((folder + "/lab-%Y-%m-%d.csv").c_str()), 0);
    for (long long ms : {local_ms(14, 23, 59, 58), local_ms(14, 23, 59, 59) + 999,
                         local_ms(15, 0, 0, 0), local_ms(15, 0, 0, 1)})
        publish_exchange(chamber_record(1, 3, "A0 020.0 025.0", ms).get());
    stop_logging();
    for (const char *day : {"/lab-2024-03-14.csv", "/lab-2024-03-15.csv"}) {
        const std::string text = slurp(folder + day);
        EXPECT_EQ(text.rfind("time,port,", 0), 0u) << day << " begins with its header";
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << day << ": header, two rows";
        EXPECT_EQ(text.find("com1,"), text.find('\n') + 31) << day;
        (void)std::remove((folder + day).c_str());
    }

    // the next day's file cannot be made: logging stops, and the failure names that file
    const std::string day14 = folder + "/2024-03-14";
    char today[128]; // logging begins in today's file
    ASSERT_EQ(log_name_at((folder + "/%Y-%m-%d").c_str(), (long long)std::time(nullptr) * 1000,
                          today, sizeof today),
              0);
    ASSERT_EQ(mkdir(day14.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(today, 0700), 0);
    std::string failed;
    on_logging_failure(
        [](const char *path, int, void *context) { *static_cast<std::string *>(context) = path; },
        &failed);
    ASSERT_EQ(start_logging((folder + "/%Y-%m-%d/lab.csv").c_str()), 0);
    for (long long ms : {local_ms(14, 23, 59, 59), local_ms(15, 0, 0, 0)})
        publish_exchange(chamber_record(1, 3, "A0 020.0 025.0", ms).get());
    EXPECT_EQ(failed, folder + "/2024-03-15/lab.csv");
    EXPECT_EQ(logging_path(), nullptr);
    on_logging_failure(nullptr, nullptr);
    for (const std::string &day : {std::string(today), day14}) {
        (void)std::remove((day + "/lab.csv").c_str());
        rmdir(day.c_str());
    }
    rmdir(folder.c_str());
}

TEST(Chambers, AChamberIsAPortAnAddressAndItsCommands) {
    const struct {
        const char *text;
        int port, address;
        std::vector<std::string> commands; // empty: refused
    } cases[] = {
        {"com1:3", 1, 3, {"A0"}},
        {"COM20:32:A0,A1,T", 20, 32, {"A0", "A1", "T"}},
        {"com2:7:a0 030.0", 2, 7, {"a0 030.0"}},
        {"com1:33", 0, 0, {}},
        {"com21:1", 0, 0, {}},
        {"com1", 0, 0, {}},
        {"com1:3:", 0, 0, {}},
        {"com1:3:A0,,A1", 0, 0, {}},
        {"com1:x", 0, 0, {}},
        {"com1:3:A,A,A,A,A,A,A,A,A", 0, 0, {}},
    };
    for (const auto &c : cases) {
        LabChamber chamber;
        char error[128];
        const int result = lab_parse_chamber(c.text, &chamber, error, sizeof error);
        ASSERT_EQ(result, c.commands.empty() ? -1 : 0) << c.text;
        if (result != 0) {
            EXPECT_NE(std::string(error).find(c.text), std::string::npos) << error;
            continue;
        }
        EXPECT_EQ(chamber.port, c.port);
        EXPECT_EQ(chamber.address, c.address);
        EXPECT_EQ(chamber.intervalMs, LAB_DEFAULT_INTERVAL_MS);
        ASSERT_EQ(chamber.commands, (int)c.commands.size()) << c.text;
        for (int k = 0; k < chamber.commands; k++) EXPECT_EQ(chamber.command[k], c.commands[k]);
    }
}

} // namespace
