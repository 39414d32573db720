// The outcome of a receive, an exchange and many exchanges in the operator's words.
#include "record/words.h"

#include "display/format.h"
#include "record/bounded_text.h"

namespace {

bool english(void) {
    return Fremdsprache != 0;
}

// Milliseconds to a tenth.
void add_ms(BoundedText *text, double ms) {
    if (text->size > text->length)
        text->length += ms_words(ms, 1, text->at + text->length, text->size - text->length);
}

const char *const labels[2][RECEIVE_OUTCOMES] = {
    {"G\xfc"
     "ltig",
     "Keine Antwort", "Falscher Anfang", "Falsche Adresse", "Bit 7 fehlt",
     "Pr\xfc"
     "fsumme falsch",
     "Zu lang",
     "Unvollst\xe4"
     "ndig",
     "Zu langsam", "Schnittstellenfehler"},
    {"valid", "no answer", "bad start", "wrong address", "no high bit", "bad checksum", "too long",
     "incomplete", "too slow", "port error"},
};

void add_wrong_address(BoundedText *text, const Verdict *v) {
    const int expected = (v->address | 0x80) & 0xFF;
    const int chamber = v->address & 0xFF;
    if (v->value & 0x80)
        text_add(text,
                 english() ? ": byte 1 is 0x%02X (chamber %d), not 0x%02X (chamber %d)"
                           : ": Byte 1 ist 0x%02X (Kammer %d) statt 0x%02X (Kammer %d)",
                 v->value, v->value & 0x7F, expected, chamber);
    else
        text_add(text,
                 english() ? ": byte 1 is 0x%02X, not 0x%02X (chamber %d)"
                           : ": Byte 1 ist 0x%02X statt 0x%02X (Kammer %d)",
                 v->value, expected, chamber);
}

} // namespace

Verdict verdict_of(const ReceiveOutcome *outcome, int address) {
    int position = -1;
    if (outcome->code == RECEIVE_BAD_START)
        position = 0; // where a frame must begin
    else if (outcome->decidingIndex >= 0 && outcome->frameStart >= 0)
        position = outcome->decidingIndex - outcome->frameStart;
    return {outcome->code,     position,       outcome->decidingValue,
            address & 0xFF,    outcome->count, outcome->portMessage,
            outcome->awaitedMs};
}

int ms_words(double ms, int decimals, char *buffer, int size) {
    BoundedText text = bounded_text(buffer, size);
    text_add(&text, "%.*f", decimals, ms);
    if (!english())
        for (int i = 0; i < text.length; i++)
            if (text.at[i] == '.') text.at[i] = ',';
    return text.length;
}

const char *outcome_label(int code) {
    return code >= 0 && code < RECEIVE_OUTCOMES ? labels[english() ? 1 : 0][code] : "";
}

int outcome_words(const Verdict *v, char *buffer, int size) {
    BoundedText text = bounded_text(buffer, size);
    const bool en = english();
    switch (v->code) {
    case RECEIVE_OK:
        text_add(&text, en ? "valid answer"
                           : "G\xfc"
                             "ltige Antwort");
        return text.length;
    case RECEIVE_NO_ANSWER:
        text_add(&text, en ? "no answer within %d ms" : "Keine Antwort innerhalb von %d ms",
                 v->awaitedMs > 0 ? v->awaitedMs : int(LINK_DELAY_MS));
        return text.length;
    default: break;
    }
    text_add(&text, "%s", outcome_label(v->code));
    switch (v->code) {
    case RECEIVE_BAD_START:
        text_add(&text,
                 en ? ": byte 0 is 0x%02X, not STX (0x02)" : ": Byte 0 ist 0x%02X statt STX (0x02)",
                 v->value);
        break;
    case RECEIVE_WRONG_ADDRESS: add_wrong_address(&text, v); break;
    case RECEIVE_NO_HIGH_BIT:
        text_add(&text, en ? ": byte %d is 0x%02X (not ETX)" : ": Byte %d ist 0x%02X (kein ETX)",
                 v->position, v->value);
        break;
    case RECEIVE_BAD_CHECKSUM:
        text_add(&text, en ? ": byte %d leaves 0x%02X" : ": Byte %d ergibt 0x%02X", v->position,
                 v->value);
        break;
    case RECEIVE_TOO_LONG:
        text_add(&text,
                 en ? ": byte %d does not fit the response buffer"
                    : ": Byte %d passt nicht mehr in den Antwortpuffer",
                 v->position);
        break;
    case RECEIVE_INCOMPLETE:
        text_add(&text, en ? ": silence after %d bytes" : ": Stille nach %d Bytes", v->count);
        break;
    case RECEIVE_TOO_SLOW:
        text_add(&text,
                 en ? ": the frame was not complete within the time limit (%d bytes)"
                    : ": Rahmen in der Frist nicht vollst\xe4"
                      "ndig (%d Bytes)",
                 v->count);
        break;
    case RECEIVE_PORT_ERROR:
        if (v->portMessage && v->portMessage[0]) text_add(&text, ": %s", v->portMessage);
        break;
    default: break;
    }
    return text.length;
}

int exchange_status_words(const ExchangeRecord *record, char *buffer, int size) {
    BoundedText text = bounded_text(buffer, size);
    const bool en = english();
    const Verdict verdict = verdict_of(&record->received, record->address);
    text.length = outcome_words(&verdict, buffer, size);

    const ReceiveOutcome *received = &record->received;
    const int kept = receive_bytes_kept(received);
    if (record->answered && record->rttMs >= 0) {
        text_add(&text, en ? " \xb7 round trip " : " \xb7 Umlaufzeit ");
        add_ms(&text, record->rttMs);
        text_add(&text, " ms");
    } else if (kept > 0) { // cppcheck-suppress knownConditionTrueFalse ; as in monitor_store.cpp
        text_add(&text, en ? " \xb7 last byte after " : " \xb7 letztes Byte nach ");
        add_ms(&text, received->ms[kept - 1]);
        text_add(&text, " ms");
    }
    const int sent = record->writeResult > 0 ? record->writeResult : 0;
    text_add(&text,
             en ? " \xb7 %d bytes sent, %d received" : " \xb7 %d Bytes gesendet, %d empfangen",
             sent, received->count);
    if (received->flushed > 0)
        text_add(&text, en ? ", %d discarded" : ", %d verworfen", received->flushed);
    return text.length;
}

int stats_words(const ExchangeStats *stats, char *buffer, int size) {
    BoundedText text = bounded_text(buffer, size);
    const bool en = english();
    text_add(&text, en ? "Exchanges: %lld" : "Austausche: %lld", stats->exchanges);
    for (int code = 0; code < RECEIVE_OUTCOMES; code++)
        if (code == RECEIVE_OK || stats->byOutcome[code] > 0)
            text_add(&text, " \xb7 %s %lld", outcome_label(code), stats->byOutcome[code]);
    if (stats->timed > 0) {
        text_add(&text,
                 en ? " \xb7 round trip min/median/max " : " \xb7 Umlaufzeit min/Median/max ");
        add_ms(&text, stats->rttMin);
        text_add(&text, "/");
        add_ms(&text, stats_median_rtt(stats));
        text_add(&text, "/");
        add_ms(&text, stats->rttMax);
        text_add(&text, " ms");
    }
    return text.length;
}
