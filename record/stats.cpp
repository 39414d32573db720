// Counts over many exchanges, with a histogram for the median.
#include "record/stats.h"

#include <cmath>
#include <cstdlib>

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

// The median is the middle one of the times in order (the lower middle of an even count).
double stats_median_rtt(const ExchangeStats *stats) {
    return stats_rtt_percentile(stats, 0.5);
}

// The time of rank ceil(fraction * timed) in order, as the middle of its bin but never outside
// the times seen.
double stats_rtt_percentile(const ExchangeStats *stats, double fraction) {
    if (stats->timed == 0) return -1;
    long long rank = (long long)std::ceil(fraction * (double)stats->timed);
    rank = rank < 1 ? 1 : rank > stats->timed ? stats->timed : rank;
    long long seen = 0;
    int bin = 0;
    for (; bin < RTT_BINS - 1; bin++) {
        seen += stats->rttBins[bin];
        if (seen >= rank) break;
    }
    const double time = (bin + 0.5) * (double)RTT_BIN_US / 1000;
    return time < stats->rttMin ? stats->rttMin : time > stats->rttMax ? stats->rttMax : time;
}

// calloc's pages of a large block are the system's zero pages until written: a chamber's round
// trips touch the few bins they fall into. (A single one would come zeroed by hand from the heap.)
ExchangeStats *stats_new_array(int count) {
    return static_cast<ExchangeStats *>(std::calloc((size_t)count, sizeof(ExchangeStats)));
}

void stats_free(ExchangeStats *stats) {
    std::free(stats);
}
