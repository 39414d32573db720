// What the command line tells about an exchange on standard error: the reason when no valid
// answer came, and with --trace every byte both ways with its time. No Qt here.
#pragma once

#include "record/record.h"

#include <cstdio>

// With trace: "TX +0.000 ms 02 81 C1 B0 F0 03", one "RX +12.345 ms 02 81 ..." line per burst of
// bytes that came together (ms after the end of the write) and "outcome <code> ..." (the same in
// every language). Without a valid answer: "no valid answer: <code>: <words>", the words in the
// panel's language. UTF-8 lines.
void report_exchange(const ExchangeRecord *record, int trace, FILE *out);
