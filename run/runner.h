// An acceptance run: the steps of a parsed sequence done one after the other, each with its
// verdict. The runner never waits by itself: run_advance does what is due now (at most one
// exchange) and tells when to call again, so the command line sleeps between calls, the window
// runs each call from its event loop, and tests run hours of waits on a virtual clock. Every
// exchange is a request handed to the environment's exchange function. No Qt here.
#pragma once

#include "exchange/exchange.h"
#include "run/alarm.h"
#include "run/check.h"
#include "run/sequence.h"

enum StepVerdict {
    VERDICT_NONE,
    VERDICT_PASSED,
    VERDICT_FAILED,
    VERDICT_ERROR,   // a port failure: the run ends
    VERDICT_SKIPPED, // not reached: an earlier step ended the run
    VERDICT_STOPPED, // in progress when the run was stopped
};

enum {
    RUN_OUT_SIZE = 16384, // a step's exchanges as text; what does not fit is counted
    RUN_MESSAGE_SIZE = 1024,
    RUN_ITERATION_SIZE = 64,
    EXIT_RUN_FAILED = 1,
    EXIT_RUN_PORT_ERROR = 2,
};

// What a step did, handed to the observer when it ends (and for each step never reached).
struct StepResult {
    int index;                          // into the sequence's steps
    char iteration[RUN_ITERATION_SIZE]; // "2/3" inside a repeat ("1/2, 3/5" nested), else ""
    int verdict;                        // StepVerdict
    long long startMs, endMs;           // wall clock, ms since 1970 UTC
    int exchanges;
    char message[RUN_MESSAGE_SIZE];    // what it found, or why it failed (panel's language)
    char expected[SEQUENCE_TEXT_SIZE]; // a failed condition, as written
    char received[SEEN_SIZE];          // and what the record showed for it
    char out[RUN_OUT_SIZE];            // one line per exchange: time, chamber, sent, received
    int outLength;
    int outDropped; // exchanges whose lines did not fit
};

struct Run;

// Whom the run tells what happens (each may be null).
struct RunObserver {
    void (*stepBegan)(const Run *run, int index, void *context);
    void (*stepEnded)(const Run *run, const StepResult *result, void *context);
    void (*alarm)(const Run *run, const AlarmEvent *event, void *context);
    void *context;
};

// What the run talks through: the exchange, two clocks in ms (wall: since 1970 UTC, for
// reports; steady: for waits) and a sleep for run_to_end; the alarm watch it adds its alarms to.
struct RunEnvironment {
    int (*exchange)(const ExchangeRequest *request, ExchangeRecord *record);
    long long (*wallMs)(void *context);
    long long (*steadyMs)(void *context);
    void (*sleepMs)(long long ms, void *context);
    void *context;
    AlarmWatch *alarms;
};

// The environment's parts for a run on the real line: exchange() with every record then handed
// to its readers (log, line monitor, trend, status line), and the clocks.
int exchange_published(const ExchangeRequest *request, ExchangeRecord *record);
long long run_wall_ms(void *context);
long long run_steady_ms(void *context);

// What the window shows of the step in progress.
struct RunProgress {
    int index;           // the step in progress, -1 between steps or when over
    long long elapsedMs; // since it began
    long long holdMs;    // wait: how long the condition has held so far (-1: not holding);
                         // pause: the pause done so far
    long long neededMs;  // wait: how long it must hold; pause: the pause
    long long timeoutMs; // wait: its timeout, else 0
};

struct Run {
    const Sequence *sequence;
    RunEnvironment env;
    RunObserver observer;
    int owner; // of the run's alarms in the watch

    int next;   // the step to begin next
    int inStep; // a step has begun and not ended
    int loopStep[REPEAT_MAX_DEPTH], loopDone[REPEAT_MAX_DEPTH], depth;
    int port, address, continueOnFail;
    StepResult result;
    long long stepStart, due; // steady clock
    long long holdSince;      // wait: the first answer of the current hold, -1 none
    long long nextPoll;       // wait: when it polls next
    int tries;                // exchanges left to a check or expect
    int polled;               // check, wait: an exchange was made for this step
    char seen[SEEN_SIZE];     // what the latest judged record showed

    ExchangeRecord record; // the latest exchange's
    int haveRecord;
    char lastCommand[FRAME_BUFFER_SIZE]; // what it sent, for retries
    int portFailed;
    char portMessage[PORT_MESSAGE_SIZE];

    int stopRequested, over;
    int steps, passed, failed, errors, skipped, stopped;
    long long exchanges;
    int alarmsRaised, alarmsCleared;
    long long startWall, endWall, startSteady;
};

// Readies a run of the sequence (which must outlive it) and begins its clock.
void run_begin(Run *run, const Sequence *sequence, const RunEnvironment *environment,
               const RunObserver *observer);
// Does what is due: steps without waits, or one exchange. Returns 1 with the steady time at
// which to call again in *dueMs (now when an exchange was made, so that other events come
// between), or 0 once the run is over.
int run_advance(Run *run, long long *dueMs);
// Runs to the end, sleeping through the environment between steps.
void run_to_end(Run *run);
// Ends the run at its next advance: the step in progress counts as stopped, the rest skipped.
void run_stop(Run *run);
// The exit status: 0 every step passed, EXIT_RUN_FAILED a step failed (or the run was stopped),
// EXIT_RUN_PORT_ERROR a port failed.
int run_status(const Run *run);
// "9 steps: 8 passed, 1 failed, 0 skipped; 14 exchanges; alarms: 1 raised, 1 cleared; 10 min 5 s"
void run_summary_text(const Run *run, char *text, int size);
// What the window shows of the step in progress.
void run_progress(const Run *run, RunProgress *progress);
// "pass", "FAIL", "ERROR", "skip", "stopped": how reports write a verdict.
const char *verdict_name(int verdict);
