// Alarms while watching: a chamber's channel value leaving its band, or a chamber falling silent.
// The judgement is a pure function of the records heard and their times; the watch keeps the
// alarms of the program (the window's, a run's, polling's) and judges each record once, whoever
// asks first (the log for its alarm column, the status line, the run). No Qt here.
#pragma once

#include "record/record.h"
#include "run/sequence.h"

enum {
    ALARM_RAISED = 1,
    ALARM_CLEARED = 2,
    ALARM_RULES = 64,    // alarms a watch holds
    ALARM_ENTRIES = 256, // alarms times the chambers they watch
    ALARM_DETAIL_SIZE = 96,
    ALARM_COLUMN_SIZE = 1024,
};

struct AlarmState {
    int heard;               // a record of the chamber came since watching began
    int active;              // the alarm stands
    long long lastAnswerMs;  // silence: the last valid answer, or the first record heard
    long long inBandSinceMs; // a band while it stands: since when it is back in band; -1 not
};

// Judges one record of the alarm's chamber at nowMs (alarm: a STEP_ALARM step). Returns
// ALARM_RAISED, ALARM_CLEARED or 0; detail gets what was seen ("actual 42.1, set 30.0",
// "no valid answer for 31.0 s"). A band alarm stands from the first valid answer out of band
// until the value has been back in band for alarm->holdMs; a silence alarm from the first record
// without a valid answer alarm->holdMs or more after the last valid one (or after watching
// began) until the next valid answer.
int alarm_hear(const Step *alarm, AlarmState *state, const ExchangeRecord *record, long long nowMs,
               char *detail, int size);

struct AlarmEvent {
    int kind; // ALARM_RAISED or ALARM_CLEARED
    int rule; // index into the watch's rules
    int owner;
    int port, address;
    long long ms;
    char detail[ALARM_DETAIL_SIZE];
};

struct AlarmWatch {
    Step rules[ALARM_RULES]; // a rule with port 0 watches every chamber heard
    int owners[ALARM_RULES];
    int ruleCount;
    struct Entry {
        int rule, port, address;
        AlarmState state;
    } entries[ALARM_ENTRIES];
    int entryCount;
    // the record judged last, and what it raised and cleared
    long long heardMs;
    int heardPort, heardAddress, heardCount, heardCode;
    AlarmEvent events[ALARM_RULES];
    int eventCount;
};

// Empties the watch.
void alarm_watch_clear(AlarmWatch *watch);
// Watches an alarm (port and address 0: every chamber) for owner. Returns 0, or -1 when full.
int alarm_watch_add(AlarmWatch *watch, const Step *alarm, int owner);
// Stops watching the alarms of owner.
void alarm_watch_remove(AlarmWatch *watch, int owner);
// Judges the record with every alarm of its chamber, once: asked again for the same record it
// gives the same events. Returns the number of events, then in watch->events.
int alarm_watch_hear(AlarmWatch *watch, const ExchangeRecord *record);
// The log's alarm column for the record (judging it if not yet): "raised A0 actual between 15
// and 40 (actual 42.1, set 30.0); cleared no answer for 30 s", or "".
void alarm_watch_column(AlarmWatch *watch, const ExchangeRecord *record, char *text, int size);
// The alarms that stand now.
int alarm_watch_standing(const AlarmWatch *watch);
// The i-th standing alarm as "com1:1 A0 actual between 15 and 40"; 0, or -1 past the last.
int alarm_watch_standing_text(const AlarmWatch *watch, int i, char *text, int size);
// The watch the program shares: the window's alarms, a run's, polling's, and the log's column.
AlarmWatch *program_alarms(void);
// The log's alarm column of the program's watch, in the form of the log's annotation
// (record/logging.h); context is unused.
void program_alarms_column(const ExchangeRecord *record, char *text, int size, void *context);
