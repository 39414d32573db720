// The status of each chamber, from its records.
#include "record/chamber_status.h"

#include "record/trend_store.h"

void chamber_statuses_init(ChamberStatuses *statuses) {
    statuses->count = 0;
    statuses->stats = nullptr;
}

void chamber_statuses_clear(ChamberStatuses *statuses) {
    stats_free(statuses->stats);
    statuses->stats = nullptr;
    statuses->count = 0;
}

int chamber_statuses_find(const ChamberStatuses *statuses, int port, int address) {
    for (int i = 0; i < statuses->count; i++)
        if (statuses->chamber[i].port == port && statuses->chamber[i].address == address) return i;
    return -1;
}

namespace {

// The values an A answer carries, by channel.
void take_values(ChamberStatus *status, const ExchangeRecord *record) {
    ChannelValues values;
    if (!record_channel_values(record, &values)) return;
    for (int c = 0; c < status->channels; c++) {
        if (status->values[c].channel != values.channel) continue;
        status->values[c] = values;
        return;
    }
    if (status->channels < STATUS_CHANNELS) status->values[status->channels++] = values;
}

} // namespace

int chamber_statuses_take(ChamberStatuses *statuses, const ExchangeRecord *record) {
    if (record->trigger == BY_SCAN) return -1;
    int index = chamber_statuses_find(statuses, record->port, record->address);
    if (index < 0) {
        if (statuses->count == CHAMBER_STATUS_MAX) return -1;
        index = statuses->count++;
        ChamberStatus &fresh = statuses->chamber[index];
        fresh = ChamberStatus{};
        fresh.port = record->port;
        fresh.address = record->address;
        if (!statuses->stats) statuses->stats = stats_new_array(CHAMBER_STATUS_MAX);
        fresh.stats = statuses->stats ? &statuses->stats[index] : nullptr;
    }
    ChamberStatus &s = statuses->chamber[index];
    s.lastMs = record->wallMs;
    s.lastCode = record->received.code;
    s.lastAnswered = record->answered;
    s.missesInRow = record->answered ? 0 : s.missesInRow + 1;
    if (record->answered)
        s.lastValidMs = record->wallMs + (record->rttMs > 0 ? (long long)record->rttMs : 0);
    take_values(&s, record);
    if (s.stats) stats_add(s.stats, record->received.code, record->answered ? record->rttMs : -1);
    return index;
}

int chamber_state(const ChamberStatus *status) {
    if (status->lastMs == 0) return CHAMBER_UNASKED;
    if (status->lastAnswered) return CHAMBER_ANSWERING;
    if (status->lastCode == RECEIVE_NO_ANSWER || status->lastCode == RECEIVE_PORT_ERROR)
        return CHAMBER_SILENT;
    return CHAMBER_REJECTED;
}

const ChannelValues *chamber_channel(const ChamberStatus *status, char channel) {
    for (int c = 0; c < status->channels; c++)
        if (status->values[c].channel == channel) return &status->values[c];
    return nullptr;
}
