// Round ticks for the trend's axes: clock times a person reads at a glance on the time axis,
// round numbers on the value axis. No Qt here.
#pragma once

struct TimeTicks {
    long long stepMs;  // time from one tick to the next
    long long firstMs; // the first tick at or after the range's start, ms since 1970 UTC
};

struct ValueTicks {
    double step; // 1, 2 or 5 times a power of ten
    double low;  // the axis's range: the values' range widened to whole steps
    double high;
    int decimals; // digits after the point that the step needs
};

// The ticks of the time range fromMs..toMs (fromMs < toMs) in a clock utcOffsetS seconds ahead
// of UTC: the smallest step of 1, 2, 5, 10, 15 or 30 seconds or minutes, 1, 2, 3, 6 or 12 hours,
// or whole days that puts at most maxTicks (>= 2) ticks in the range, and the first tick on a
// multiple of it in local time (a day's at local midnight).
TimeTicks trend_time_ticks(long long fromMs, long long toMs, int utcOffsetS, int maxTicks);

// The ticks of values from low to high: the smallest step of 1, 2 or 5 times a power of ten that
// spans them in at most maxTicks - 1 (>= 2) steps, the range widened to multiples of it. A
// single value stands in the middle of a range of its own; a range that is not finite, or low
// above high, gives 0..1; one that round steps would widen beyond the largest number stays as it
// is, in one step. The range given back is always finite.
ValueTicks trend_value_ticks(double low, double high, int maxTicks);
