// The operator's words for what exchanges did: why a receive ended and which byte decided, the
// status line after an exchange, and the statistics over many. One source for the status line,
// the lamp's tooltip, the line monitor and the command line. German or English by Fremdsprache,
// Latin-1, always terminated within the caller's size. The machine-read names of the outcomes
// are receive_code_name's. No Qt here.
#pragma once

#include "record/record.h"
#include "record/stats.h"

// What decided a receive, in the few numbers its words need.
struct Verdict {
    int code;                // RECEIVE_*
    int position;            // the deciding byte's place in its frame (STX is byte 0), -1 if none
    int value;               // that byte, or for RECEIVE_BAD_CHECKSUM what the XOR was left at
    int address;             // the chamber address the request went to
    int count;               // bytes read
    const char *portMessage; // RECEIVE_PORT_ERROR: the port's text; may be null
    int awaitedMs = 0;       // RECEIVE_NO_ANSWER: how long the first byte was awaited after the
                             // write; 0 for the link delay
};

// The verdict of a receive after a request to address (the outcome must outlive it).
Verdict verdict_of(const ReceiveOutcome *outcome, int address);
// The outcome in a word or two ("Pr\xfc" "fsumme falsch", "bad checksum"); "" for no code.
const char *outcome_label(int code);
// The outcome with the rule and the byte that decided ("bad checksum: byte 16 leaves 0x35").
// Returns the length written.
int outcome_words(const Verdict *verdict, char *text, int size);
// After an exchange: the outcome in words, the round-trip time and the bytes sent and received.
// Returns the length written.
int exchange_status_words(const ExchangeRecord *record, char *text, int size);
// Milliseconds with the given decimals, with the decimal comma in German ("12,345").
// Returns the length written.
int ms_words(double ms, int decimals, char *text, int size);
// The exchanges counted, each outcome seen, and the round-trip times' minimum, median and
// maximum. Returns the length written.
int stats_words(const ExchangeStats *stats, char *text, int size);
