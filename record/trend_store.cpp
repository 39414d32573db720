// The trend store: per series a ring of the newest points and min/max buckets over the run.
#include "record/trend_store.h"

#include "record/calendar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

int channel_index(TrendStore *store, char channel) {
    for (int c = 0; c < store->channels; c++)
        if (store->channel[c] == channel) return c;
    if (store->channels == TREND_CHANNELS) return -1;
    store->channel[store->channels] = channel;
    store->series[trend_series(store->channels, TREND_ACTUAL)].total = 0;
    store->series[trend_series(store->channels, TREND_SET)].total = 0;
    return store->channels++;
}

// A number stood in the value's field (a non-finite one is read, but has no hasActual / hasSet)
// that no chamber reports: not finite, or beyond the bounds.
bool beyond_reach(int has, double value) {
    return (has || !std::isfinite(value)) &&
           !(value >= TREND_VALUE_MIN && value <= TREND_VALUE_MAX);
}

// Takes point into bucket's count, lowest and highest point (the first of equal ones).
void bucket_take(TrendBucket *bucket, const TrendBucket &other) {
    if (other.count == 0) return;
    if (bucket->count == 0 || other.min.value < bucket->min.value) bucket->min = other.min;
    if (bucket->count == 0 || other.max.value > bucket->max.value) bucket->max = other.max;
    bucket->count += other.count;
}

// Pairs of buckets become one of twice the width: the run so far fits in half of them.
void halve_buckets(TrendSeries *s) {
    const int halved = (s->buckets + 1) / 2;
    for (int i = 0, pair = 0; i < halved; i++, pair += 2) {
        TrendBucket merged = s->bucket[pair];
        if (pair + 1 < s->buckets) bucket_take(&merged, s->bucket[pair + 1]);
        s->bucket[i] = merged;
    }
    s->buckets = halved;
    s->width *= 2;
}

void series_add(TrendSeries *s, TrendPoint point) {
    if (s->recentCount < TREND_RECENT) {
        s->recent[(s->recentStart + s->recentCount++) % TREND_RECENT] = point;
    } else {
        s->recent[s->recentStart] = point;
        s->recentStart = (s->recentStart + 1) % TREND_RECENT;
    }
    if (s->total++ == 0) {
        s->origin = point.ms;
        s->width = TREND_FIRST_BUCKET_MS;
        s->buckets = 0;
    }
    long long index = (point.ms - s->origin) / s->width;
    for (; index >= TREND_BUCKETS; index = (point.ms - s->origin) / s->width) halve_buckets(s);
    for (; s->buckets <= index; s->buckets++) s->bucket[s->buckets].count = 0;
    bucket_take(&s->bucket[index], TrendBucket{1, point, point});
}

const TrendPoint &recent_at(const TrendSeries *s, int i) {
    return s->recent[(s->recentStart + i) % TREND_RECENT];
}

// Walks a series' points from `from` to `to` in time order: the buckets' lowest and highest
// points for the time before the oldest point kept whole, then the points kept whole.
class Cursor {
public:
    Cursor() = default; // walks nothing
    Cursor(const TrendSeries *s, long long from, long long to) : m_from(from), m_to(to) {
        if (s->total == 0 || to < from) return;
        m_s = s;
        m_wholeFrom = s->recentCount > 0 ? recent_at(s, 0).ms : 0;
        // Buckets only where points have left the ring; they may begin with the one holding from.
        if (s->total == s->recentCount)
            m_bucket = s->buckets;
        else if (from > s->origin)
            m_bucket = (int)std::min<long long>((from - s->origin) / s->width, s->buckets);
        int low = 0, high = s->recentCount; // the first point kept whole at or after from
        while (low < high) {
            const int middle = (low + high) / 2;
            if (recent_at(s, middle).ms < from)
                low = middle + 1;
            else
                high = middle;
        }
        m_recent = low;
    }

