// What a step's condition finds in an exchange's record: the outcome, the answer's payload, a
// channel's actual and set value. Pure functions of the record. Texts in the panel's language,
// Latin-1. No Qt here.
#pragma once

#include "record/record.h"
#include "run/sequence.h"

enum {
    SEEN_SIZE = 640, // what a record showed, in words: a payload and an outcome's words
};

// The valid answer's payload (its bytes between the address and the checksum, bit 7 cleared),
// terminated. Returns its length, or -1 when the record holds no valid answer.
int record_payload(const ExchangeRecord *record, char *payload, int size);
// Whether the record satisfies the condition (never for CONDITION_SILENCE, which needs time).
// What the record showed for it goes into seen: the outcome, the payload, the values.
int condition_holds(const Condition *condition, const ExchangeRecord *record, char *seen, int size);
// Whether values satisfy a value condition (the channel is not checked).
int values_hold(const Condition *condition, const ChannelValues *values);
// "expected <condition>, received <seen>", for a verdict.
void mismatch_text(const Condition *condition, const char *seen, char *text, int size);
