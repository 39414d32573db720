// --log on the command line: runs append their rows to one file under one header, and a file that
// cannot be opened ends the run with status 73 before a byte goes to the chamber.
#include "tests/cli_run.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

std::string slurp(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(CommandLineLog, RunsAppendTheirRowsUnderOneHeader) {
    SimProcess chamber({});
    ASSERT_TRUE(chamber.started());
    const std::string path = testing::TempDir() + "kelvra-cli-log.csv";
    std::remove(path.c_str());
    const std::string map = "com1=" + chamber.path();
    for (const char *text : {"A0", "Z \"q\",r"})
        ASSERT_EQ(run_tools({{"--send", text, "--map", map, "--log", path}})[0].err, "");

    // the command and its entry hold a quote and a comma, so they are quoted
    const std::vector<std::string> rows = lines_of(slurp(path));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], "time,port,device,address,command,sent_hex,received_hex,outcome,rtt_ms,"
                       "mode,sent_text,received_text\r");
    const std::string device = ",com1," + chamber.path() + ",1,";
    EXPECT_NE(rows[1].find(device + "A0,02 81 C1 B0 F0 03,02 81 C1 B0 A0 B0 "), std::string::npos)
        << rows[1];
    EXPECT_NE(rows[1].find(",ok,"), std::string::npos) << rows[1];
    EXPECT_NE(rows[2].find(device + "\"Z \"\"q\"\",r\",02 81 DA A0 A2 F1 A2 AC F2 "),
              std::string::npos)
        << rows[2];
    EXPECT_NE(rows[2].find(",no-answer,,1,\"Z \"\"q\"\",r\",\r"), std::string::npos) << rows[2];
}

TEST(CommandLineLog, AFileThatCannotBeOpenedEndsTheRunBeforeAnyExchange) {
    const struct {
        const char *path, *cause;
    } cases[] = {{"/nonexistent/kelvra.csv", "No such file or directory"},
                 {"/dev/full", "No space left on device"}};
    for (const auto &c : cases) {
        SimProcess chamber({"--verbose"}); // logs every request it reads
        ASSERT_TRUE(chamber.started());
        const ToolRun run =
            run_tools({{"--send", "A0", "--map", "com1=" + chamber.path(), "--log", c.path}})[0];
        EXPECT_EQ(run.status, 73);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "kelvra-ascii: cannot open the log file " + std::string(c.path) + ": " +
                               c.cause + "\n");
        EXPECT_EQ(chamber.stderr_text(), "") << "the chamber heard nothing";
    }
}

} // namespace
