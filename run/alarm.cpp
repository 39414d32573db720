// The judgement of alarms and the program's watch.
#include "run/alarm.h"

#include "record/bounded_text.h"
#include "record/trend_store.h"
#include "run/check.h"

#include <cstdio>
#include <cstring>

namespace {

bool same_record(const AlarmWatch *w, const ExchangeRecord *r) {
    return w->heardMs == r->wallMs && w->heardPort == r->port && w->heardAddress == r->address &&
           w->heardCount == r->received.count && w->heardCode == r->received.code;
}

bool valid_answer(const ExchangeRecord *record) {
    return record->answered && record->received.code == RECEIVE_OK;
}

int silence(const Step *alarm, AlarmState *s, const ExchangeRecord *record, long long now,
            BoundedText *detail) {
    if (!s->heard) s->lastAnswerMs = now;
    s->heard = 1;
    if (valid_answer(record)) {
        s->lastAnswerMs = now;
        if (!s->active) return 0;
        s->active = 0;
        text_add(detail, "answered");
        return ALARM_CLEARED;
    }
    if (s->active || now - s->lastAnswerMs < alarm->holdMs) return 0;
    s->active = 1;
    text_add(detail, "no valid answer for %.1f s", double(now - s->lastAnswerMs) / 1000);
    return ALARM_RAISED;
}

int band(const Step *alarm, AlarmState *s, const ExchangeRecord *record, long long now,
         BoundedText *detail) {
    ChannelValues values;
    s->heard = 1;
    if (!record_channel_values(record, &values) || values.channel != alarm->condition.channel)
        return 0;
    const bool inBand = values_hold(&alarm->condition, &values) != 0;
    if (!s->active && inBand) return 0;
    if (!s->active || !inBand) {
        s->inBandSinceMs = -1;
        if (s->active) return 0;
        s->active = 1;
        text_add(detail, "actual %.1f, set %.1f", values.actual, values.set);
        return ALARM_RAISED;
    }
    if (s->inBandSinceMs < 0) s->inBandSinceMs = now;
    if (now - s->inBandSinceMs < alarm->holdMs) return 0;
    s->active = 0;
    text_add(detail, "actual %.1f, set %.1f", values.actual, values.set);
    return ALARM_CLEARED;
}

bool watches(const Step *rule, const ExchangeRecord *record) {
    return rule->port == 0 || (rule->port == record->port && rule->address == record->address);
}

// The entry of rule for the record's chamber, made when first needed; null when full.
AlarmWatch::Entry *entry_for(AlarmWatch *w, int rule, const ExchangeRecord *record) {
    for (int i = 0; i < w->entryCount; i++) {
        AlarmWatch::Entry &e = w->entries[i];
        if (e.rule == rule && e.port == record->port && e.address == record->address) return &e;
    }
    if (w->entryCount == ALARM_ENTRIES) return nullptr;
    AlarmWatch::Entry &e = w->entries[w->entryCount++];
    e = {rule, record->port, record->address, {0, 0, 0, -1}};
    return &e;
}

} // namespace

int alarm_hear(const Step *alarm, AlarmState *state, const ExchangeRecord *record, long long nowMs,
               char *detailText, int size) {
    BoundedText detail = bounded_text(detailText, size);
    return alarm->condition.kind == CONDITION_SILENCE
               ? silence(alarm, state, record, nowMs, &detail)
               : band(alarm, state, record, nowMs, &detail);
}

void alarm_watch_clear(AlarmWatch *watch) {
    watch->ruleCount = watch->entryCount = watch->eventCount = 0;
    watch->heardMs = -1;
}

int alarm_watch_add(AlarmWatch *watch, const Step *alarm, int owner) {
    if (watch->ruleCount == ALARM_RULES) return -1;
    watch->owners[watch->ruleCount] = owner;
    watch->rules[watch->ruleCount++] = *alarm;
    return 0;
}

void alarm_watch_remove(AlarmWatch *watch, int owner) {
    int kept = 0;
    int newIndex[ALARM_RULES];
    for (int i = 0; i < watch->ruleCount; i++) {
        newIndex[i] = watch->owners[i] == owner ? -1 : kept;
        if (newIndex[i] < 0) continue;
        watch->owners[kept] = watch->owners[i];
        watch->rules[kept++] = watch->rules[i];
    }
    watch->ruleCount = kept;
    int entries = 0;
    for (int i = 0; i < watch->entryCount; i++) {
        AlarmWatch::Entry e = watch->entries[i];
        // cppcheck-suppress uninitvar ; an entry names a rule below the count the loop above saw
        if (newIndex[e.rule] < 0) continue;
        e.rule = newIndex[e.rule];
        watch->entries[entries++] = e;
    }
    watch->entryCount = entries;
    watch->eventCount = 0;
    watch->heardMs = -1;
}

int alarm_watch_hear(AlarmWatch *watch, const ExchangeRecord *record) {
    if (same_record(watch, record)) return watch->eventCount;
    watch->heardMs = record->wallMs;
    watch->heardPort = record->port;
    watch->heardAddress = record->address;
    watch->heardCount = record->received.count;
    watch->heardCode = record->received.code;
    watch->eventCount = 0;
    for (int s = 0; s < watch->ruleCount; s++) {
        if (!watches(&watch->rules[s], record)) continue;
        AlarmWatch::Entry *e = entry_for(watch, s, record);
        if (!e) continue;
        AlarmEvent &event = watch->events[watch->eventCount];
        event.kind = alarm_hear(&watch->rules[s], &e->state, record, record->wallMs, event.detail,
                                sizeof event.detail);
        if (event.kind == 0) continue;
        event.rule = s;
        event.owner = watch->owners[s];
        event.port = record->port;
        event.address = record->address;
        event.ms = record->wallMs;
        watch->eventCount++;
    }
    return watch->eventCount;
}

void alarm_watch_column(AlarmWatch *watch, const ExchangeRecord *record, char *text, int size) {
    BoundedText column = bounded_text(text, size);
    const int events = alarm_watch_hear(watch, record);
    for (int i = 0; i < events; i++) {
        const AlarmEvent &e = watch->events[i];
        text_add(&column, "%s%s %s (%s)", i > 0 ? "; " : "",
                 e.kind == ALARM_RAISED ? "raised" : "cleared", watch->rules[e.rule].condition.text,
                 e.detail);
    }
}

int alarm_watch_standing(const AlarmWatch *watch) {
    int standing = 0;
    for (int i = 0; i < watch->entryCount; i++) standing += watch->entries[i].state.active;
    return standing;
}

int alarm_watch_standing_text(const AlarmWatch *watch, int n, char *text, int size) {
    for (int i = 0; i < watch->entryCount; i++) {
        const AlarmWatch::Entry &e = watch->entries[i];
        if (!e.state.active || n-- > 0) continue;
        set_text(text, size, "com%d:%d %s", e.port, e.address, watch->rules[e.rule].condition.text);
        return 0;
    }
    return -1;
}

AlarmWatch *program_alarms(void) {
    static AlarmWatch watch;
    static bool ready;
    if (!ready) alarm_watch_clear(&watch);
    ready = true;
    return &watch;
}

void program_alarms_column(const ExchangeRecord *record, char *text, int size, void *) {
    alarm_watch_column(program_alarms(), record, text, size);
}
