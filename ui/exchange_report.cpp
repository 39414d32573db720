// The command line's report of an exchange.
#include "ui/exchange_report.h"

#include "display/visible.h"
#include "record/words.h"

// Bytes that came further apart than this (ms) start a new RX line.
static const double burst_gap_ms = 1.0;

static void trace_bytes(const ExchangeRecord *record, FILE *out) {
    fprintf(out, "TX +0.000 ms");
    for (int i = 0; i < record->sentLength; i++)
        fprintf(out, " %02X", (unsigned char)record->sent[i]);
    fputc('\n', out);

    const ReceiveOutcome *r = &record->received;
    const int logged = receive_bytes_kept(r);
    for (int i = 0; i < logged; i++) {
        if (i == 0 || r->ms[i] - r->ms[i - 1] > burst_gap_ms)
            fprintf(out, "%sRX +%.3f ms", i > 0 ? "\n" : "", (double)r->ms[i]);
        fprintf(out, " %02X", r->bytes[i]);
    }
    // cppcheck-suppress knownConditionTrueFalse ; as in record/monitor_store.cpp
    if (r->count > logged) fprintf(out, " (+%d not kept)", r->count - logged);
    // cppcheck-suppress knownConditionTrueFalse
    if (logged > 0) fputc('\n', out);

    const Verdict verdict = verdict_of(r, record->address);
    fprintf(out, "outcome %s", receive_code_name(r->code));
    if (verdict.position >= 0)
        fprintf(out, " byte %d value 0x%02X", verdict.position, verdict.value);
    fprintf(out, " read %d flushed %d written %d", r->count, r->flushed, record->writeResult);
    if (record->answered && record->rttMs >= 0) fprintf(out, " rtt %.3f ms", record->rttMs);
    fputc('\n', out);
}

void report_exchange(const ExchangeRecord *record, int trace, FILE *out) {
    if (trace) trace_bytes(record, out);
    if (record->answered) return;
    char words[PORT_MESSAGE_SIZE + 128];
    const Verdict verdict = verdict_of(&record->received, record->address);
    outcome_words(&verdict, words, sizeof words);
    fprintf(out, "no valid answer: %s: ", receive_code_name(record->received.code));
    put_latin1_visible(words, out); // a port message may quote what came from outside
    fputc('\n', out);
}
