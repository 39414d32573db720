// The JUnit report of a run with passes, failures, retries, a repeat and steps never reached,
// read back by Python's XML parser: only the elements and attributes that CI servers read, each
// where they expect it, counts that agree with the cases, and the texts escaped.
#include "display/format.h"
#include "run/junit.h"
#include "tests/run/fake_line.h"
#include "tests/support/junit_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

struct Report {
    JunitReport junit;
    const Sequence *sequence;
};

void add_case(const Run *, const StepResult *result, void *context) {
    auto *report = static_cast<Report *>(context);
    junit_add(&report->junit, report->sequence, result);
}

TEST(RunJunit, TheReportReadsBackAsCiServersReadIt) {
    Fremdsprache = 1; // the verdicts in English
    const std::string text = "chamber com1:1\n"
                             "on fail continue\n"
                             "send a0 030.0\n"
                             "check A0 set == 30.0, retries 1\n"
                             "repeat 2 {\n"
                             "  check A0 set == 25.0\n"
                             "}\n"
                             "send \"<&>\"\n"
                             "expect ok\n"
                             "on fail stop\n"
                             "check A0 set == 1\n"
                             "pause 1 s\n";
    auto sequence = std::make_unique<Sequence>();
    ParseError error;
    ASSERT_EQ(parse_sequence(text.data(), long(text.size()), sequence.get(), &error), 0)
        << error.message;
    FakeLine line;
    line.faultAt = {2}; // the check's first answer
    auto alarms = std::make_unique<AlarmWatch>();
    alarm_watch_clear(alarms.get());
    const RunEnvironment environment = line.environment(alarms.get());
    auto report = std::make_unique<Report>();
    report->sequence = sequence.get();
    ASSERT_EQ(junit_begin(&report->junit, "/some/folder/chamber check.seq"), 0);
    const RunObserver observer{nullptr, add_case, nullptr, report.get()};
    auto run = std::make_unique<::Run>();
    run_begin(run.get(), sequence.get(), &environment, &observer);
    run_to_end(run.get());
    junit_note(&report->junit, "summary & more");

    const std::string path = testing::TempDir() + "junit-" + std::to_string(getpid()) + ".xml";
    ASSERT_EQ(junit_write(&report->junit, run.get(), path.c_str()), 0);
    EXPECT_EQ(access((path + ".partial").c_str(), F_OK), -1) << "renamed into place";
    const std::string expected =
        "chamber check.seq 9 4 0 1\n"
        "chamber check | line 1: chamber com1:1 | pass |  | 0\n"
        "chamber check | line 3: send a0 030.0 | pass |  | 1\n"
        "chamber check | line 4: check A0 set == 30.0, retries 1 | pass |  | 2\n"
        "chamber check | line 6: check A0 set == 25.0 [1/2] | failure | expected A0 set == 25.0, "
        "received \"A0 025.0 030.0\" (actual 25.0, set 30.0) | 1\n"
        "expected: A0 set == 25.0\n"
        "received: \"A0 025.0 030.0\" (actual 25.0, set 30.0)\n"
        "chamber check | line 6: check A0 set == 25.0 [2/2] | failure | expected A0 set == 25.0, "
        "received \"A0 025.0 030.0\" (actual 25.0, set 30.0) | 1\n"
        "expected: A0 set == 25.0\n"
        "received: \"A0 025.0 030.0\" (actual 25.0, set 30.0)\n"
        "chamber check | line 8: send \"<&>\" | pass |  | 1\n"
        "chamber check | line 9: expect ok | failure | expected ok, received no-answer (no "
        "answer within 500 ms) | 0\n"
        "expected: ok\n"
        "received: no-answer (no answer within 500 ms)\n"
        "chamber check | line 11: check A0 set == 1 | failure | expected A0 set == 1, received "
        "\"A0 025.1 030.0\" (actual 25.1, set 30.0) | 1\n"
        "expected: A0 set == 1\n"
        "received: \"A0 025.1 030.0\" (actual 25.1, set 30.0)\n"
        "chamber check | line 12: pause 1 s | skipped | not reached | 0\n"
        "summary & more\n";
    EXPECT_EQ(junit_check(path), expected);
    (void)std::remove(path.c_str());
}

} // namespace
