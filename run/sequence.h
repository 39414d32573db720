// Acceptance runs: the sequence file and its steps. A plain text, one step a line, "#" starting
// a comment outside quotes. The parser reads a whole file or nothing: the first error names its
// line and column, and no step of a file that does not parse ever runs. No Qt here.
//
//   chamber com1:1                  the chamber the following steps talk to
//   send a0 030.0                   one exchange; its record is what "expect" judges
//   expect ok                       an outcome code, "text matches "REGEX"" or a value
//   expect A0 actual within 0.5 of set, retries 2
//   check A0 set == 30.0            an exchange of its own ("A0") and its expectation
//   check "F" text matches "^F"     a quoted command text for the other kinds
//   wait until A0 actual within 0.5 of set for 10 min, timeout 60 min, every 5 s
//   pause 30 s
//   repeat 3 {  ...  }
//   on fail continue                (or "on fail stop", the default) from here on
//   alarm A0 actual between 15 and 40 for 1 min     (or "alarm no answer for 30 s")
#pragma once

#include "link/link.h"

enum {
    SEQUENCE_MAX_STEPS = 1024,
    SEQUENCE_LINE_SIZE = 1024, // longest line, with its terminator
    SEQUENCE_TEXT_SIZE = 160,  // a step's text as reports show it
    PATTERN_SIZE = 256,
    REPEAT_MAX_DEPTH = 8,
    REPEAT_MAX_COUNT = 1000000,
    RETRIES_MAX = 100,
    PARSE_MESSAGE_SIZE = 256,
};

enum StepKind {
    STEP_CHAMBER,
    STEP_SEND,
    STEP_EXPECT,
    STEP_CHECK,
    STEP_WAIT,
    STEP_PAUSE,
    STEP_REPEAT,  // "repeat N {"
    STEP_END,     // "}"
    STEP_ON_FAIL, // "on fail continue|stop"
    STEP_ALARM,
};

enum ConditionKind {
    CONDITION_OUTCOME, // the receive's outcome code
    CONDITION_TEXT,    // a regular expression found in the answer's payload
    CONDITION_VALUE,   // a channel's actual or set value of an "A" answer
    CONDITION_SILENCE, // alarms only: no valid answer for a time
};

enum { FIELD_NUMBER = -1, FIELD_ACTUAL = 0, FIELD_SET = 1 };

enum CompareOp { OP_EQ, OP_NE, OP_LT, OP_LE, OP_GT, OP_GE, OP_WITHIN, OP_BETWEEN };

// What an expectation, a wait or an alarm asks of an exchange's record.
struct Condition {
    int kind;                      // ConditionKind
    int outcome;                   // CONDITION_OUTCOME: RECEIVE_* (link/outcome.h)
    char pattern[PATTERN_SIZE];    // CONDITION_TEXT: ECMAScript regular expression
    char channel;                  // CONDITION_VALUE: the channel character, '0'..'9'
    int field;                     // FIELD_ACTUAL or FIELD_SET
    int op;                        // CompareOp
    int otherField;                // the operand: FIELD_ACTUAL, FIELD_SET, or FIELD_NUMBER
    double number;                 // ... which is then this number
    double tolerance;              // OP_WITHIN
    double low, high;              // OP_BETWEEN
    char text[SEQUENCE_TEXT_SIZE]; // as written, for reports ("A0 actual within 0.5 of set")
};

struct Step {
    int kind;                        // StepKind
    int line;                        // 1-based line of the file
    int column;                      // where the step's keyword begins
    char text[SEQUENCE_TEXT_SIZE];   // the line without comment and outer blanks
    char command[FRAME_BUFFER_SIZE]; // send, check, wait: the command text
    Condition condition;             // expect, check, wait, alarm
    int retries;                     // expect, check: further exchanges when it does not hold
    long long holdMs;                // wait: how long it must hold; pause: the pause;
                                     // alarm: back in band this long clears / silence raises
    long long timeoutMs, everyMs;    // wait
    int port, address;               // chamber (and every exchange step: the chamber then)
    int count;                       // repeat
    int partner;                     // repeat: index of its "}"; "}": index of its repeat
    int continueOnFail;              // on fail
};

struct Sequence {
    Step steps[SEQUENCE_MAX_STEPS];
    int count;
};

struct ParseError {
    int line, column; // 1-based; 0 when there is no place (the file as a whole)
    char message[PARSE_MESSAGE_SIZE];
};

enum {
    WAIT_DEFAULT_TIMEOUT_MS = 60 * 60 * 1000,
    WAIT_DEFAULT_EVERY_MS = 2000,
};

// Parses the text of a sequence file (length bytes, NUL bytes refused) into *sequence. Returns
// 0, or -1 with the first error in *error (*sequence then holds nothing runnable).
int parse_sequence(const char *text, long length, Sequence *sequence, ParseError *error);
// Parses one alarm as the file's alarm lines write it, without the word "alarm"
// ("A0 actual within 2.0 of set for 30 s", "no answer for 30 s") into step (kind STEP_ALARM,
// no chamber: port and address 0). Returns 0, or -1 with the error's column in *error.
int parse_alarm(const char *text, Step *step, ParseError *error);
// "FILE:LINE:COLUMN: message" (or "FILE: message" without a place) into text.
void parse_error_text(const char *file, const ParseError *error, char *text, int size);
// A duration in words, "10 min", "1 h 30 min", "4.5 s", "250 ms".
void duration_text(long long ms, char *text, int size);
// Writes printf-style into text (size bytes), cut where it ends, always terminated.
[[gnu::format(printf, 3, 4)]] void set_text(char *text, int size, const char *format, ...);
// The name of a step kind as the file writes it ("send", "wait").
const char *step_kind_name(int kind);
// Whether a step is one the run reports a verdict for (not repeat, "}", on fail or alarm).
int step_has_verdict(const Step *step);
