// The runner: the steps of a sequence as a state machine on two clocks.
#include "run/runner.h"

#include "display/format.h"
#include "exchange/grid.h"
#include "link/link.h"
#include "record/bounded_text.h"
#include "record/calendar.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

int nextOwner = 1;

bool english(void) {
    return Fremdsprache != 0;
}

long long steady(const Run *run) {
    return run->env.steadyMs(run->env.context);
}

long long wall(const Run *run) {
    return run->env.wallMs(run->env.context);
}

const Step &current(const Run *run) {
    return run->sequence->steps[run->next];
}

void port_failure(const char *message, void *context) {
    auto *run = static_cast<Run *>(context);
    run->portFailed = 1;
    set_text(run->portMessage, sizeof run->portMessage, "%s", message);
}

void finish(Run *run) {
    if (run->over) return;
    // every step after the one that ended the run, once
    for (int i = run->next; i < run->sequence->count; i++) {
        if (!step_has_verdict(&run->sequence->steps[i])) continue;
        StepResult &r = run->result;
        r = {};
        r.index = i;
        r.verdict = VERDICT_SKIPPED;
        r.startMs = r.endMs = wall(run);
        set_text(r.message, sizeof r.message, "%s", english() ? "not reached" : "nicht erreicht");
        run->skipped++;
        if (run->observer.stepEnded) run->observer.stepEnded(run, &r, run->observer.context);
    }
    run->over = 1;
    run->endWall = wall(run);
    if (run->env.alarms) alarm_watch_remove(run->env.alarms, run->owner);
}

void end_step(Run *run, int verdict) {
    StepResult &r = run->result;
    r.verdict = verdict;
    r.endMs = wall(run);
    run->steps++;
    run->passed += verdict == VERDICT_PASSED;
    run->failed += verdict == VERDICT_FAILED;
    run->errors += verdict == VERDICT_ERROR;
    run->stopped += verdict == VERDICT_STOPPED;
    run->inStep = 0;
    if (run->observer.stepEnded) run->observer.stepEnded(run, &r, run->observer.context);
    run->next++;
    if (verdict == VERDICT_ERROR || verdict == VERDICT_STOPPED ||
        (verdict == VERDICT_FAILED && !run->continueOnFail))
        finish(run);
}

void pass(Run *run, const char *message) {
    set_text(run->result.message, sizeof run->result.message, "%s", message);
    end_step(run, VERDICT_PASSED);
}

// A failed condition: what was expected and what came, apart and in one message.
void fail_mismatch(Run *run, const char *before) {
    StepResult &r = run->result;
    const Condition &c = current(run).condition;
    set_text(r.expected, sizeof r.expected, "%s", c.text);
    set_text(r.received, sizeof r.received, "%s", run->seen);
    char mismatch[RUN_MESSAGE_SIZE];
    mismatch_text(&c, run->seen, mismatch, sizeof mismatch);
    set_text(r.message, sizeof r.message, "%s%s", before, mismatch);
    end_step(run, VERDICT_FAILED);
}

void begin_step(Run *run) {
    StepResult &r = run->result;
    r = {};
    r.index = run->next;
    BoundedText iteration = bounded_text(r.iteration, sizeof r.iteration);
    for (int d = 0; d < run->depth; d++)
        text_add(&iteration, "%s%d/%d", d > 0 ? ", " : "", run->loopDone[d] + 1,
                 run->sequence->steps[run->loopStep[d]].count);
    r.startMs = wall(run);
    run->stepStart = steady(run);
    run->tries = current(run).retries;
    run->polled = 0;
    run->holdSince = -1;
    run->nextPoll = run->stepStart;
    run->seen[0] = '\0';
    run->inStep = 1;
    if (run->observer.stepBegan) run->observer.stepBegan(run, run->next, run->observer.context);
}

