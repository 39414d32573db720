// The trend of every chamber: one trend store (record/trend_store.h) per port and address, made
// when the chamber's first point comes. Two chambers answering for the same channel make two
// series. No Qt here.
#pragma once

#include "record/trend_store.h"

enum {
    CHAMBER_TRENDS_MAX = 640, // 20 ports of 32 addresses
};

struct ChamberTrend {
    int port, address;
    TrendStore *store;
};

struct ChamberTrends {
    int count; // chambers in the order their first point came
    ChamberTrend chamber[CHAMBER_TRENDS_MAX];
};

// Begins empty.
void chamber_trends_init(ChamberTrends *trends);
// Forgets every chamber and frees their stores.
void chamber_trends_clear(ChamberTrends *trends);
// The index of the chamber at port and address, or -1.
int chamber_trends_find(const ChamberTrends *trends, int port, int address);
// Adds what a record's answer carries to its chamber's store (trend_add_record). Returns the
// chamber's index when a point was added, else -1 (no A answer, a bus scan's probe, no room).
int chamber_trends_add_record(ChamberTrends *trends, const ExchangeRecord *record);
// The times of the oldest and newest point of every chamber; 0 when there is none.
int chamber_trends_extent(const ChamberTrends *trends, long long *firstMs, long long *lastMs);
