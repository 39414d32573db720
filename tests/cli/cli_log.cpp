// --log on the command line: a file that can be written gets the header and the exchange's row;
// one that cannot be opened ends the run with status 73 before the chamber hears a byte.
#include "tests/cli/cli_run.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

TEST(CommandLineLog, LogsTheExchangeOrEndsBeforeItWhenTheFileCannotBeOpened) {
    const std::string path = testing::TempDir() + "kelvra-cli-" + std::to_string(getpid());
    const struct {
        std::string path, err;
    } cases[] = {
        {path, ""},
        {"/nonexistent/kelvra.csv", "kelvra-ascii: cannot open the log file "
                                    "/nonexistent/kelvra.csv: No such file or directory\n"},
        {"/dev/full",
         "kelvra-ascii: cannot open the log file /dev/full: No space left on device\n"},
    };
    for (const auto &c : cases) {
        SimProcess chamber({"--verbose"}); // logs every request it reads
        ASSERT_TRUE(chamber.started());
        const ToolRun run =
            run_tools({{"--send", "A0", "--map", "com1=" + chamber.path(), "--log", c.path}})[0];
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.status, c.err.empty() ? 0 : 73);
        EXPECT_EQ(run.out.empty(), !c.err.empty());
        EXPECT_EQ(chamber.stderr_text().empty(), !c.err.empty()) << "requests the chamber heard";
        if (!c.err.empty()) continue;
        std::stringstream log;
        log << std::ifstream(path).rdbuf();
        EXPECT_EQ(log.str().rfind("time,port,device,address,command,sent_hex,received_hex,outcome,"
                                  "rtt_ms,mode,sent_text,received_text,alarm\r\n2",
                                  0),
                  0u);
        EXPECT_NE(log.str().find(",com1," + chamber.path() + ",1,A0,02 81 C1 B0 F0 03,02 81 C1 "),
                  std::string::npos)
            << log.str();
    }
    (void)std::remove(path.c_str());
}

} // namespace