// One line of the step's exchanges: "<time> com1:1 A0 -> "A0 029.8 030.0" ok 12.3 ms".
void note_exchange(Run *run) {
    const ExchangeRecord &record = run->record;
    char line[FRAME_BUFFER_SIZE * 2 + PORT_MESSAGE_SIZE + 256], time[WALL_CLOCK_TEXT_SIZE];
    char seen[SEEN_SIZE], payload[FRAME_BUFFER_SIZE];
    wall_clock_text(record.wallMs, WALL_CLOCK_OFFSET, time, sizeof time);
    if (record_payload(&record, payload, sizeof payload) >= 0) {
        set_text(seen, sizeof seen, "\"%s\" ok %.1f ms", payload, record.rttMs);
    } else {
        Condition outcome{};
        outcome.kind = CONDITION_OUTCOME;
        condition_holds(&outcome, &record, seen, sizeof seen);
    }
    BoundedText text = bounded_text(line, sizeof line);
    text_add(&text, "%s com%d:%d \"%s\" -> %s\n", time, run->port, run->address, record.command,
             seen);
    const int length = text.length;
    StepResult &r = run->result;
    if (length > 0 && r.outLength + length < int(sizeof r.out)) {
        std::memcpy(r.out + r.outLength, line, size_t(length) + 1);
        r.outLength += length;
    } else {
        r.outDropped++;
    }
}

void hear_alarms(Run *run) {
    if (!run->env.alarms) return;
    const int events = alarm_watch_hear(run->env.alarms, &run->record);
    for (int i = 0; i < events; i++) {
        const AlarmEvent &event = run->env.alarms->events[i];
        if (event.owner != run->owner) continue;
        run->alarmsRaised += event.kind == ALARM_RAISED;
        run->alarmsCleared += event.kind == ALARM_CLEARED;
        if (run->observer.alarm) run->observer.alarm(run, &event, run->observer.context);
    }
}

// One exchange of command with the current chamber. False when the port failed, which has
// ended the step and the run.
bool exchange_with(Run *run, const char *command) {
    ExchangeRequest request;
    request_init(&request, run->port, run->address, command, MODE_NO_FRAMING);
    request.trigger = BY_RUN;
    request.readAtOnce = 1;                              // the answer is taken the moment it is in
    request.quietSeconds = (double)LINE_QUIET_MS / 1000; // after the step before
    request.portFailure = port_failure;
    request.context = run;
    run->portFailed = 0;
    run->env.exchange(&request, &run->record);
    run->haveRecord = 1;
    set_text(run->lastCommand, sizeof run->lastCommand, "%s", command);
    run->exchanges++;
    run->result.exchanges++;
    run->polled++;
    note_exchange(run);
    hear_alarms(run);
    if (!run->portFailed && run->record.received.code != RECEIVE_PORT_ERROR) return true;
    set_text(run->result.message, sizeof run->result.message, "%s",
             run->portFailed ? run->portMessage : run->record.received.portMessage);
    end_step(run, VERDICT_ERROR);
    return false;
}

// Judges the latest record: the step passes, fails when no try is left, or goes on to retry.
void judge(Run *run) {
    if (condition_holds(&current(run).condition, &run->record, run->seen, sizeof run->seen))
        pass(run, run->seen);
    else if (run->tries == 0)
        fail_mismatch(run, "");
    else
        run->tries--;
}

// A wait's poll: the hold begins at the first answer that satisfies the condition and breaks at
// one that does not; an exchange without a valid answer tells nothing of a value or a text.
void wait_poll(Run *run, long long now) {
    const Step &s = current(run);
    const bool holds =
        condition_holds(&s.condition, &run->record, run->seen, sizeof run->seen) != 0;
    const bool answered = run->record.answered && run->record.received.code == RECEIVE_OK;
    char held[64], needed[64];
    if (holds) {
        if (run->holdSince < 0) run->holdSince = now;
        if (now - run->holdSince >= s.holdMs) {
            duration_text(run->holdSince - run->stepStart, needed, sizeof needed);
            duration_text(now - run->holdSince, held, sizeof held);
            char message[RUN_MESSAGE_SIZE];
            if (s.holdMs == 0)
                set_text(message, sizeof message, english() ? "after %s: %s" : "nach %s: %s",
                         needed, run->seen);
            else
                set_text(message, sizeof message,
                         english() ? "held %s from %s on: %s" : "%s gehalten ab %s: %s", held,
                         needed, run->seen);
            pass(run, message);
            return;
        }
    } else if (answered || s.condition.kind == CONDITION_OUTCOME) {
        run->holdSince = -1;
    }
    // the next point of the step's grid after this exchange; none left before the timeout: the
    // wait has failed now, as no later poll could make it hold
    run->nextPoll = next_grid_point(run->stepStart, s.everyMs, steady(run));
    if (run->nextPoll <= run->stepStart + s.timeoutMs) {
        run->due = run->nextPoll;
        return;
    }
    duration_text(s.timeoutMs, needed, sizeof needed);
    duration_text(run->holdSince < 0 ? 0 : now - run->holdSince, held, sizeof held);
    char before[160];
    std::snprintf(before, sizeof before,
                  english() ? "timed out after %s (held %s); "
                            : "Zeit abgelaufen nach %s (%s gehalten); ",
                  needed, held);
    fail_mismatch(run, before);
}

