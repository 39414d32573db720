// The command-line exchange against the chamber simulator on a pseudo-terminal: what it prints
// in each display mode and language, and how --address, --port and --mode reach the exchange.
// Every case has a chamber of its own, so that the runs can go side by side.
#include "tests/cli/cli_run.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Case {
    std::vector<std::string> chamber; // simulator options
    std::vector<std::string> tool;    // kelvra-ascii options after --map com1=<pty>; "<pty>"
                                      // in them stands for the chamber's line
    int status;
    std::vector<std::string> lines; // standard output, line by line
};

// Runs every case against a simulator of its own and checks status, output and stderr.
void check(const std::vector<Case> &cases) {
    std::vector<std::unique_ptr<SimProcess>> chambers;
    std::vector<std::vector<std::string>> argLists;
    for (const Case &c : cases) {
        chambers.push_back(std::make_unique<SimProcess>(c.chamber));
        ASSERT_TRUE(chambers.back()->started());
        std::vector<std::string> args{"--map", "com1=<pty>"};
        args.insert(args.end(), c.tool.begin(), c.tool.end());
        for (std::string &arg : args)
            if (const size_t at = arg.find("<pty>"); at != std::string::npos)
                arg.replace(at, 5, chambers.back()->path());
        argLists.push_back(args);
    }
    const std::vector<ToolRun> runs = run_tools(argLists);
    for (size_t i = 0; i < cases.size(); i++) {
        std::string trace;
        for (const std::string &arg : cases[i].tool) trace += arg + " ";
        SCOPED_TRACE(trace);
        EXPECT_EQ(runs[i].status, cases[i].status);
        EXPECT_EQ(lines_of(runs[i].out), cases[i].lines);
        EXPECT_EQ(runs[i].out.back(), '\n') << "the last line is ended too";
        if (cases[i].status == 0) {
            EXPECT_EQ(runs[i].err, "") << "nothing but RS-232 messages goes to stderr";
        } else { // and the reason when no valid answer came
            EXPECT_EQ(lines_of(runs[i].err).size(), 1u) << runs[i].err;
            EXPECT_EQ(runs[i].err.rfind("no valid answer: ", 0), 0u) << runs[i].err;
        }
    }
}

TEST(CommandLineOutput, EachModeAndLanguagePrintsTheEntriesAsTheHistoriesHoldThem) {
    check({
        {{}, {"--send", "E0"}, 0, {"E0", "E0 025.0"}},
        {{},
         {"--send", "E0", "--mode", "0"},
         0,
         // every byte in hex, the trailing blank of the entry included
         {"0x02 0x81 0xC5 0xB0 0xF4 0x03 ",
          "0x02 0x81 0xC5 0xB0 0xA0 0xB0 0xB2 0xB5 0xAE 0xB0 0xFD 0x03 "}},
        {{},
         {"--send", "E0", "--mode", "2"},
         0,
         {"Lesen des Rampenendwerts des Kanal 0.", "Rampenendwert das Kanal 0: =  25.0"}},
        {{},
         {"--send", "E0", "--mode", "2", "--lang", "en"},
         0,
         {"Read ramps terminal value of channel 0.", "Ramp terminal value of channel 0: =  25.0"}},
        // Latin-1 inside the tool, UTF-8 on the way out
        {{},
         {"--mode=2", "--send", "a0 030.0"},
         0,
         {"Sollwert von Kanal 0 auf  30.0 \xc3\xa4ndern.", "Sollwert ge\xc3\xa4ndert"}},
        {{},
         {"--send", "a0 030.0", "--mode", "2", "--lang=en"},
         0,
         {"Adjust setvalue of channel 0 to  30.0.", "setvalue changed"}},
        {{}, {"--send", "L", "--lang", "en", "--mode", "1"}, 0, {"L", "L0"}},
        // no sentence for an unknown letter: an empty entry is an empty line
        {{}, {"--send", "Z", "--mode", "2"}, 1, {""}},
    });
}

TEST(CommandLineOutput, AddressAndPortChooseTheChamberAndTheLine) {
    const std::string longest = "Z" + std::string(506, 'x');
    check({
        {{"--address", "7"},
         {"--send", "E0", "--address", "7", "--mode", "0"},
         0,
         {"0x02 0x87 0xC5 0xB0 0xF2 0x03 ",
          "0x02 0x87 0xC5 0xB0 0xA0 0xB0 0xB2 0xB5 0xAE 0xB0 0xFB 0x03 "}},
        {{"--address", "7"}, {"--send", "U0", "--address", "7"}, 0, {"U0", "U0 003.0 003.0"}},
        // the default address is 1: chamber 7 does not answer, and only line 1 is printed
        {{"--address", "7"}, {"--send", "U0"}, 1, {"U0"}},
        {{}, {"--send", "P", "--address", "2", "--mode", "2"}, 1, {"Programstatus abfragen"}},
        // the chamber on com12, nothing on com1
        {{},
         {"--send", "P", "--port", "com12", "--map", "com12=<pty>", "--map", "com1=/nonexistent"},
         0,
         {"P", "P000"}},
        // the longest text the command field takes goes out whole; the chamber ignores it
        {{}, {"--send", longest}, 1, {longest}},
    });
}

} // namespace
