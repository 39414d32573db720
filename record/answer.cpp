// The valid answer that a record holds among the bytes read.
#include "record/record.h"

#include <cstring>

int answer_frame(const ExchangeRecord *record, char *frame) {
    const ReceiveOutcome &r = record->received;
    if (!record->answered || r.code != RECEIVE_OK) return 0;
    // from its STX to the ETX that completed it
    const int length = r.decidingIndex - r.frameStart + 1;
    if (r.frameStart < 0 || r.decidingIndex >= RECEIVE_LOG_SIZE || length < 1 ||
        length >= FRAME_BUFFER_SIZE)
        return 0;
    std::memcpy(frame, r.bytes + r.frameStart, size_t(length));
    frame[length] = '\0';
    return length;
}
