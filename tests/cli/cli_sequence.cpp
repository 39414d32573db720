// Acceptance runs from the command line against the chamber simulator, whose temperature ramps
// at its ramp rates (set high here, so a run takes seconds): a run that sets 30.0, waits until
// settled, holds and sets back passes with its JUnit report; against a chamber that spoils every
// second answer it passes where the expectations allow retries and fails readably where they do
// not; a file that does not parse runs nothing; polling raises an alarm into its log.
#include "tests/cli/cli_run.h"
#include "tests/support/junit_check.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <unistd.h>

namespace {

std::string temp_path(const std::string &name) {
    return testing::TempDir() + "kelvra-seq-" + std::to_string(getpid()) + "-" + name;
}

std::string write_file(const std::string &name, const std::string &text) {
    const std::string path = temp_path(name);
    std::ofstream(path) << text;
    return path;
}

std::string slurp(const std::string &path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// Sets 30.0, waits until settled and holds, reads the error text, checks, sets 25.0 back; each
// expectation allows RETRIES.
std::string acceptance(const std::string &retries) {
    return "chamber com1:1\n"
           "send u0 300.0                # 5 K/s up\n"
           "expect ok" +
           retries +
           "\n"
           "send d0 300.0                # and down\n"
           "expect ok" +
           retries +
           "\n"
           "send a0 030.0\n"
           "expect ok" +
           retries +
           "\n"
           "wait until A0 actual within 0.5 of set for 1 s, timeout 20 s, every 200 ms\n"
           "send F\n"
           "expect text matches \"^F\"" +
           retries +
           "\n"
           "check A0 set == 30.0" +
           retries +
           "\n"
           "send a0 025.0\n"
           "expect ok" +
           retries +
           "\n"
           "wait until A0 actual within 0.5 of set, timeout 20 s, every 200 ms\n";
}

TEST(CommandLineSequence, PassesAgainstTheSimulatorAndWithRetriesPastFaults) {
    SimProcess good({}), faulty({"--fault", "bad-checksum", "--fault-every", "2"}),
        strict({"--fault", "bad-checksum", "--fault-every", "2"});
    ASSERT_TRUE(good.started() && faulty.started() && strict.started());
    const std::string patient = write_file("patient.seq", acceptance(", retries 2"));
    const std::string hasty = write_file("hasty.seq", acceptance(""));
    const std::string report = temp_path("good.xml"), strictReport = temp_path("strict.xml");
    const std::string log = temp_path("good.csv");
    const std::vector<ToolRun> runs = run_tools({
        {"--run", patient, "--map", "com1=" + good.path(), "--junit", report, "--log", log,
         "--lang", "en"},
        {"--run", patient, "--map", "com1=" + faulty.path(), "--lang", "en"},
        {"--run", hasty, "--map", "com1=" + strict.path(), "--junit", strictReport, "--lang", "en"},
    });

    EXPECT_EQ(runs[0].status, 0) << runs[0].out << runs[0].err;
    const std::vector<std::string> lines = lines_of(runs[0].out);
    ASSERT_EQ(lines.size(), 17u) << runs[0].out; // 14 steps, 2 waits begun, the summary
    const std::regex step(
        R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d (pass|begin) +line \d+: .*)");
    for (size_t i = 0; i + 1 < lines.size(); i++)
        EXPECT_TRUE(std::regex_match(lines[i], step)) << lines[i];
    EXPECT_NE(runs[0].out.find(" pass    line 8: wait until A0 actual within 0.5 of set for 1 s, "
                               "timeout 20 s, every 200 ms: held 1"),
              std::string::npos);
    EXPECT_NE(runs[0].out.find("line 11: check A0 set == 30.0, retries 2: \"A0 030.0 030.0\""),
              std::string::npos);
    EXPECT_TRUE(std::regex_match(lines.back(), std::regex("summary: 14 steps: 14 passed, 0 failed, "
                                                          "0 errors, 0 skipped; \\d+ exchanges; "
                                                          "alarms: 0 raised, 0 cleared; .*")))
        << lines.back();
    EXPECT_EQ(lines_of(junit_check(report))[0],
              "kelvra-seq-" + std::to_string(getpid()) + "-patient.seq 14 0 0 0");
    EXPECT_NE(slurp(log).find(",A0 030.0 030.0,\r\n"), std::string::npos)
        << "logged, alarm column empty";

    EXPECT_EQ(runs[1].status, 0) << runs[1].out;
    EXPECT_NE(runs[1].out.find("summary: 14 steps: 14 passed"), std::string::npos);

    EXPECT_EQ(runs[2].status, 1) << runs[2].out;
    EXPECT_TRUE(std::regex_search(
        runs[2].out, std::regex(" FAIL    line 5: expect ok: expected ok, received bad-checksum "
                                "\\(bad checksum: byte \\d+ leaves 0x[0-9A-F]{2}\\)\n")))
        << runs[2].out;
    EXPECT_NE(runs[2].out.find("summary: 5 steps: 4 passed, 1 failed, 0 errors, 9 skipped"),
              std::string::npos)
        << runs[2].out;
    const std::string account = junit_check(strictReport);
    EXPECT_EQ(lines_of(account)[0],
              "kelvra-seq-" + std::to_string(getpid()) + "-hasty.seq 14 1 0 9");
    EXPECT_NE(account.find("expected: ok\nreceived: bad-checksum (bad checksum: byte "),
              std::string::npos)
        << account;
    for (const std::string &path : {patient, hasty, report, strictReport, log})
        (void)std::remove(path.c_str());
}

TEST(CommandLineSequence, AFileThatDoesNotParseRunsNothingAndOptionsMustFit) {
    SimProcess chamber({"--verbose"}); // tells every request it reads
    ASSERT_TRUE(chamber.started());
    const std::string bad =
        write_file("bad.seq", "chamber com1:1\nsend A0\nexpect A0 actual within 0.5 set\n");
    const std::string good = write_file("good.seq", "chamber com1:1\nsend A0\n");
    const std::string map = "com1=" + chamber.path();
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{"--run", bad, "--map", map}, 65, bad + ":3:29: expected \"of\" after the tolerance\n"},
        {{"--run", temp_path("missing.seq"), "--map", map},
         66,
         "kelvra-ascii: cannot read " + temp_path("missing.seq") + ": No such file or directory\n"},
        {{"--run", good, "--junit", "/nonexistent/report.xml", "--map", map},
         73,
         "kelvra-ascii: cannot write the report /nonexistent/report.xml: No such file or "
         "directory\n"},
        {{"--run", good, "--send", "A0"},
         64,
         "kelvra-ascii: option --run takes its chambers and commands from the file; it goes with "
         "--junit, --alarm, --log, --mqtt, --map and --lang only\n"},
        {{"--send", "A0", "--junit", "x.xml"}, 64, "kelvra-ascii: option --junit needs --run\n"},
        {{"--send", "A0", "--alarm", "no answer for 1 s"},
         64,
         "kelvra-ascii: option --alarm needs --run, --repeat or --poll\n"},
        {{"--poll", "--chamber", "com1:1", "--map", map, "--mqtt-prefix", "lab"},
         64,
         "kelvra-ascii: options --mqtt-prefix, --mqtt-credentials and --mqtt-ca need --mqtt\n"},
        {{"--send", "A0", "--repeat", "2", "--alarm", "A0 actual within 2 set"},
         64,
         "kelvra-ascii: --alarm A0 actual within 2 set: column 20: expected \"of\" after the "
         "tolerance\n"},
    };
    std::vector<std::vector<std::string>> argLists;
    for (const auto &c : cases) argLists.push_back(c.args);
    const std::vector<ToolRun> runs = run_tools(argLists);
    for (size_t i = 0; i < runs.size(); i++) {
        EXPECT_EQ(runs[i].status, cases[i].status) << runs[i].err;
        EXPECT_EQ(runs[i].err, cases[i].err);
        EXPECT_EQ(runs[i].out, "");
    }
    EXPECT_EQ(chamber.stderr_text(), "") << "no request reached the chamber";
    (void)std::remove(bad.c_str());
    (void)std::remove(good.c_str());
}

