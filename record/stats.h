// Counts over many exchanges: how many, each outcome, and the round-trip times' minimum, median
// and maximum. Fixed size whatever the number of exchanges. No Qt here.
#pragma once

#include "link/outcome.h"

enum {
    RTT_BIN_US = 100, // the median is exact to a tenth of a millisecond
    RTT_BINS = 30000, // up to 3 s; a longer time counts in the last bin
};

struct ExchangeStats {
    long long exchanges;
    long long byOutcome[RECEIVE_OUTCOMES];
    long long timed; // exchanges with a round-trip time
    double rttMin, rttMax;
    unsigned int rttBins[RTT_BINS];
};

// Empties the counts.
void stats_reset(ExchangeStats *stats);
// Counts one exchange: its outcome code and its round-trip time in ms (negative: none).
void stats_add(ExchangeStats *stats, int outcome, double rttMs);
// The median round-trip time in ms, to RTT_BIN_US; -1 when no exchange had one.
double stats_median_rtt(const ExchangeStats *stats);
// The round-trip time that a fraction (0..1] of the timed exchanges do not exceed (0.95: the 95th
// percentile), to RTT_BIN_US; -1 when no exchange had one.
double stats_rtt_percentile(const ExchangeStats *stats, double fraction);
// count empty counts in one block on the heap, for keeping one per chamber: a block of many is
// large enough that the system maps it afresh, so each histogram takes memory only where its
// times fall. Free with stats_free. Null when memory is short.
ExchangeStats *stats_new_array(int count);
void stats_free(ExchangeStats *stats);