    bool next(TrendPoint *point) {
        if (!m_s) return false;
        while (m_bucket < m_s->buckets) {
            const TrendBucket &b = m_s->bucket[m_bucket];
            const bool minFirst = b.min.ms <= b.max.ms;
            const bool single = b.min.ms == b.max.ms && b.min.value == b.max.value;
            const TrendPoint &p = (m_half == 0) == minFirst ? b.min : b.max;
            const bool empty = b.count == 0;
            if (m_half == 1 || single || empty) {
                m_half = 0;
                m_bucket++;
            } else {
                m_half = 1;
            }
            if (empty || p.ms < m_from) continue;
            if (p.ms > m_to || p.ms >= m_wholeFrom) {
                m_bucket = m_s->buckets; // the rest is later still, or kept whole
                break;
            }
            *point = p;
            return true;
        }
        if (m_recent >= m_s->recentCount) return false;
        *point = recent_at(m_s, m_recent++);
        if (point->ms <= m_to) return true;
        m_recent = m_s->recentCount;
        return false;
    }

private:
    const TrendSeries *m_s = nullptr;
    long long m_from = 0, m_to = 0, m_wholeFrom = 0;
    int m_bucket = 0, m_half = 0, m_recent = 0;
};

} // namespace

void trend_clear(TrendStore *store) {
    store->channels = 0;
    store->newestMs = 0;
    store->added = store->refused = 0;
    for (TrendSeries &s : store->series) {
        s.recentStart = s.recentCount = 0;
        s.total = 0;
        s.buckets = 0;
    }
}

int trend_add(TrendStore *store, long long ms, const ChannelValues *values) {
    const bool badActual = beyond_reach(values->hasActual, values->actual);
    const bool badSet = beyond_reach(values->hasSet, values->set);
    const bool actual = values->hasActual && !badActual, set = values->hasSet && !badSet;
    const int c = actual || set ? channel_index(store, values->channel) : -1;
    const bool noRoom = (actual || set) && c < 0; // a channel beyond TREND_CHANNELS
    if (badActual || badSet || noRoom) store->refused++;
    if (c < 0) return 0;
    // The order of the answers is certain, the wall clock is not: should it be set back, the
    // points keep their order at the newest time until it has caught up.
    if (store->added > 0 && ms < store->newestMs) ms = store->newestMs;
    store->newestMs = ms;
    if (actual) series_add(&store->series[trend_series(c, TREND_ACTUAL)], {ms, values->actual});
    if (set) series_add(&store->series[trend_series(c, TREND_SET)], {ms, values->set});
    store->added++;
    return 1;
}

int record_channel_values(const ExchangeRecord *record, ChannelValues *values) {
    char frame[FRAME_BUFFER_SIZE];
    if (record->command[0] != 'A' || answer_frame(record, frame) == 0) return 0;
    return read_channel_values(frame, values);
}

int trend_add_record(TrendStore *store, const ExchangeRecord *record) {
    ChannelValues values;
    // a bus scan's probe asks who is there; its answer is no point of anyone's trend
    if (record->trigger == BY_SCAN || !record_channel_values(record, &values)) return 0;
    const long long arrival = record->rttMs >= 0 ? std::llround(record->rttMs) : 0;
    return trend_add(store, record->wallMs + arrival, &values);
}

int trend_extent(const TrendStore *store, long long *firstMs, long long *lastMs) {
    if (store->added == 0) return 0;
    *firstMs = *lastMs = store->newestMs;
    for (int c = 0; c < store->channels; c++) {
        for (int kind : {TREND_ACTUAL, TREND_SET}) {
            const TrendSeries &s = store->series[trend_series(c, kind)];
            if (s.total > 0 && s.origin < *firstMs) *firstMs = s.origin;
        }
    }
    return 1;
}

namespace {

// The points of one column that drawing needs: its first, lowest, highest and last, each with
// its place in the column.
struct Column {
    int count;
    int place[4];
    TrendPoint point[4];

