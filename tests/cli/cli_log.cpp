// --log on the command line: a file that can be written gets the header and the exchange's row;
// one that cannot be opened, or is no regular file, ends the run with status 73 before the
// chamber hears a byte; a run without end also when a write fails. The file follows the name
// through a log rotation.
#include "tests/cli/cli_run.h"
#include "tests/support/exchange_chamber.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

size_t lines_in(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return size_t(std::count(std::istreambuf_iterator<char>(file), {}, '\n'));
}

// Waits up to 10 s for done(), looking every 2 ms.
template <class Done>
bool wait_for(Done done) {
    for (int i = 0; i < 5000 && !done(); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return done();
}

TEST(CommandLineLog, LogsTheExchangeOrEndsBeforeItWhenTheFileCannotBeOpened) {
    const std::string path = testing::TempDir() + "kelvra-cli-" + std::to_string(getpid());
    const std::string fifo = path + ".fifo", refused = ": not a regular file (a FIFO, socket or "
                                                       "device could hold up the exchanges)\n";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    TestPty terminal;
    const struct {
        std::string path, err;
    } cases[] = {
        {path, ""},
        {"/nonexistent/kelvra.csv", "kelvra-ascii: cannot open the log file "
                                    "/nonexistent/kelvra.csv: No such file or directory\n"},
        {"/dev/full", "kelvra-ascii: cannot open the log file /dev/full" + refused},
        {fifo, "kelvra-ascii: cannot open the log file " + fifo + refused},
        {terminal.path(),
         "kelvra-ascii: cannot open the log file " + std::string(terminal.path()) + refused},
        {"/dev/null", ""},
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
        if (c.path != path) continue;
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
    (void)std::remove(fifo.c_str());
}

// Moved away and replaced (logrotate's create), emptied in place (copytruncate), deleted: each
// row lands in the file that the name leads to then, none is lost, and stderr tells each new
// file once. Once the name leads to a folder, the log fails, and so the run without end ends.
TEST(CommandLineLog, FollowsTheNameThroughRotationAndEndsWhenTheLogFails) {
    ScriptedChamber chamber;
    const std::string path = testing::TempDir() + "kelvra-cli-turn-" + std::to_string(getpid());
    StartedTool tool = start_tool({"--send", "A0", "--repeat", "0", "--interval", "0.2", "--map",
                                   "com1=" + std::string(chamber.path()), "--log", path});
    ASSERT_GT(tool.pid, 0);
    // each step right after a row, 0.2 s before the next one; the run is ended below in any case
    const auto rows = [&](size_t count) {
        return wait_for([&] { return lines_in(path) >= count; });
    };
    EXPECT_TRUE(rows(3));
    EXPECT_EQ(std::rename(path.c_str(), (path + ".1").c_str()), 0);
    std::ofstream(path, std::ios::app).close();
    EXPECT_TRUE(rows(3)) << "rows in the new file";
    std::ofstream(path + ".2", std::ios::binary) << std::ifstream(path, std::ios::binary).rdbuf();
    EXPECT_EQ(truncate(path.c_str(), 0), 0);
    EXPECT_TRUE(rows(1)) << "written on after truncation";
    EXPECT_EQ(std::rename(path.c_str(), (path + ".3").c_str()), 0); // gone, as if deleted
    EXPECT_TRUE(rows(2)) << "a row in a new file";
    EXPECT_EQ(std::rename(path.c_str(), (path + ".4").c_str()), 0);
    EXPECT_EQ(mkdir(path.c_str(), 0700), 0);
    siginfo_t end{};
    EXPECT_TRUE(wait_for([&] {
        return !waitid(P_PID, id_t(tool.pid), &end, WEXITED | WNOHANG | WNOWAIT) && end.si_pid;
    }));
    if (end.si_pid == 0) kill(tool.pid, SIGKILL);
    const ToolRun run = finish_tool(tool);
    EXPECT_EQ(run.status, 73);
    // three files with a header; the last exchange's row failed
    const std::string count = std::to_string(lines_in(path + ".1") + lines_in(path + ".2") +
                                             lines_in(path + ".3") + lines_in(path + ".4") - 2);
    const std::string told = "kelvra-ascii: the log file " + path +
                             " was moved or deleted; logging goes on in a new file of that name\n";
    EXPECT_EQ(run.err.rfind(told + told + "kelvra-ascii: cannot write the log file " + path +
                                ": Is a directory; logging stopped\nkelvra-ascii: " + count +
                                " exchanges; ok " + count + ";",
                            0),
              0u)
        << run.err;
    (void)rmdir(path.c_str());
    for (const char *file : {".1", ".2", ".3", ".4"}) (void)std::remove((path + file).c_str());
}

} // namespace
