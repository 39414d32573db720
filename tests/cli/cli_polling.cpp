// Polling from the command line against the chamber simulator: a run without end stopped by
// SIGINT after the exchange in progress, with its summary; a counted run on its grid with times.
#include "tests/cli/cli_run.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <regex>
#include <thread>

namespace {

TEST(CommandLinePolling, SigintEndsTheRunAfterTheExchangeInProgressWithASummary) {
    SimProcess chamber({});
    ASSERT_TRUE(chamber.started());
    StartedTool run = start_tool(
        {"--send", "A0", "--repeat", "0", "--interval", "0.2", "--map", "com1=" + chamber.path()});
    ASSERT_GT(run.pid, 0);
    for (int i = 0; i < 500 && lines_of(output_so_far(run)).size() < 6; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const double signalled = seconds_now();
    kill(run.pid, SIGINT);
    const ToolRun done = finish_tool(run);
    EXPECT_LT(seconds_now() - signalled, 1.0) << "the run ends soon after the signal";

    EXPECT_EQ(done.status, 0) << done.err;
    const std::vector<std::string> lines = lines_of(done.out);
    ASSERT_GE(lines.size(), 6u);
    ASSERT_EQ(lines.size() % 2, 0u) << "no exchange is cut off: " << done.out;
    for (size_t i = 0; i < lines.size(); i += 2) {
        EXPECT_EQ(lines[i], "A0");
        EXPECT_TRUE(std::regex_match(lines[i + 1], std::regex(R"(A0 \d{3}\.\d 025\.0)")))
            << lines[i + 1];
    }
    const std::string count = std::to_string(lines.size() / 2);
    EXPECT_TRUE(
        std::regex_match(done.err, std::regex("kelvra-ascii: " + count + " exchanges; ok " + count +
                                              "; round trip min [0-9.]+, median [0-9.]+, "
                                              "max [0-9.]+ ms\n")))
        << done.err;
}

TEST(CommandLinePolling, RepeatsOnItsGridWithTimesAndCountsEachOutcome) {
    SimProcess chamber({"--fault", "silent", "--fault-every", "2"}); // answers 2 and 4 withheld
    ASSERT_TRUE(chamber.started());
    const ToolRun run = run_tools({{"--send", "A0", "--repeat", "4", "--interval", "0.4",
                                    "--timestamps", "--map", "com1=" + chamber.path()}})
                            .front();
    EXPECT_EQ(run.status, 1) << "the last exchange got no answer";
    const std::vector<std::string> lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 6u) << run.out;
    std::vector<double> writes;
    for (const std::string &line : lines) {
        const double time = time_of_day(line);
        ASSERT_GE(time, 0) << line;
        if (line.substr(line.find('\t') + 1) == "A0") writes.push_back(time);
    }
    // an exchange without an answer lasts 1.0 s, past two grid points: 0, 0.4, (0.8, 1.2,) 1.6, 2.0
    ASSERT_EQ(writes.size(), 4u);
    const double grid[] = {0, 0.4, 1.6, 2.0};
    for (size_t i = 1; i < writes.size(); i++) EXPECT_NEAR(writes[i] - writes[0], grid[i], 0.1);
    EXPECT_EQ(time_of_day(lines[1]), writes[0]) << "both lines carry the time of their write";
    EXPECT_TRUE(std::regex_match(run.err, std::regex("(no valid answer: no-answer: .*\n){2}"
                                                     "kelvra-ascii: 4 exchanges; ok 2, no-answer "
                                                     "2; round trip min .*\n")))
        << run.err;
}

} // namespace
