// One trend store per chamber.
#include "record/chamber_trends.h"

void chamber_trends_init(ChamberTrends *trends) {
    trends->count = 0;
}

void chamber_trends_clear(ChamberTrends *trends) {
    for (int i = 0; i < trends->count; i++) delete trends->chamber[i].store;
    trends->count = 0;
}

int chamber_trends_find(const ChamberTrends *trends, int port, int address) {
    for (int i = 0; i < trends->count; i++)
        if (trends->chamber[i].port == port && trends->chamber[i].address == address) return i;
    return -1;
}

int chamber_trends_add_record(ChamberTrends *trends, const ExchangeRecord *record) {
    if (record->trigger == BY_SCAN || !record->answered) return -1;
    int index = chamber_trends_find(trends, record->port, record->address);
    if (index < 0) {
        if (trends->count == CHAMBER_TRENDS_MAX) return -1;
        // left unzeroed: a store takes memory only as its points come
        auto *store = new TrendStore; // NOLINT(cppcoreguidelines-owning-memory): freed by clear
        trend_clear(store);
        index = trends->count++;
        trends->chamber[index] = {record->port, record->address, store};
    }
    return trend_add_record(trends->chamber[index].store, record) ? index : -1;
}

int chamber_trends_extent(const ChamberTrends *trends, long long *firstMs, long long *lastMs) {
    int found = 0;
    for (int i = 0; i < trends->count; i++) {
        long long first = 0, last = 0;
        if (!trend_extent(trends->chamber[i].store, &first, &last)) continue;
        if (!found || first < *firstMs) *firstMs = first;
        if (!found || last > *lastMs) *lastMs = last;
        found = 1;
    }
    return found;
}
