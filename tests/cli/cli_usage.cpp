// The command-line exchange refuses what it cannot send, before it touches a port, and --help
// describes it.
#include "tests/cli/cli_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

namespace {

TEST(CommandLineUsage, EachMistakeEndsWithStatus64AndOneLineThatNamesIt) {
    const std::string longest(508, 'A');
    const struct {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{"--send", "A0", "--bogus"}, "unknown option '--bogus'"},
        {{"--send"}, "option --send needs a value (TEXT)"},
        {{"--send", ""}, "--send: the command text is empty"},
        {{"--send=", "--address", "2"}, "--send: the command text is empty"},
        {{"--send", longest},
         "the command text has 508 characters; the command field takes at "
         "most 507"},
        {{"--send", "a0 030.0\xc2\xb0"}, "only printable ASCII"},
        {{"--send", "A0\n"}, "only printable ASCII"},
        {{"--send", "A0", "--send", "T"}, "option --send given twice"},
        {{"--send", "A0", "--address", "0"}, "--address 0: the chamber address must be 1 to 32"},
        {{"--send", "A0", "--address", "33"}, "--address 33: the chamber address must be 1 to"},
        {{"--send", "A0", "--address=1x"}, "--address 1x: the chamber address must be"},
        {{"--send", "A0", "--address", "-1"}, "--address -1: the chamber address must be"},
        {{"--send", "A0", "--address", "0001"}, "--address 0001: the chamber address must be"},
        {{"--send", "A0", "--port", "com0"}, "--port com0: the port must be com1 to com20"},
        {{"--send", "A0", "--port", "com21"}, "--port com21: the port must be com1 to com20"},
        {{"--send", "A0", "--port", "3"}, "--port 3: the port must be com1 to com20"},
        {{"--send", "A0", "--port", "/dev/ttyS0"}, "--port /dev/ttyS0: the port must be"},
        {{"--send", "A0", "--mode", "3"}, "--mode 3: the display mode must be 0, 1 or 2"},
        {{"--send", "A0", "--mode", ""}, "--mode : the display mode must be 0, 1 or 2"},
        {{"--send", "A0", "--map", "com1"}, "--map com1: expected comN=DEVICE"},
        {{"--send", "A0", "--map", "com21=/dev/null"}, "the port must be com1 to com20"},
        {{"--trace"}, "option --trace needs --send"},
        {{"--scan", "--send", "A0", "--trace"}, "option --trace needs --send, and is not for"},
        {{"--address", "2"}, "options --address, --port and --mode need --send"},
        {{"--mode", "0", "--lang", "en"}, "options --address, --port and --mode need --send"},
        {{"--scan", "--address", "3"}, "options --scan and --address exclude each other"},
        {{"--scan", "--from", "20", "--to", "10"}, "--from 20 lies above --to 10"},
        {{"--scan", "--to", "33"}, "--to 33: the last address must be 1 to 32"},
        {{"--scan", "--timeout", "0"}, "--timeout 0: the wait for a first byte must be 1 to 2000"},
        {{"--scan", "--timeout=2001"}, "--timeout 2001: the wait for a first byte must be"},
        {{"--scan", "--send", "A0", "--repeat", "2"},
         "--repeat, --interval and --timestamps are "
         "not for --scan"},
        {{"--send", "A0", "--from", "2"}, "options --from, --to and --timeout need --scan"},
        {{"--repeat", "2"}, "options --repeat, --interval and --timestamps need --send"},
        {{"--timestamps"}, "options --repeat, --interval and --timestamps need --send"},
        {{"--send", "A0", "--interval", "1"}, "option --interval needs --repeat"},
        {{"--send", "A0", "--repeat", "-1"}, "--repeat -1: the number of exchanges must be 0"},
        {{"--send", "A0", "--repeat", "2", "--interval", "0.05"},
         "--interval 0.05: the interval must be 0.1 to 86400 seconds"},
        {{"--send", "A0", "--repeat", "2", "--interval", "1e3"}, "--interval 1e3: the interval"},
        {{"--send", "A0", "--repeat", "2", "--interval", "0.1234"}, "at most three decimals"},
    };
    std::vector<std::vector<std::string>> argLists;
    for (const auto &c : cases) argLists.push_back(c.args);
    const std::vector<ToolRun> runs = run_tools(argLists);
    for (size_t i = 0; i < runs.size(); i++) {
        SCOPED_TRACE(cases[i].message);
        EXPECT_EQ(runs[i].status, 64) << runs[i].err;
        EXPECT_EQ(runs[i].out, "");
        EXPECT_EQ(runs[i].err.rfind("kelvra-ascii: ", 0), 0u) << runs[i].err;
        EXPECT_NE(runs[i].err.find(cases[i].message), std::string::npos) << runs[i].err;
        EXPECT_EQ(lines_of(runs[i].err).size(), 1u) << runs[i].err;
    }
}

// The help names the exchange's options under their own section, explains its output and exit
// statuses, and every option its examples use is one that it lists.
TEST(CommandLineUsage, HelpDescribesTheExchangeAndItsExamplesUseOnlyListedOptions) {
    const ToolRun help = run_tools({{"--help"}}).front();
    ASSERT_EQ(help.status, 0) << help.err;
    const std::string &text = help.out;
    const size_t section = text.find("\nCommand-line exchange:\n");
    ASSERT_NE(section, std::string::npos) << text;
    for (const char *row : {"  --send TEXT", "  --address N", "  --port comN", "  --mode 0|1|2"})
        EXPECT_NE(text.find(row, section), std::string::npos) << row;
    for (const char *piece :
         {"RS-232 Message", "0 valid", "1 none", "2 serial-port error", "64 usage error", "UTF-8"})
        EXPECT_NE(text.find(piece), std::string::npos) << piece;
    const size_t scan = text.find("\nBus scan:\n");
    ASSERT_NE(scan, std::string::npos) << text;
    for (const char *row : {"  --scan", "  --from N", "  --to N", "  --timeout MS"})
        EXPECT_NE(text.find(row, scan), std::string::npos) << row;

    std::vector<std::string> listed;
    const std::regex row("^  (--[a-z-]+).*$"), example("^  kelvra-ascii (.*)$");
    int examples = 0, sending = 0;
    for (const std::string &line : lines_of(text)) {
        std::smatch match;
        if (std::regex_match(line, match, row)) listed.push_back(match[1]);
        if (!std::regex_match(line, match, example)) continue;
        examples++;
        std::istringstream words(match[1].str());
        for (std::string word; words >> word;) {
            if (word.rfind("--", 0) != 0) continue;
            sending += word == "--send";
            EXPECT_NE(std::find(listed.begin(), listed.end(), word), listed.end()) << line;
        }
    }
    EXPECT_GE(examples, 3);
    EXPECT_GE(sending, 2) << "examples of the command-line exchange";
}

} // namespace
