// Chambers behind a device server: kelvra-ascii as a process through Debian's ser2net on
// loopback, raw and with RFC 2217, in front of the simulator or a pseudo-terminal the test holds;
// and every way a connection fails, through a scripted server where ser2net cannot fail so.
#include "link/link.h"
#include "tests/cli/cli_run.h"
#include "tests/support/device_server.h"
#include "tests/support/pty.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <regex>
#include <termios.h>
#include <unistd.h>

namespace {

TEST(CommandLineNetwork, ExchangesScansAndPollingGoThroughSer2netRawAndRfc2217) {
    SimProcess rawChamber({"--address", "1", "--address", "2"}),
        telnetChamber({"--address", "1", "--address", "2"});
    ASSERT_TRUE(rawChamber.started() && telnetChamber.started());
    const Ser2net raw(rawChamber.path(), false), telnet(telnetChamber.path(), true);
    ASSERT_TRUE(raw.started() && telnet.started()) << "ser2net (scripts/deps installs it)";
    const std::string answer = R"(A0 \d{3}\.\d 025\.0\n)", sentAndReceived = "A0\n" + answer;
    const struct {
        std::vector<std::string> args;
        std::string out; // a pattern
    } runs[] = {
        {{"--send", "A0"}, sentAndReceived},
        {{"--scan", "--from", "1", "--to", "3", "--timeout", "100"},
         "1\t[0-9.]+\t" + answer + "2\t[0-9.]+\t" + answer},
        {{"--send", "A0", "--repeat", "3", "--interval", "0.2"},
         sentAndReceived + sentAndReceived + sentAndReceived},
    };
    for (const auto &r : runs) { // ser2net serves one client at a time
        std::vector<std::vector<std::string>> both(2, r.args);
        both[0].push_back("--map=com1=" + raw.address());
        both[1].push_back("--map=com1=" + telnet.address());
        for (const ToolRun &run : run_tools(both)) {
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_TRUE(std::regex_match(run.out, std::regex(r.out))) << run.out;
        }
    }
}

// The far line is set while the request arrives, whatever ser2net keeps it at otherwise (a
// pseudo-terminal keeps the odd flag but has no parity to enable); 0xFF in the request's and
// the answer's checksum crosses Telnet doubled and arrives once.
TEST(CommandLineNetwork, Rfc2217SetsTheFarLineAndCarriesTheByte0xFF) {
    TestPty line;
    ASSERT_TRUE(line.ok());
    const Ser2net server(line.path(), true, "9600n81");
    ASSERT_TRUE(server.started());
    char frame[FRAME_BUFFER_SIZE];
    const int length = create_framing("A?", frame, 1);
    ASSERT_EQ(uint8_t(frame[length - 2]), 0xFF);

    StartedTool tool =
        start_tool({"--send", "A?", "--mode", "0", "--map", "com1=" + server.address()});
    EXPECT_EQ(line.read(size_t(length), 2.0), std::string(frame, size_t(length)));
    termios settings{};
    const int device = open(line.path(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_EQ(tcgetattr(device, &settings), 0);
    close(device);
    EXPECT_EQ(cfgetospeed(&settings), speed_t(B19200));
    EXPECT_EQ(settings.c_cflag & (CSIZE | PARODD | CSTOPB), tcflag_t(CS8 | PARODD));
    line.write(std::string(frame, size_t(length)));

    const ToolRun run = finish_tool(tool);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string shown = "0x02 0x81 0xC1 0xBF 0xFF 0x03 ";
    EXPECT_EQ(lines_of(run.out), (std::vector<std::string>{shown, shown}));
}

struct Failure { // NOLINT(clang-analyzer-optin.performance.Padding): in a row's order
    const char *what;
    int script;                    // what the ScriptedServer does, or NOBODY listens
    std::string address;           // its scheme, or a whole address
    std::vector<std::string> more; // options beyond --send A0 --map
    int status;
    std::string message;  // after "RS-232 Message: com1 (ADDRESS): "; none: no answer
    int connections = {}; // the server accepted
};
constexpr int NOBODY = -1;

TEST(CommandLineNetwork, EachFailureNamesTheAddressAndItsCauseWithinTheExchangeBound) {
    using Script = ScriptedServer::Script;
    const std::vector<std::string> polling = {"--repeat", "3", "--interval", "0.7"};
    const Failure cases[] = {
        {"refused", NOBODY, "tcp", {"--lang", "de"}, 2, "Verbindung abgelehnt"},
        // a label longer than 63 characters is refused by the resolver itself: no query leaves
        // the machine
        {"unknown host",
         NOBODY,
         "tcp://" + std::string(64, 'a') + ".invalid:1",
         {},
         2,
         "unknown host aaaa"},
        {"accepts, then silent: no answer", Script::SILENT, "tcp", {}, 1, "", 1},
        {"accepts, then silent to RFC 2217",
         Script::SILENT,
         "rfc2217",
         {},
         2,
         "the device server did not confirm the line settings (RFC 2217) within 2.0 s",
         1},
        {"dropped in the middle of an answer",
         Script::DROP_IN_ANSWER,
         "tcp",
         {},
         2,
         "the device server closed the connection",
         1},
        {"restarted between exchanges: refused while down, then answered anew", Script::RESTART,
         "tcp", polling, 0, "connection refused", 2},
        {"one connection for a whole run", Script::ANSWER, "tcp", polling, 0, "", 1},
    };
    std::vector<std::unique_ptr<ScriptedServer>> servers;
    std::vector<std::vector<std::string>> argLists;
    std::vector<std::string> addresses;
    for (const Failure &c : cases) {
        servers.push_back(c.script == NOBODY ? nullptr
                                             : std::make_unique<ScriptedServer>(Script(c.script)));
        const int port = servers.back() ? servers.back()->port() : free_loopback_port();
        addresses.push_back(c.address.find(':') != std::string::npos
                                ? c.address
                                : c.address + "://127.0.0.1:" + std::to_string(port));
        argLists.push_back({"--send", "A0", "--lang", "en", "--map", "com1=" + addresses.back()});
        argLists.back().insert(argLists.back().end(), c.more.begin(), c.more.end());
    }
    const std::vector<ToolRun> runs = run_tools(argLists);
    for (size_t i = 0; i < runs.size(); i++) {
        const Failure &c = cases[i];
        SCOPED_TRACE(c.what);
        EXPECT_EQ(runs[i].status, c.status) << runs[i].err;
        const std::string expected =
            c.message.empty() && c.status == 1
                ? "no valid answer: no-answer: "
                : "RS-232 Message: com1 (" + addresses[i] + "): " + c.message;
        EXPECT_EQ(runs[i].err.find(expected) != std::string::npos, !c.message.empty() || c.status)
            << runs[i].err;
        EXPECT_EQ(servers[i] ? servers[i]->accepted() : 0, c.connections);
        // one exchange: the exchange's bound, 2.5 s, and the start of a sanitized process on a
        // busy machine
        if (c.more.size() < 4) {
            EXPECT_LT(runs[i].seconds, 3.0);
        }
    }
}

} // namespace
