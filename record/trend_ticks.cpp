// Tick steps and the first tick of the trend's axes.
#include "record/trend_ticks.h"

#include <cmath>
#include <initializer_list>

namespace {

constexpr long long SECOND_MS = 1000, MINUTE_MS = 60 * SECOND_MS, HOUR_MS = 60 * MINUTE_MS,
                    DAY_MS = 24 * HOUR_MS;

// Steps that land on round clock times; hours divide the day, so ticks fall on the same times
// every day.
constexpr long long CLOCK_STEPS_MS[] = {
    SECOND_MS, 2 * SECOND_MS, 5 * SECOND_MS, 10 * SECOND_MS, 15 * SECOND_MS, 30 * SECOND_MS,
    MINUTE_MS, 2 * MINUTE_MS, 5 * MINUTE_MS, 10 * MINUTE_MS, 15 * MINUTE_MS, 30 * MINUTE_MS,
    HOUR_MS,   2 * HOUR_MS,   3 * HOUR_MS,   6 * HOUR_MS,    12 * HOUR_MS,   DAY_MS,
};

long long floor_divide(long long a, long long b) {
    const long long quotient = a / b;
    return quotient * b > a ? quotient - 1 : quotient;
}

// The ticks of a step in fromMs..toMs, the first one at or after fromMs in local time.
long long first_tick(long long fromMs, long long stepMs, long long offsetMs) {
    return -floor_divide(-(fromMs + offsetMs), stepMs) * stepMs - offsetMs;
}

long long tick_count(long long fromMs, long long toMs, long long stepMs, long long offsetMs) {
    const long long first = first_tick(fromMs, stepMs, offsetMs);
    return first > toMs ? 0 : (toMs - first) / stepMs + 1;
}

} // namespace

TimeTicks trend_time_ticks(long long fromMs, long long toMs, int utcOffsetS, int maxTicks) {
    const long long offsetMs = utcOffsetS * SECOND_MS;
    if (maxTicks < 2) maxTicks = 2;
    long long step = CLOCK_STEPS_MS[0];
    for (long long candidate : CLOCK_STEPS_MS) {
        step = candidate;
        if (tick_count(fromMs, toMs, step, offsetMs) <= maxTicks) break;
    }
    // beyond a day: whole days, as many as keep the count
    if (tick_count(fromMs, toMs, step, offsetMs) > maxTicks) {
        const long long days = (toMs - fromMs) / DAY_MS / (maxTicks - 1) + 1;
        step = days * DAY_MS;
        while (tick_count(fromMs, toMs, step, offsetMs) > maxTicks) step += DAY_MS;
    }
    return {step, first_tick(fromMs, step, offsetMs)};
}

ValueTicks trend_value_ticks(double low, double high, int maxTicks) {
    if (!std::isfinite(high - low) || low > high) return {1, 0, 1, 0};
    if (maxTicks < 3) maxTicks = 3; // two steps always suffice: one may not span a zero
    if (!(high > low)) {            // one value: a range of its own around it
        const double half = std::fmax(1.0, std::fabs(low) * 0.05);
        low -= half;
        high += half;
        if (!std::isfinite(high - low)) return {1, 0, 1, 0};
    }
    // the step grows by powers of ten until two steps span any finite range
    const int first = (int)std::floor(std::log10((high - low) / maxTicks));
    for (int exponent = first; exponent <= first + 3; exponent++) {
        for (double factor : {1.0, 2.0, 5.0}) {
            const double step = factor * std::pow(10.0, exponent);
            const double from = std::floor(low / step) * step, to = std::ceil(high / step) * step;
            if (!std::isfinite(to - from)) continue; // widened beyond the largest number
            if (std::lround((to - from) / step) <= maxTicks - 1)
                return {step, from, to, exponent < 0 ? -exponent : 0};
        }
    }
    // a range so near the largest number that widening it to round steps overflows: as it is
    return {high - low, low, high, 0};
}
