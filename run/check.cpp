// Conditions judged on a record.
#include "run/check.h"

#include "display/format.h"
#include "record/bounded_text.h"
#include "record/trend_store.h"
#include "record/words.h"

#include <cmath>
#include <cstring>
#include <regex>

namespace {

// Values carry one decimal; two that differ by less than this are equal.
constexpr double SAME = 0.0005;

bool english(void) {
    return Fremdsprache != 0;
}

double field_value(const ChannelValues *values, int field) {
    return field == FIELD_SET ? values->set : values->actual;
}

bool field_stands(const ChannelValues *values, int field) {
    return field == FIELD_SET ? values->hasSet : values->hasActual;
}

// Why no valid answer came, in words: "bad-checksum (bad checksum: byte 6 leaves 0x35)".
void add_outcome(BoundedText *text, const ExchangeRecord *record) {
    char words[PORT_MESSAGE_SIZE + 128];
    const Verdict verdict = verdict_of(&record->received, record->address);
    outcome_words(&verdict, words, sizeof words);
    text_add(text, "%s (%s)", receive_code_name(record->received.code), words);
}

bool value_holds(const Condition *c, const ExchangeRecord *record, BoundedText *seen) {
    ChannelValues values;
    char payload[FRAME_BUFFER_SIZE];
    if (record_payload(record, payload, sizeof payload) < 0) {
        add_outcome(seen, record);
        return false;
    }
    if (!record_channel_values(record, &values) || values.channel != c->channel) {
        text_add(seen,
                 english() ? "\"%s\", which holds no values of channel %c"
                           : "\"%s\" ohne Werte des Kanals %c",
                 payload, c->channel);
        return false;
    }
    text_add(seen, english() ? "\"%s\" (actual %.1f, set %.1f)" : "\"%s\" (Ist %.1f, Soll %.1f)",
             payload, values.actual, values.set);
    return values_hold(c, &values);
}

} // namespace

int record_payload(const ExchangeRecord *record, char *payload, int size) {
    char frame[FRAME_BUFFER_SIZE];
    const int length = answer_frame(record, frame);
    if (length < 4 || size <= 0) return -1; // STX, address, ..., checksum, ETX
    int n = 0;
    for (int i = 2; i < length - 2 && n < size - 1; i++) payload[n++] = char(frame[i] & 0x7F);
    payload[n] = '\0';
    return n;
}

int values_hold(const Condition *c, const ChannelValues *values) {
    if (!field_stands(values, c->field)) return 0;
    const double value = field_value(values, c->field);
    if (c->op == OP_BETWEEN) return value >= c->low - SAME && value <= c->high + SAME;
    if (c->otherField != FIELD_NUMBER && !field_stands(values, c->otherField)) return 0;
    const double other =
        c->otherField == FIELD_NUMBER ? c->number : field_value(values, c->otherField);
    switch (c->op) {
    case OP_EQ: return std::fabs(value - other) < SAME;
    case OP_NE: return std::fabs(value - other) >= SAME;
    case OP_LT: return value < other - SAME;
    case OP_LE: return value < other + SAME;
    case OP_GT: return value > other + SAME;
    case OP_GE: return value > other - SAME;
    case OP_WITHIN: return std::fabs(value - other) < c->tolerance + SAME;
    default: return 0;
    }
}

int condition_holds(const Condition *c, const ExchangeRecord *record, char *seenText, int size) {
    BoundedText seen = bounded_text(seenText, size);
    char payload[FRAME_BUFFER_SIZE];
    switch (c->kind) {
    case CONDITION_OUTCOME:
        if (record->received.code == RECEIVE_OK && record->answered)
            text_add(&seen, "ok");
        else
            add_outcome(&seen, record);
        return record->received.code == c->outcome &&
               (c->outcome != RECEIVE_OK || record->answered);
    case CONDITION_TEXT:
        if (record_payload(record, payload, sizeof payload) < 0) {
            add_outcome(&seen, record);
            return 0;
        }
        text_add(&seen, "\"%s\"", payload);
        try {
            return std::regex_search(payload, std::regex(c->pattern));
        } catch (const std::regex_error &) { // a pattern too complex for this payload
            text_add(&seen, english() ? " (regular expression too complex)"
                                      : " (regul\xe4rer Ausdruck zu aufwendig)");
            return 0;
        }
    case CONDITION_VALUE: return value_holds(c, record, &seen);
    default: return 0;
    }
}

void mismatch_text(const Condition *condition, const char *seen, char *text, int size) {
    BoundedText out = bounded_text(text, size);
    text_add(&out, english() ? "expected %s, received %s" : "erwartet %s, erhalten %s",
             condition->text, seen);
}
