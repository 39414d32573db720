// Counts over many exchanges, with a histogram for the median.
#include "record/stats.h"

void stats_reset(ExchangeStats *stats) {
    *stats = ExchangeStats{};
}

void stats_add(ExchangeStats *stats, int outcome, double rttMs) {
    stats->exchanges++;
    if (outcome >= 0 && outcome < RECEIVE_OUTCOMES) stats->byOutcome[outcome]++;
    if (!(rttMs >= 0)) return;
    if (stats->timed == 0 || rttMs < stats->rttMin) stats->rttMin = rttMs;
    if (stats->timed == 0 || rttMs > stats->rttMax) stats->rttMax = rttMs;
    stats->timed++;
    const double bin = rttMs * 1000 / (double)RTT_BIN_US;
    stats->rttBins[bin < RTT_BINS - 1 ? (int)bin : RTT_BINS - 1]++;
}

// The middle one of the times in order (the lower middle of an even count), as the middle of
// its bin but never outside the times seen.
double stats_median_rtt(const ExchangeStats *stats) {
    if (stats->timed == 0) return -1;
    const long long middle = (stats->timed + 1) / 2;
    long long seen = 0;
    int bin = 0;
    for (; bin < RTT_BINS - 1; bin++) {
        seen += stats->rttBins[bin];
        if (seen >= middle) break;
    }
    const double median = (bin + 0.5) * (double)RTT_BIN_US / 1000;
    return median < stats->rttMin ? stats->rttMin : median > stats->rttMax ? stats->rttMax : median;
}