    void start(const TrendPoint &p) {
        count = 1;
        for (int i = 0; i < 4; i++) {
            place[i] = 0;
            point[i] = p;
        }
    }
    void take(const TrendPoint &p) {
        if (p.value < point[1].value) keep(1, p);
        if (p.value > point[2].value) keep(2, p);
        keep(3, p);
        count++;
    }
    void keep(int i, const TrendPoint &p) {
        place[i] = count;
        point[i] = p;
    }
    // Writes the distinct ones in their order; returns how many.
    int write(TrendPoint *out) const {
        int written = 0, done = -1;
        for (;;) {
            int next = -1;
            for (int i = 0; i < 4; i++)
                if (place[i] > done && (next < 0 || place[i] < place[next])) next = i;
            if (next < 0) return written;
            out[written++] = point[next];
            done = place[next];
        }
    }
};

} // namespace

int trend_points(const TrendStore *store, int series, long long fromMs, long long toMs, int columns,
                 TrendPoint *out) {
    if (series < 0 || series >= 2 * store->channels || columns < 1) return 0;
    Cursor cursor(&store->series[series], fromMs, toMs);
    const double perMs = (double)columns / ((double)(toMs - fromMs) + 1);
    int written = 0, at = -1;
    Column column = {};
    TrendPoint point;
    while (cursor.next(&point)) {
        const int of = std::min(columns - 1, (int)((double)(point.ms - fromMs) * perMs));
        if (of == at) {
            column.take(point);
            continue;
        }
        if (at >= 0) written += column.write(out + written);
        at = of;
        column.start(point);
    }
    if (at >= 0) written += column.write(out + written);
    return written;
}

namespace {

// The channel as a CSV field: as it stands, quoted where it would break the line's fields.
void channel_field(char channel, char field[5]) {
    const unsigned char c = (unsigned char)channel;
    if (c > ' ' && c < 0x7F && c != ',' && c != '"')
        snprintf(field, 5, "%c", channel);
    else if (c == '"')
        snprintf(field, 5, "\"\"\"\"");
    else
        snprintf(field, 5, "\"%c\"", channel);
}

void value_field(const TrendPoint *point, char field[32]) {
    if (point)
        snprintf(field, 32, "%.15g", point->value);
    else
        field[0] = '\0';
}

} // namespace

// Merges the series of all channels by time; the actual and the set value of one answer share
// its time and so its line.
int trend_csv(const TrendStore *store, long long fromMs, long long toMs,
              void (*write)(const char *line, void *context), void *context) {
    const int series = 2 * store->channels;
    Cursor cursor[TREND_SERIES];
    TrendPoint head[TREND_SERIES];
    bool valid[TREND_SERIES] = {};
    for (int i = 0; i < series; i++) {
        cursor[i] = Cursor(&store->series[i], fromMs, toMs);
        valid[i] = cursor[i].next(&head[i]);
    }
    write("time,channel,actual,set", context);
    int lines = 1;
    for (;;) {
        int first = -1; // of equal times, the channel that came first
        for (int i = 0; i < series; i++)
            if (valid[i] && (first < 0 || head[i].ms < head[first].ms)) first = i;
        if (first < 0) return lines;
        const int c = first / 2;
        const long long ms = head[first].ms;
        const TrendPoint *value[2] = {};
        for (int kind : {TREND_ACTUAL, TREND_SET}) {
            const int i = trend_series(c, kind);
            if (valid[i] && head[i].ms == ms) value[kind] = &head[i];
        }
        char time[40], channel[5], actual[32], set[32], line[TREND_CSV_LINE_SIZE];
        wall_clock_text(ms, WALL_CLOCK_DATE_TIME, time, sizeof time);
        channel_field(store->channel[c], channel);
        value_field(value[TREND_ACTUAL], actual);
        value_field(value[TREND_SET], set);
        snprintf(line, sizeof line, "%s,%s,%s,%s", time, channel, actual, set);
        write(line, context);
        lines++;
        for (int kind : {TREND_ACTUAL, TREND_SET}) {
            const int i = trend_series(c, kind);
            if (value[kind]) valid[i] = cursor[i].next(&head[i]);
        }
    }
}
