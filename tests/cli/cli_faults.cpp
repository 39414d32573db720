// The command-line exchange when the line misbehaves: a response the receiver rejects leaves
// line 2 out and says why on stderr, a port that cannot be opened gives the two RS-232 messages
// and the reason on stderr and status 2, and the wait of an Enter-driven exchange is part of
// every run.
#include "tests/cli/cli_run.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sys/wait.h>

namespace {

TEST(CommandLineFaults, OnlyAResponseTheReceiverAcceptsIsPrinted) {
    const struct {
        const char *fault;
        int status;
        std::vector<std::string> lines;
        double atLeast; // seconds: the 0.5 s wait, and the read time-out without a response
    } cases[] = {
        {nullptr, 0, {"S", "S001000000"}, 0.45},
        {"silent", 1, {"S"}, 0.95},
        {"bad-checksum", 1, {"S"}, 0.95},
        {"wrong-address", 1, {"S"}, 0.45},
        {"stray-byte", 1, {"S"}, 0.45},
        {"bad-then-good", 0, {"S", "S001000000"}, 0.45},
        {"trailing", 0, {"S", "S001000000"}, 0.95}, // the bytes behind it are discarded
    };
    std::vector<std::unique_ptr<SimProcess>> chambers;
    std::vector<std::vector<std::string>> argLists;
    for (const auto &c : cases) {
        std::vector<std::string> options;
        if (c.fault) options = {"--fault", c.fault};
        chambers.push_back(std::make_unique<SimProcess>(options));
        ASSERT_TRUE(chambers.back()->started());
        argLists.push_back({"--send", "S", "--map", "com1=" + chambers.back()->path()});
    }
    const std::vector<ToolRun> runs = run_tools(argLists);
    for (size_t i = 0; i < runs.size(); i++) {
        SCOPED_TRACE(cases[i].fault ? cases[i].fault : "no fault");
        EXPECT_EQ(runs[i].status, cases[i].status);
        EXPECT_EQ(lines_of(runs[i].out), cases[i].lines);
        if (cases[i].status == 0) {
            EXPECT_EQ(runs[i].err, "");
        } else { // one line says why
            EXPECT_EQ(lines_of(runs[i].err).size(), 1u) << runs[i].err;
            EXPECT_EQ(runs[i].err.rfind("no valid answer: ", 0), 0u) << runs[i].err;
        }
        EXPECT_GE(runs[i].seconds, cases[i].atLeast);
    }
}

TEST(CommandLineFaults, APortThatCannotBeOpenedGivesBothMessagesAndStatus2) {
    const std::vector<ToolRun> runs = run_tools({
        {"--send", "A0", "--port", "com3", "--map", "com3=/nonexistent/kelvra-line"},
        {"--send", "A0", "--mode", "0", "--map", "com1=/dev/null", "--lang", "en"},
    });
    const std::vector<std::string> sent[] = {{"A0"}, {"0x02 0x81 0xC1 0xB0 0xF0 0x03 "}};
    for (size_t i = 0; i < runs.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(runs[i].status, 2) << runs[i].err;
        // the exchange goes on: the frame is still shown as sent
        EXPECT_EQ(lines_of(runs[i].out), sent[i]);
        const std::vector<std::string> messages = lines_of(runs[i].err);
        ASSERT_EQ(messages.size(), 3u) << runs[i].err;
        for (size_t m = 0; m < 2; m++)
            EXPECT_EQ(messages[m].rfind("RS-232 Message: ", 0), 0u) << messages[m];
        EXPECT_EQ(messages[2].rfind("no valid answer: port-error: ", 0), 0u) << messages[2];
        EXPECT_NE(messages[0].find(i == 0 ? "/nonexistent/kelvra-line" : "/dev/null"),
                  std::string::npos)
            << "the open's message names the device: " << messages[0];
    }
}

// A script must not read a lost output as "no response".
TEST(CommandLineFaults, OutputThatCannotBeWrittenEndsWithStatus74) {
    const std::string command =
        std::string(KELVRA_ASCII) + " --send A0 --map com1=/dev/null >/dev/full 2>/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 74);
}

} // namespace