// Continues the step in progress. Returns 1 when the caller should come back at run->due
// (after an exchange: now), 0 when it ended without one and the next step may follow at once.
int continue_step(Run *run, long long now) {
    const Step &s = current(run);
    run->due = now;
    switch (s.kind) {
    case STEP_CHAMBER:
        run->port = s.port;
        run->address = s.address;
        pass(run, "");
        return 0;
    case STEP_PAUSE:
        if (now < run->stepStart + s.holdMs) {
            run->due = run->stepStart + s.holdMs;
            return 1;
        }
        pass(run, "");
        return 0;
    case STEP_SEND: {
        if (!exchange_with(run, s.command)) return 1;
        Condition outcome{};
        outcome.kind = CONDITION_OUTCOME;
        condition_holds(&outcome, &run->record, run->seen, sizeof run->seen);
        char payload[FRAME_BUFFER_SIZE];
        if (record_payload(&run->record, payload, sizeof payload) >= 0)
            set_text(run->seen, sizeof run->seen, "\"%s\"", payload);
        pass(run, run->seen);
        return 1;
    }
    case STEP_EXPECT:
        if (run->polled == 0 && !run->haveRecord) {
            set_text(run->seen, sizeof run->seen, "%s",
                     english() ? "no exchange" : "kein Austausch");
            fail_mismatch(run, "");
            return 0;
        }
        if (run->polled == 0) {
            run->polled = 1; // the exchange before it is judged first
            judge(run);
            return 0;
        }
        if (exchange_with(run, run->lastCommand)) judge(run);
        return 1;
    case STEP_CHECK:
        if (exchange_with(run, s.command)) judge(run);
        return 1;
    case STEP_WAIT:
        if (now < run->nextPoll) {
            run->due = run->nextPoll;
            return 1;
        }
        if (exchange_with(run, s.command)) wait_poll(run, now);
        return 1;
    default: return 0;
    }
}

bool alarm_added(const Run *run, const Step &s) {
    const AlarmWatch *w = run->env.alarms;
    for (int i = 0; i < w->ruleCount; i++)
        if (w->owners[i] == run->owner && w->rules[i].line == s.line) return true;
    return false;
}

// Steps without a verdict change what follows: repeats, "on fail", alarms. Returns whether the
// step at run->next was one (and is done).
bool structure(Run *run) {
    const Step &s = current(run);
    switch (s.kind) {
    case STEP_REPEAT:
        run->loopStep[run->depth] = run->next;
        run->loopDone[run->depth++] = 0;
        run->next++;
        return true;
    case STEP_END:
        if (++run->loopDone[run->depth - 1] < run->sequence->steps[s.partner].count) {
            run->next = s.partner + 1;
        } else {
            run->depth--;
            run->next++;
        }
        return true;
    case STEP_ON_FAIL:
        run->continueOnFail = s.continueOnFail;
        run->next++;
        return true;
    case STEP_ALARM:
        if (run->env.alarms && !alarm_added(run, s))
            alarm_watch_add(run->env.alarms, &s, run->owner);
        run->next++;
        return true;
    default: return false;
    }
}

} // namespace

int exchange_published(const ExchangeRequest *request, ExchangeRecord *record) {
    const int answered = exchange(request, record);
    publish_exchange(record);
    return answered;
}

