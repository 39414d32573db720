// The trend's axis ticks: round clock times for each span, round numbers for the values.
#include "record/trend_ticks.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr long long S = 1000, MIN = 60 * S, H = 60 * MIN, DAY = 24 * H;
constexpr long long D = 1709251200000; // 2024-03-01 00:00 UTC

TEST(TrendTicks, TimeStepAndFirstTickFollowTheSpanAndTheLocalClock) {
    const struct Row {
        const char *what;
        long long from, to;
        int offsetS, maxTicks;
        long long step, first;
    } rows[] = {
        {"10 min", D + 11 * H + 37 * MIN + 36 * S, D + 11 * H + 47 * MIN + 36 * S, 0, 8, 2 * MIN,
         D + 11 * H + 38 * MIN},
        {"1 h", D + 10 * H + 47 * MIN + 36 * S, D + 11 * H + 47 * MIN + 36 * S, 0, 8, 10 * MIN,
         D + 10 * H + 50 * MIN},
        {"8 h", D + 3 * H + 47 * MIN, D + 11 * H + 47 * MIN, 0, 8, H, D + 4 * H},
        {"8 h, clock 5:30 ahead: local full hours", D + 3 * H + 47 * MIN, D + 11 * H + 47 * MIN,
         19800, 8, H, D + 4 * H + 30 * MIN},
        {"24 h, clock 5 h behind: every 3 h from local 06:00", D + 10 * H + 20 * MIN,
         D + 34 * H + 20 * MIN, -18000, 8, 3 * H, D + 11 * H},
        {"a single point's minute", D + 11 * H + 47 * MIN + 6 * S, D + 11 * H + 48 * MIN + 6 * S, 0,
         8, 10 * S, D + 11 * H + 47 * MIN + 10 * S},
        {"a range starting on a tick keeps it, both ends count", D + 11 * H + 40 * MIN,
         D + 11 * H + 50 * MIN, 0, 6, 2 * MIN, D + 11 * H + 40 * MIN},
        {"a week: local midnights", D, D + 7 * DAY + 3 * H, 3600, 8, DAY, D + DAY - H},
        {"a month: whole days beyond the table", D, D + 30 * DAY, 0, 8, 5 * DAY, D + 2 * DAY},
        {"a narrow chart: fewer ticks, a longer step", D + 10 * H, D + 11 * H, 0, 3, 30 * MIN,
         D + 10 * H},
    };
    for (const Row &row : rows) {
        const TimeTicks ticks = trend_time_ticks(row.from, row.to, row.offsetS, row.maxTicks);
        EXPECT_EQ(ticks.stepMs, row.step) << row.what;
        EXPECT_EQ(ticks.firstMs, row.first) << row.what;
        EXPECT_LE((row.to - ticks.firstMs) / ticks.stepMs + 1, row.maxTicks) << row.what;
    }
}

TEST(TrendTicks, ValueStepsAreRoundAndTheRangeEndsOnThem) {
    const struct Row {
        const char *what;
        double low, high;
        int maxTicks;
        ValueTicks expected;
    } rows[] = {
        {"a ramp", 23.5, 25.0, 6, {0.5, 23.5, 25.0, 1}},
        {"one value", 20.0, 20.0, 6, {0.5, 19.0, 21.0, 1}},
        {"across zero", -12.3, 48.7, 8, {10, -20, 50, 0}},
        {"large", 0, 1000, 6, {200, 0, 1000, 0}},
        {"small", 0.012, 0.019, 6, {0.002, 0.012, 0.02, 3}},
        {"not a number", NAN, 3, 6, {1, 0, 1, 0}},
        {"beyond any range", -1e308, 1e308, 6, {1, 0, 1, 0}},
    };
    for (const Row &row : rows) {
        const ValueTicks ticks = trend_value_ticks(row.low, row.high, row.maxTicks);
        EXPECT_DOUBLE_EQ(ticks.step, row.expected.step) << row.what;
        EXPECT_NEAR(ticks.low, row.expected.low, 1e-9) << row.what;
        EXPECT_NEAR(ticks.high, row.expected.high, 1e-9) << row.what;
        EXPECT_EQ(ticks.decimals, row.expected.decimals) << row.what;
    }
}

} // namespace
