// Every step kind against the fake line on a virtual clock: what each step sends, its verdict,
// the run's status and how long the run took in chamber time; retries under faults, waits that
// settle and hold or time out, repeats, "on fail", a port failure, a stop and a run's alarm.
#include "display/format.h"
#include "tests/run/fake_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct Outcome {
    std::string verdicts;    // "pass pass FAIL skip"
    std::string lastMessage; // of the last step that was not skipped
    int status = -1;
    double minutes = 0; // chamber time the run took
};

void record_verdict(const Run *, const StepResult *result, void *context) {
    auto *outcome = static_cast<Outcome *>(context);
    outcome->verdicts +=
        (outcome->verdicts.empty() ? "" : " ") + std::string(verdict_name(result->verdict));
    if (result->verdict != VERDICT_SKIPPED) outcome->lastMessage = result->message;
}

// Runs the sequence (after "chamber com1:1") on line; stops it once stopAfterMs of chamber time
// have passed, if given.
Outcome run_on(FakeLine *line, const std::string &steps, long long stopAfterMs = -1) {
    auto sequence = std::make_unique<Sequence>();
    const std::string text = "chamber com1:1\n" + steps;
    ParseError error;
    EXPECT_EQ(parse_sequence(text.data(), long(text.size()), sequence.get(), &error), 0)
        << error.line << ":" << error.column << ": " << error.message;
    Outcome outcome;
    auto alarms = std::make_unique<AlarmWatch>();
    alarm_watch_clear(alarms.get());
    const RunEnvironment environment = line->environment(alarms.get());
    const RunObserver observer{nullptr, record_verdict, nullptr, &outcome};
    auto run = std::make_unique<Run>();
    const long long start = line->now;
    run_begin(run.get(), sequence.get(), &environment, &observer);
    if (stopAfterMs < 0) {
        run_to_end(run.get());
    } else {
        long long due = 0;
        while (run_advance(run.get(), &due)) {
            if (line->now - start >= stopAfterMs) run_stop(run.get());
            if (due > line->now) environment.sleepMs(std::min(due - line->now, 1000LL), line);
        }
    }
    outcome.status = run_status(run.get());
    outcome.minutes = double(line->now - start) / 60000;
    EXPECT_EQ(alarms->ruleCount, 0) << "a run's alarms end with it";
    line->exchanges = run->exchanges == line->exchanges ? line->exchanges : -1;
    if (run->alarmsRaised > 0)
        outcome.verdicts += " alarms " + std::to_string(run->alarmsRaised) + "/" +
                            std::to_string(run->alarmsCleared);
    return outcome;
}