long long run_wall_ms(void *) {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

long long run_steady_ms(void *) {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void run_begin(Run *run, const Sequence *sequence, const RunEnvironment *environment,
               const RunObserver *observer) {
    run->sequence = sequence;
    run->env = *environment;
    run->observer = observer ? *observer : RunObserver{};
    run->owner = nextOwner++;
    run->next = run->inStep = run->depth = 0;
    run->port = run->address = run->continueOnFail = 0;
    run->haveRecord = run->portFailed = 0;
    run->lastCommand[0] = '\0';
    run->stopRequested = run->over = 0;
    run->steps = run->passed = run->failed = run->errors = run->skipped = run->stopped = 0;
    run->exchanges = 0;
    run->alarmsRaised = run->alarmsCleared = 0;
    run->startWall = run->endWall = wall(run);
    run->startSteady = steady(run);
}

int run_advance(Run *run, long long *dueMs) {
    for (;;) {
        if (run->over) return 0;
        const long long now = steady(run);
        *dueMs = now;
        if (run->stopRequested) {
            if (run->inStep) {
                set_text(run->result.message, sizeof run->result.message, "%s",
                         english() ? "stopped" : "angehalten");
                end_step(run, VERDICT_STOPPED);
            }
            finish(run);
            return 0;
        }
        if (!run->inStep) {
            if (run->next >= run->sequence->count) {
                finish(run);
                return 0;
            }
            if (structure(run)) continue;
            begin_step(run);
        }
        if (continue_step(run, now)) {
            *dueMs = run->due;
            return 1;
        }
    }
}

void run_to_end(Run *run) {
    long long due = 0;
    while (run_advance(run, &due)) {
        const long long left = due - steady(run);
        if (left > 0) run->env.sleepMs(left, run->env.context);
    }
}

void run_stop(Run *run) {
    run->stopRequested = 1;
}

int run_status(const Run *run) {
    if (run->errors > 0) return EXIT_RUN_PORT_ERROR;
    // a run stopped between two steps has skipped the rest: no pass either
    if (run->failed > 0 || run->stopped > 0 || run->skipped > 0 || run->stopRequested ||
        run->passed < run->steps)
        return EXIT_RUN_FAILED;
    return 0;
}

void run_summary_text(const Run *run, char *buffer, int size) {
    BoundedText text = bounded_text(buffer, size);
    char took[64];
    duration_text((run->over ? run->endWall : wall(run)) - run->startWall, took, sizeof took);
    if (english())
        text_add(&text,
                 "%d step%s: %d passed, %d failed, %d error%s, %d skipped%s; %lld exchange%s; "
                 "alarms: %d raised, %d cleared; %s",
                 run->steps, run->steps == 1 ? "" : "s", run->passed, run->failed, run->errors,
                 run->errors == 1 ? "" : "s", run->skipped, run->stopRequested ? ", stopped" : "",
                 run->exchanges, run->exchanges == 1 ? "" : "s", run->alarmsRaised,
                 run->alarmsCleared, took);
    else
        text_add(&text,
                 "%d Schritt%s: %d bestanden, %d fehlgeschlagen, %d Fehler, %d ausgelassen%s; "
                 "%lld Austausch%s; Alarme: %d ausgel\xf6st, %d aufgehoben; %s",
                 run->steps, run->steps == 1 ? "" : "e", run->passed, run->failed, run->errors,
                 run->skipped, run->stopRequested ? ", angehalten" : "", run->exchanges,
                 run->exchanges == 1 ? "" : "e", run->alarmsRaised, run->alarmsCleared, took);
}

void run_progress(const Run *run, RunProgress *progress) {
    *progress = {-1, 0, -1, 0, 0};
    if (run->over || !run->inStep) return;
    const Step &s = current(run);
    const long long now = steady(run);
    progress->index = run->next;
    progress->elapsedMs = now - run->stepStart;
    if (s.kind == STEP_WAIT) {
        progress->holdMs = run->holdSince < 0 ? -1 : now - run->holdSince;
        progress->neededMs = s.holdMs;
        progress->timeoutMs = s.timeoutMs;
    } else if (s.kind == STEP_PAUSE) {
        progress->holdMs = progress->elapsedMs;
        progress->neededMs = s.holdMs;
    }
}

const char *verdict_name(int verdict) {
    switch (verdict) {
    case VERDICT_PASSED: return "pass";
    case VERDICT_FAILED: return "FAIL";
    case VERDICT_ERROR: return "ERROR";
    case VERDICT_SKIPPED: return "skip";
    case VERDICT_STOPPED: return "stopped";
    default: return "";
    }
}
