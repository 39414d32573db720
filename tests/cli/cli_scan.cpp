// The bus scan from the command line, against simulated chambers: exactly the addresses that
// answer are listed, with their round trips and entries; a scan that finds none and one whose
// port fails end with their own statuses.
#include "tests/cli/cli_run.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>

namespace {

TEST(CommandLineScan, ListsExactlyTheAddressesThatAnswer) {
    SimProcess both({"--address", "3", "--address", "17"}), fifth({"--address", "5"}),
        none({"--address", "9"});
    ASSERT_TRUE(both.started() && fifth.started() && none.started());
    const std::vector<ToolRun> runs = run_tools({
        {"--scan", "--map", "com1=" + both.path(), "--timeout", "100"},
        {"--scan", "--send", "E0", "--mode", "2", "--lang", "en", "--from", "4", "--to", "6",
         "--port", "com7", "--map", "com7=" + fifth.path()},
        {"--scan", "--from", "1", "--to", "4", "--timeout", "50", "--map", "com1=" + none.path()},
        {"--scan", "--map", "com1=/nonexistent"},
    });

    const std::regex answer(R"(^(\d+)\t\d+\.\d\tA0 \d{3}\.\d 025\.0$)");
    const std::vector<std::string> found = lines_of(runs[0].out);
    ASSERT_EQ(found.size(), 2u) << runs[0].out;
    std::smatch match;
    EXPECT_TRUE(std::regex_match(found[0], match, answer) && match[1] == "3") << found[0];
    EXPECT_TRUE(std::regex_match(found[1], match, answer) && match[1] == "17") << found[1];
    EXPECT_EQ(runs[0].status, 0);
    EXPECT_TRUE(std::regex_match(runs[0].err, std::regex("kelvra-ascii: scanned 32 of the "
                                                         "addresses 1\\.\\.32 in [0-9.]+ s: 2 "
                                                         "answered \\(3, 17\\)\n")))
        << runs[0].err;
    // 30 silent addresses at 0.1 s each, not at the 0.5 s of the default
    EXPECT_GT(runs[0].seconds, 3.0);
    EXPECT_LT(runs[0].seconds, 8.0);

    EXPECT_EQ(runs[1].status, 0) << runs[1].err;
    EXPECT_TRUE(std::regex_match(runs[1].out, std::regex("5\t\\d+\\.\\d\tRamp terminal value of "
                                                         "channel 0: =  25\\.0\n")))
        << runs[1].out;

    EXPECT_EQ(runs[2].status, 1);
    EXPECT_EQ(runs[2].out, "");
    EXPECT_NE(runs[2].err.find("scanned 4 of the addresses 1..4"), std::string::npos);
    EXPECT_NE(runs[2].err.find("none answered"), std::string::npos) << runs[2].err;

    // the port is the same for every address: the first failure ends the scan
    EXPECT_EQ(runs[3].status, 2);
    EXPECT_EQ(runs[3].out, "");
    EXPECT_EQ(runs[3].err.rfind("RS-232 Message: com1 (/nonexistent)", 0), 0u) << runs[3].err;
    EXPECT_NE(runs[3].err.find("scanned 1 of the addresses 1..32"), std::string::npos);
    EXPECT_NE(runs[3].err.find("stopped by a port error"), std::string::npos) << runs[3].err;
}

} // namespace
