// The trend's data: the actual and set values that the answers to "A" reads carry, per channel,
// in a fixed amount of memory however long the run. The newest points of each series are kept
// whole; over the whole run each series also keeps min/max buckets whose width doubles whenever
// they fill, so a week costs what an hour costs and no peak is lost. No Qt here.
#pragma once

#include "record/record.h"

enum {
    TREND_CHANNELS = 8,                // channels kept; answers of any further one add nothing
    TREND_SERIES = 2 * TREND_CHANNELS, // an actual and a set series per channel
    TREND_RECENT = 8192,               // newest points of a series kept whole: 4.5 h at 2 s
    TREND_BUCKETS = 2048,              // min/max buckets of a series over the whole run
    TREND_FIRST_BUCKET_MS = 1000,      // a bucket's width until they first fill
    TREND_CSV_LINE_SIZE = 128,         // one CSV line: time, channel and two numbers
    TREND_ACTUAL = 0,                  // the kinds of series: series = 2 * channel index + kind
    TREND_SET = 1,
};

// A chamber reports each value in a field of five characters: 99999 is the largest number it can
// hold, -9999 (a sign and four digits) the smallest. A number beyond them ("1e308", a field
// running on for 300 digits) or one that is not finite ("inf", "nan") is no reading of a chamber:
// it is refused, never drawn, so no such value can blow the value axis up.
constexpr double TREND_VALUE_MAX = 99999;
constexpr double TREND_VALUE_MIN = -9999;

struct TrendPoint {
    long long ms; // wall-clock time of the answer, ms since 1970 UTC
    double value;
};

struct TrendBucket {
    int count;           // points that fell into it; 0: none (min and max unset)
    TrendPoint min, max; // its lowest and highest point, each with its own time
};

struct TrendSeries {
    TrendPoint recent[TREND_RECENT]; // a ring: the newest points in time order
    int recentStart, recentCount;
    long long total;  // points ever added
    long long origin; // time where bucket 0 begins
    long long width;  // time each bucket covers
    int buckets;      // buckets in use
    TrendBucket bucket[TREND_BUCKETS];
};

struct TrendStore {
    char channel[TREND_CHANNELS]; // the channel characters in the order they first came
    int channels;
    long long newestMs; // the newest point's time; a point stamped earlier is moved up to it
    long long added;    // answers that added a point
    long long refused;  // answers with a value not drawn: of a channel beyond TREND_CHANNELS, or
                        // a number beyond TREND_VALUE_MIN .. TREND_VALUE_MAX or not finite
    TrendSeries series[TREND_SERIES];
};

// Empties the store; the arrays are left as they are, so memory is touched only as points come.
void trend_clear(TrendStore *store);
// Adds the values of one answer at time ms: each value that stands (values->hasActual,
// ->hasSet) within what a chamber reports becomes a point of its channel's series; an answer
// that brings a number that does not counts as refused. Returns 1 when it added one, else 0.
int trend_add(TrendStore *store, long long ms, const ChannelValues *values);
// Adds what a record's answer carries: only a valid response to a command whose letter is A,
// read by the A sentence's rules, and never a bus scan's probe; its time is the write's plus the
// answer's round trip.
int trend_add_record(TrendStore *store, const ExchangeRecord *record);
// The channel values of a valid answer to a command whose letter is A, read from the frame it
// accepted by the A sentence's rules. Returns 1, or 0 when the record has none.
int record_channel_values(const ExchangeRecord *record, ChannelValues *values);

// The series of channel index c (0 .. store->channels - 1) and kind.
inline int trend_series(int c, int kind) {
    return 2 * c + kind;
}
// The times of the oldest and newest point of all series; 0 when the store is empty.
int trend_extent(const TrendStore *store, long long *firstMs, long long *lastMs);
// The points of a series from fromMs to toMs, reduced for drawing in columns (>= 1) columns:
// the first, lowest, highest and last point of each column, in time order, so the line keeps
// its extremes and its ends. out holds 4 * columns.
// Returns the points written.
int trend_points(const TrendStore *store, int series, long long fromMs, long long toMs, int columns,
                 TrendPoint *out);

// Writes the points from fromMs to toMs as CSV, at the resolution the store holds them: the
// header "time,channel,actual,set", then one line per time and channel in time order (time local
// "YYYY-MM-DD hh:mm:ss.mmm"; a value the point lacks stays empty). Each line (without its line
// end) goes to write; returns the lines written, header included.
int trend_csv(const TrendStore *store, long long fromMs, long long toMs,
              void (*write)(const char *line, void *context), void *context);