TEST(RunSteps, EachKindSendsJudgesAndTakesTheChamberTimeItShould) {
    Fremdsprache = 1; // the verdicts in English
    const std::string settle =
        "send a0 030.0\n"
        "wait until A0 actual within 0.5 of set for 10 min, timeout 60 min, every 5 s\n"
        "check A0 actual within 0.1 of set, retries 1\n"
        "send a0 025.0\n";
    const struct {
        const char *name;
        std::string steps;
        int faultEvery, faultCode;
        double rate;
        long long stopAfterMs;
        const char *verdicts;
        int status, exchanges;
        double minMinutes, maxMinutes;
        const char *says; // in the last message; "" for anything
    } cases[] = {
        {"send, expect an outcome and a text, check a value",
         "send a0 030.0\nexpect ok\ncheck A0 set == 30.0\nsend F\nexpect text matches \"^F no\"\n",
         0, 0, 3, -1, "pass pass pass pass pass pass", 0, 3, 0, 0.1, "\"F no error\""},
        {"an outcome other than ok", "send X\nexpect no-answer\n", 0, 0, 3, -1, "pass pass pass", 0,
         1, 0, 0.1, ""},
        {"a text that does not match ends the run", "send F\nexpect text matches \"^E\"\nsend A0\n",
         0, 0, 3, -1, "pass pass FAIL skip", 1, 1, 0, 0.1,
         "expected text matches \"^E\", received \"F no error\""},
        {"every comparison",
         "send A0\nexpect A0 actual within 0.5 of set\n"
         "expect A0 actual between 24.9 and 25.1\nexpect A0 set != 30\nexpect A0 actual < 25.1\n"
         "expect A0 actual <= 25\nexpect A0 actual >= 25\nexpect A0 actual > 24.9\n"
         "expect A0 actual == set\n",
         0, 0, 3, -1, "pass pass pass pass pass pass pass pass pass pass", 0, 1, 0, 0.1, ""},
        {"a value where the answer has none", "send F\nexpect A0 set == 25\n", 0, 0, 3, -1,
         "pass pass FAIL", 1, 1, 0, 0.1, "holds no values of channel 0"},
        {"a check retried past a bad checksum",
         "send a0 030.0\nexpect ok\ncheck A0 set == 30.0, retries 1\n", 2, RECEIVE_BAD_CHECKSUM, 3,
         -1, "pass pass pass pass", 0, 3, 0, 0.1, ""},
        {"the same check without a retry", "send a0 030.0\nexpect ok\ncheck A0 set == 30.0\n", 2,
         RECEIVE_BAD_CHECKSUM, 3, -1, "pass pass pass FAIL", 1, 2, 0, 0.1,
         "received bad-checksum (bad checksum"},
        {"an expect retries the exchange before it", "send A0\nsend A0\nexpect ok, retries 1\n", 2,
         RECEIVE_BAD_CHECKSUM, 3, -1, "pass pass pass pass", 0, 3, 0, 0.1, "ok"},
        {"a wait settles, holds, and the run sets back", settle, 0, 0, 3, -1,
         "pass pass pass pass pass", 0, -1, 11.5, 11.7, ""},
        {"a wait is not broken by answers that fail", settle, 2, RECEIVE_BAD_CHECKSUM, 3, -1,
         "pass pass pass pass pass", 0, -1, 11.5, 11.7, ""},
        {"a wait times out",
         "send a0 030.0\nwait until A0 actual within 0.5 of set for 1 min, timeout 5 min, every 10 "
         "s\n",
         0, 0, 0, -1, "pass pass FAIL", 1, 32, 5.0, 5.05,
         "timed out after 5 min (held 0 ms); expected A0 actual within 0.5 of set, received "
         "\"A0 025.0 030.0\""},
        {"a pause", "pause 10 min\ncheck A0 set == 25\n", 0, 0, 3, -1, "pass pass pass", 0, 1, 10,
         10.01, ""},
        {"a repeat", "repeat 3 {\ncheck A0 set == 25\n}\n", 0, 0, 3, -1, "pass pass pass pass", 0,
         3, 0, 0.01, ""},
        {"nested repeats", "repeat 2 {\nrepeat 3 {\ncheck A0 set == 25\n}\npause 1 s\n}\n", 0, 0, 3,
         -1, "pass pass pass pass pass pass pass pass pass", 0, 6, 0.03, 0.04, ""},
        {"on fail continue counts and goes on",
         "on fail continue\ncheck A0 set == 30\ncheck A0 set == 25\non fail stop\n"
         "check A0 set == 31\ncheck A0 set == 25\n",
         0, 0, 3, -1, "pass FAIL pass FAIL skip", 1, 3, 0, 0.01, "expected A0 set == 31"},
        {"a port failure ends the run", "send A0\nsend A0\nsend A0\n", 2, RECEIVE_PORT_ERROR, 3, -1,
         "pass pass ERROR skip", 2, 2, 0, 0.01, "no such device"},
        {"a stop ends the step in progress", "pause 1 h\nsend A0\n", 0, 0, 3, 60000,
         "pass stopped skip", 1, 0, 1, 1.05, "stopped"},
        {"a stop between steps is no pass", "send A0\nsend A0\n", 0, 0, 3, 0, "pass pass skip", 1,
         1, 0, 0.01, ""},
        {"a run's alarm",
         "alarm A0 actual between 24 and 26\nsend a0 030.0\n"
         "wait until A0 actual within 0.5 of set, every 10 s\nsend a0 025.0\n"
         "wait until A0 actual within 0.5 of set for 30 s, every 10 s\n",
         0, 0, 3, -1, "pass pass pass pass pass alarms 1/1", 0, -1, 3, 3.6, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FakeLine line;
        line.faultEvery = c.faultEvery;
        line.faultCode = c.faultCode;
        line.rate = c.rate;
        const Outcome outcome = run_on(&line, c.steps, c.stopAfterMs);
        EXPECT_EQ(outcome.verdicts, c.verdicts) << outcome.lastMessage;
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_NE(line.exchanges, -1) << "the run counts every exchange";
        if (c.exchanges >= 0) {
            EXPECT_EQ(line.exchanges, c.exchanges);
        }
        EXPECT_GE(outcome.minutes, c.minMinutes);
        EXPECT_LE(outcome.minutes, c.maxMinutes);
        EXPECT_NE(outcome.lastMessage.find(c.says), std::string::npos) << outcome.lastMessage;
    }
}

TEST(RunSteps, EachExchangeGoesToTheChamberNamedLast) {
    FakeLine line;
    run_on(&line, "send A0\nchamber com20:32\ncheck A0 set == 25\nsend \"x, y\"\n");
    EXPECT_EQ(line.sent, (std::vector<std::string>{"com1:1 A0", "com20:32 A0", "com20:32 x, y"}));
}

} // namespace
