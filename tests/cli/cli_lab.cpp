// Polling a lab from the command line against simulated chambers on two ports: a JSON object or
// a line per exchange, in order per chamber, a summary per chamber, and the exit status of every
// chamber's last exchange; usage errors of the options.
#include "tests/cli/cli_run.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <regex>
#include <thread>

namespace {

TEST(CommandLineLab, PollsEveryChamberOfTwoPortsAndEndsWithTheirSummaries) {
    SimProcess bus({"--address", "1-2"}), other({"--address", "4"});
    ASSERT_TRUE(bus.started() && other.started());
    const std::string lab = testing::TempDir() + "kelvra-cli-lab-" + std::to_string(getpid());
    std::ofstream(lab) << R"({"chambers":[{"port":"com2","address":4,"name":"Klima 4"}],
                              "map":{"com2":")"
                       << other.path() << R"("}})";
    const std::string empty = lab + ".empty";
    std::ofstream(empty) << R"({"chambers":[]})";
    const std::string com1 = "com1=" + bus.path();
    // the first run holds both lines; the others share them out
    std::vector<ToolRun> runs = run_tools({
        {"--poll", "--chamber", "com1:1", "--chamber", "com1:2:A0,T", "--chamber", "com2:4",
         "--map", com1, "--map", "com2=" + other.path(), "--repeat", "2", "--interval", "0.2",
         "--json"},
    });
    const std::vector<ToolRun> more = run_tools({
        {"--poll", "--chamber", "com1:1", "--chamber", "com1:9", "--map", com1, "--repeat", "1"},
        {"--poll", "--chamber", "com3:1", "--map", "com3=/nonexistent", "--repeat", "1"},
        {"--poll", "--lab", lab, "--repeat", "1", "--timestamps"},
        {"--poll", "--lab", lab + ".missing", "--repeat", "1"},
        {"--poll", "--lab", empty, "--repeat", "1"},
        {"--poll", "--chamber", "com1:1", "--send", "A0"},
        {"--poll"},
        {"--chamber", "com1:40", "--poll"},
        {"--json"},
    });
    runs.insert(runs.end(), more.begin(), more.end());
    (void)std::remove(lab.c_str());
    (void)std::remove(empty.c_str());

    // two turns each; com1:2 asks A0 and T in each turn
    const std::vector<std::string> objects = lines_of(runs[0].out);
    EXPECT_EQ(runs[0].status, 0) << runs[0].err;
    ASSERT_EQ(objects.size(), 8u) << runs[0].out;
    const std::regex a0(R"re(\{"time":"[-0-9T:.+]+","port":"com(\d)","address":(\d),)re"
                        R"re("command":"A0","outcome":"ok","rtt_ms":[0-9.]+,)re"
                        R"re("received":"A0 [ 0-9.-]+ [ 0-9.-]+","channel":"0",)re"
                        R"re("actual":-?[0-9.]+,"set":25\})re");
    const std::regex t(
        R"re(\{.*"address":2,"command":"T","outcome":"ok",.*"received":"T\d{12}"\})re");
    std::vector<std::string> order;
    for (const std::string &object : objects) {
        std::smatch match;
        if (std::regex_match(object, match, a0))
            order.push_back("com" + match[1].str() + ":" + match[2].str());
        else
            EXPECT_TRUE(std::regex_match(object, t)) << object;
    }
    EXPECT_EQ(order.size(), 6u);
    EXPECT_EQ(std::count(order.begin(), order.end(), "com2:4"), 2);
    EXPECT_NE(runs[0].err.find("kelvra-ascii: com1:2: 4 exchanges; ok 4; round trip"),
              std::string::npos)
        << runs[0].err;

    EXPECT_EQ(runs[1].status, 1) << "the last exchange of com1:9 got no answer";
    EXPECT_NE(runs[1].out.find("com1:9\tA0\t\n"), std::string::npos) << runs[1].out;
    EXPECT_NE(runs[1].err.find("com1:9: no valid answer: no-answer"), std::string::npos);
    EXPECT_EQ(runs[2].status, 2) << runs[2].err;
    EXPECT_EQ(runs[2].err.rfind("RS-232 Message: com3 (/nonexistent)", 0), 0u) << runs[2].err;
    EXPECT_EQ(runs[3].status, 0) << runs[3].err;
    EXPECT_TRUE(std::regex_match(runs[3].out, std::regex(R"([-0-9T:.+]+\tcom2:4\tA0\tA0 .*\n)")))
        << runs[3].out;
    EXPECT_NE(runs[3].err.find("Klima 4 (com2:4): 1 exchange; ok 1"), std::string::npos);
    EXPECT_EQ(runs[4].status, 66) << runs[4].err;
    EXPECT_EQ(runs[5].status, 65) << runs[5].err;
    for (size_t i = 6; i < runs.size(); i++) EXPECT_EQ(runs[i].status, 64) << runs[i].err;
}

// Without --repeat the run goes on until SIGINT, which ends it after the exchanges in progress:
// every line whole, and the summaries of both chambers.
TEST(CommandLineLab, SigintEndsAPollWithoutEndAfterTheExchangesInProgress) {
    SimProcess bus({"--address", "1-2"});
    ASSERT_TRUE(bus.started());
    StartedTool run = start_tool({"--poll", "--chamber", "com1:1", "--chamber", "com1:2",
                                  "--interval", "0.2", "--map", "com1=" + bus.path()});
    ASSERT_GT(run.pid, 0);
    for (int i = 0; i < 500 && lines_of(output_so_far(run)).size() < 6; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(run.pid, SIGINT);
    const ToolRun done = finish_tool(run);
    EXPECT_EQ(done.status, 0) << done.err;
    const std::vector<std::string> lines = lines_of(done.out);
    ASSERT_GE(lines.size(), 6u);
    for (const std::string &line : lines)
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(com1:[12]\tA0\tA0 \d{3}\.\d 025\.0)")))
            << line;
    EXPECT_TRUE(std::regex_search(done.err, std::regex(R"(com1:1: \d+ exchanges; ok \d+)")));
    EXPECT_TRUE(std::regex_search(done.err, std::regex(R"(com1:2: \d+ exchanges; ok \d+)")));
}

} // namespace
