// The trend's axis ticks: round clock times for each span, round numbers for the values.
#include "record/trend_ticks.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr long long S = 1000, MIN = 60 * S, H = 60 * MIN, DAY = 24 * H;

// 2024-03-01 plus hours, minutes and seconds, UTC.
constexpr long long at(long long h, long long m = 0, long long s = 0) {
    return 1709251200000 + h * H + m * MIN + s * S;
}

TEST(TrendTicks, TimeStepAndFirstTickFollowTheSpanAndTheLocalClock) {
    const struct Row {
        const char *what;
        long long from, to;
        int offsetS, maxTicks;
        long long step, first;
    } rows[] = {
        {"10 min", at(11, 37, 36), at(11, 47, 36), 0, 8, 2 * MIN, at(11, 38)},
        {"1 h", at(10, 47, 36), at(11, 47, 36), 0, 8, 10 * MIN, at(10, 50)},
        {"8 h, clock 5:30 ahead: local full hours", at(3, 47), at(11, 47), 19800, 8, H, at(4, 30)},
        {"24 h, clock 5 h behind: 3 h from local 06:00", at(10, 20), at(34, 20), -18000, 8, 3 * H,
         at(11)},
        {"a single point's minute", at(11, 47, 6), at(11, 48, 6), 0, 8, 10 * S, at(11, 47, 10)},
        {"starting on a tick, both ends count", at(11, 40), at(11, 50), 0, 6, 2 * MIN, at(11, 40)},
        {"a week: local midnights", at(0), at(7 * 24LL + 3), 3600, 8, DAY, at(23)},
        {"a month: whole days beyond the table", at(0), at(30 * 24LL), 0, 8, 5 * DAY, at(2 * 24LL)},
    };
    for (const Row &row : rows) {
        const TimeTicks ticks = trend_time_ticks(row.from, row.to, row.offsetS, row.maxTicks);
        EXPECT_EQ(ticks.stepMs, row.step) << row.what;
        EXPECT_EQ(ticks.firstMs, row.first) << row.what;
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
        {"small", 0.012, 0.019, 6, {0.002, 0.012, 0.02, 3}},
        {"not a number", NAN, 3, 6, {1, 0, 1, 0}},
        {"beyond any range", -1e308, 1e308, 6, {1, 0, 1, 0}},
        {"round steps would overflow", 0, 1.7e308, 3, {1.7e308, 0, 1.7e308, 0}},
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
