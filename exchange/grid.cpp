// The grid of repeated exchanges.
#include "exchange/grid.h"

long long next_grid_point(long long start, long long period, long long after) {
    const long long elapsed = after - start;
    // floor division, so that a time before the start still finds the first point after it
    const long long steps = elapsed >= 0 ? elapsed / period : -((-elapsed + period - 1) / period);
    return start + (steps + 1) * period;
}
