// What is known of each chamber from its exchanges: the last values of each channel it answered
// for, when it last answered validly, the outcome of its last exchange, misses in a row and the
// counts of every outcome with the round trips. The chambers view and the command line's
// polling summary read it. No Qt here.
#pragma once

#include "record/record.h"
#include "record/stats.h"

enum {
    STATUS_CHANNELS = 8,      // channels whose values are kept per chamber
    CHAMBER_STATUS_MAX = 640, // 20 ports of 32 addresses
};

// The state lamp of a chamber.
enum {
    CHAMBER_UNASKED = 0,   // no exchange yet
    CHAMBER_ANSWERING = 1, // its last exchange got a valid answer
    CHAMBER_SILENT = 2,    // nothing came (or the port failed)
    CHAMBER_REJECTED = 3,  // bytes came, but no valid answer
};

struct ChamberStatus {
    int port, address;
    int channels; // channels with values, in the order they first came
    ChannelValues values[STATUS_CHANNELS];
    long long lastMs;      // the last exchange's write, ms since 1970 UTC; 0: none
    long long lastValidMs; // when the last valid answer came; 0: none
    int lastCode;          // the last exchange's outcome, RECEIVE_*
    int lastAnswered;
    int missesInRow;      // exchanges in a row without a valid answer
    ExchangeStats *stats; // every exchange's outcome and round trip; null when memory was short
};

struct ChamberStatuses {
    int count; // in the order their first exchange came
    ChamberStatus chamber[CHAMBER_STATUS_MAX];
    ExchangeStats *stats; // the chambers' counts, CHAMBER_STATUS_MAX of them; null until needed
};

// Begins empty.
void chamber_statuses_init(ChamberStatuses *statuses);
// Forgets every chamber.
void chamber_statuses_clear(ChamberStatuses *statuses);
// The index of the chamber at port and address, or -1.
int chamber_statuses_find(const ChamberStatuses *statuses, int port, int address);
// Takes the record into its chamber's status; a bus scan's probe only asks who is there and
// counts for nobody. Returns the chamber's index, or -1 (a probe, no room).
int chamber_statuses_take(ChamberStatuses *statuses, const ExchangeRecord *record);
// The chamber's lamp: CHAMBER_UNASKED, _ANSWERING, _SILENT or _REJECTED.
int chamber_state(const ChamberStatus *status);
// The values of the channel, or null when the chamber has not answered for it.
const ChannelValues *chamber_channel(const ChamberStatus *status, char channel);