TEST(CommandLineSequence, PollingRaisesAnAlarmIntoItsLogAndSummary) {
    SimProcess chamber({}); // 23.5 ramping slowly toward 25.0
    ASSERT_TRUE(chamber.started());
    const std::string log = temp_path("alarm.csv");
    const ToolRun run = run_tools({{"--send", "A0", "--repeat", "3", "--interval", "0.2", "--alarm",
                                    "A0 actual within 1.0 of set", "--alarm", "no answer for 10 s",
                                    "--map", "com1=" + chamber.path(), "--log", log}})[0];
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(lines_of(run.out).size(), 6u) << "the entries as ever";
    EXPECT_TRUE(std::regex_match(
        run.err,
        std::regex("\\S+ alarm raised com1:1 A0 actual within 1.0 of set \\(actual 23\\.\\d, "
                   "set 25.0\\)\nkelvra-ascii: 3 exchanges; ok 3; round trip .*\n"
                   "kelvra-ascii: alarms: 1 raised, 0 cleared\n")))
        << run.err;
    const std::string logged = slurp(log);
    EXPECT_NE(logged.find(",ok,"), std::string::npos);
    EXPECT_TRUE(std::regex_search(
        logged,
        std::regex(",\"raised A0 actual within 1.0 of set \\(actual 23\\.\\d, set 25.0\\)\"\r\n")))
        << logged;
    (void)std::remove(log.c_str());
}

} // namespace
