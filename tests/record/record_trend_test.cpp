// The trend store: what the records add, its bounds over a week, and the CSV of its points.
#include "record/trend_store.h"
#include "tests/support/answer_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

std::unique_ptr<TrendStore> emptyStore() {
    auto store = std::make_unique<TrendStore>();
    trend_clear(store.get());
    return store;
}

// Every point of a series of a few seconds: one column per millisecond.
std::vector<TrendPoint> allPoints(const TrendStore *store, int series) {
    long long first = 0, last = 0;
    if (!trend_extent(store, &first, &last)) return {};
    const int columns = (int)(last - first + 1);
    std::vector<TrendPoint> points(4 * (size_t)columns);
    points.resize(trend_points(store, series, first, last, columns, points.data()));
    return points;
}

// A value field holds five characters: 99999 and -9999 are the most a chamber reports. A number
// beyond them, or not finite, is refused; the answer's other value is still drawn.
TEST(TrendRecords, OnlyValidAnswersToAReadsAddTheirValues) {
    const long long at = 1700000000000;
    const struct Row {
        std::string command, answer;
        int answered;
        int added;
        std::vector<double> actual, set; // the series after the record
        int refused = 0;
    } rows[] = {
        {"A0", "A0 023.5 025.0", 1, 1, {23.5}, {25.0}},
        {"A0", "A0 023.6 025.0", 0, 0, {}, {}}, // rejected
        {"U0", "A0 023.7 025.0", 1, 0, {}, {}}, // not the answer to an A read
        {"A0", "U0 003.5 -10.0", 1, 0, {}, {}}, // not an A answer
        {"A0", "A0", 1, 0, {}, {}},             // no value stands: no false zeros
        {"A0", "A0 023.8", 1, 1, {23.8}, {}},   // the set value's field is missing
        {"A0", "A0 ----- 030.0", 1, 1, {}, {30.0}},
        {"A0", "A0 1e308 -1e308", 1, 0, {}, {}, 1},
        {"A0", "A0 023.5 " + std::string(300, '7'), 1, 1, {23.5}, {}, 1},
        {"A0", "A0   inf nan", 1, 0, {}, {}, 1},
        {"A0", "A0 000.0 -10000", 1, 1, {0}, {}, 1},
        {"A0", "A0 99999 -9999", 1, 1, {99999}, {-9999}},
        {"A0", "A0 -9999 99999", 1, 1, {-9999}, {99999}},
    };
    for (const Row &row : rows) {
        auto store = emptyStore();
        auto record = answer_record(row.command, row.answer, at, 12.4, row.answered);
        EXPECT_EQ(trend_add_record(store.get(), record.get()), row.added) << row.answer;
        EXPECT_EQ(store->refused, row.refused) << row.answer;
        for (int kind : {TREND_ACTUAL, TREND_SET}) {
            const std::vector<double> &expected = kind == TREND_ACTUAL ? row.actual : row.set;
            std::vector<TrendPoint> points;
            if (store->channels > 0) points = allPoints(store.get(), trend_series(0, kind));
            ASSERT_EQ(points.size(), expected.size()) << row.answer << " kind " << kind;
            for (size_t i = 0; i < points.size(); i++) {
                EXPECT_EQ(points[i].value, expected[i]) << row.answer;
                EXPECT_EQ(points[i].ms, at + 12) << "the time of the answer, not of the write";
            }
        }
    }
}

TEST(TrendStore, KeepsOrderWhenTheClockGoesBackAndRefusesANinthChannel) {
    auto store = emptyStore();
    ChannelValues v = {'0', 1, 1, 20, 25};
    trend_add(store.get(), 5000, &v);
    v.actual = 21;
    trend_add(store.get(), 3000, &v); // the clock was set back
    const std::vector<TrendPoint> points = allPoints(store.get(), trend_series(0, TREND_ACTUAL));
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[1].ms, 5000);
    EXPECT_EQ(points[1].value, 21);

    for (char c = '1'; c <= '8'; c++) {
        v.channel = c;
        EXPECT_EQ(trend_add(store.get(), 6000, &v), c < '8') << c;
    }
    EXPECT_EQ(store->channels, TREND_CHANNELS);
    EXPECT_EQ(store->refused, 1);
}

