// A record of an exchange as the exchange cycle makes it, built by hand: a command and the
// answer the chamber gave, for the readers of records.
#pragma once

#include "link/link.h"
#include "record/record.h"

#include <cstring>
#include <memory>
#include <string>

// The record of command answered by the frame of payload (or rejected: answered 0), written at
// wallMs with the answer's ETX arriving rttMs later. A frame rejected for its checksum comes
// first, so the accepted one does not start at the first byte read.
inline std::unique_ptr<ExchangeRecord> answer_record(const std::string &command,
                                                     const std::string &payload, long long wallMs,
                                                     double rttMs = 12, int answered = 1) {
    auto record = std::make_unique<ExchangeRecord>();
    snprintf(record->command, sizeof record->command, "%s", command.c_str());
    record->wallMs = wallMs;
    record->answered = answered;
    record->rttMs = answered ? rttMs : -1;
    ReceiveOutcome &r = record->received;
    char frame[FRAME_BUFFER_SIZE];
    const int length = create_framing(payload.c_str(), frame, 1);
    memcpy(r.bytes, frame, (size_t)length);
    r.bytes[length - 2] ^= 0x01; // spoils the first copy's checksum
    memcpy(r.bytes + length, frame, (size_t)length);
    r.count = 2 * length;
    r.frameStart = length;
    r.decidingIndex = 2 * length - 1;
    r.code = answered ? RECEIVE_OK : RECEIVE_BAD_CHECKSUM;
    return record;
}