// A week of cyclic sending, one answer every 2 s: a slow wave with one spike up and one down
// long before the newest points.
TEST(TrendStore, AWeekStaysBoundedAndKeepsItsExtremes) {
    static_assert(sizeof(TrendStore) < 20u << 20);
    auto store = emptyStore();
    const long long start = 1700000000000, step = 2000, answers = 302400;
    const long long upAt = 1000, downAt = 150001;
    for (long long i = 0; i < answers; i++) {
        ChannelValues v = {'0', 1, 1, 20 + 5 * std::sin((double)i / 5000), 25};
        if (i == upAt) v.actual = 99.5;
        if (i == downAt) v.actual = -40.5;
        trend_add(store.get(), start + i * step, &v);
    }
    const TrendSeries &s = store->series[trend_series(0, TREND_ACTUAL)];
    EXPECT_EQ(s.total, answers);
    EXPECT_EQ(s.recentCount, TREND_RECENT);
    EXPECT_LE(s.buckets, TREND_BUCKETS);
    long long first = 0, last = 0;
    ASSERT_EQ(trend_extent(store.get(), &first, &last), 1);
    EXPECT_EQ(first, start);
    EXPECT_EQ(last, start + (answers - 1) * step);

    std::vector<TrendPoint> out(3200);
    const int drawn = trend_points(store.get(), 0, first, last, 800, out.data());
    EXPECT_LE(drawn, 4 * 800);
    EXPECT_EQ(out[drawn - 1].ms, last) << "the line reaches the newest point";
    int spikes = 0;
    for (int i = 0; i < drawn; i++) {
        ASSERT_TRUE(i == 0 || out[i - 1].ms <= out[i].ms) << "in time order";
        const long long at = out[i].value == 99.5 ? upAt : out[i].value == -40.5 ? downAt : -1;
        if (at >= 0) {
            EXPECT_EQ(out[i].ms, start + at * step) << "at its own time";
            spikes++;
        }
        EXPECT_TRUE(at >= 0 || std::fabs(out[i].value - 20) <= 5) << out[i].value;
    }
    EXPECT_EQ(spikes, 2) << "both spikes survive the week's decimation";

    // the last ten minutes are there whole
    const int recent = trend_points(store.get(), 0, last - 600000 + 1, last, 800, out.data());
    ASSERT_EQ(recent, 300);
    EXPECT_EQ(out[0].ms, last - 299 * step);
}

void collect(const char *line, void *lines) {
    static_cast<std::vector<std::string> *>(lines)->push_back(line);
}

TEST(TrendStore, CsvJoinsTheValuesOfEachAnswerInTimeOrder) {
    setenv("TZ", "UTC", 1);
    tzset();
    auto store = emptyStore();
    const long long at = 1700000000000; // 2023-11-14 22:13:20 UTC
    ChannelValues zero = {'0', 1, 1, 23.5, 25}, one = {'1', 1, 0, 55.25, 0};
    ChannelValues comma = {',', 0, 1, 0, -3};
    trend_add(store.get(), at, &zero);
    trend_add(store.get(), at + 500, &one);
    trend_add(store.get(), at + 500, &comma);
    trend_add(store.get(), at + 2001, &zero);
    std::vector<std::string> lines;
    EXPECT_EQ(trend_csv(store.get(), at + 1, at + 2001, collect, &lines), 4);
    const std::vector<std::string> expected = {
        "time,channel,actual,set",
        "2023-11-14 22:13:20.500,1,55.25,",
        "2023-11-14 22:13:20.500,\",\",,-3",
        "2023-11-14 22:13:22.001,0,23.5,25",
    };
    EXPECT_EQ(lines, expected);
}

} // namespace
