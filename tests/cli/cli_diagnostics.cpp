// Why the answer failed, from the command line: one run per outcome against a chamber whose
// answer the test scripts (the simulator's slow fault for the time limit), each telling its code
// and words on stderr with the exit status; the valid one with --trace, every byte both ways.
#include "link/link.h"
#include "tests/cli/cli_run.h"
#include "tests/support/exchange_chamber.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>

namespace {

// "A0 023.5 025.0" from chamber 1, as a chamber answers "A0".
const std::string answer = ScriptedChamber::frame("A0 023.5 025.0");

std::string withByte(std::string frame, size_t at, char byte) {
    frame[at] = byte;
    return frame;
}

// A frame whose body (509 bytes) is one byte too long for the response buffer.
std::string tooLong() {
    std::string frame = {STX, char(0x81)};
    unsigned char sum = 1;
    for (int i = 0; i < 508; i++) {
        frame += char('Q' | 0x80);
        sum ^= 'Q';
    }
    return frame + char(sum | 0x80) + char(ETX);
}

TEST(CommandLineDiagnostics, EachOutcomeIsToldWithItsCodeAndWords) {
    const struct {
        std::string reply; // the scripted chamber's answer to A0; empty: silence
        std::vector<std::string> options;
        int status;
        std::string told; // the last line on stderr; a prefix where it ends in ' ' or '('
    } cases[] = {
        {answer + "\r\n",
         {"--trace"},
         0,
         "outcome ok byte 17 value 0x03 read 18 flushed 2 written 6 rtt "},
        {"", {"--lang", "en"}, 1, "no valid answer: no-answer: no answer within 1000 ms"},
        {"\x7F" + answer,
         {"--lang", "en"},
         1,
         "no valid answer: bad-start: bad start: byte 0 is 0x7F, not STX (0x02)"},
        {ScriptedChamber::frame("A0 023.5 025.0", 2),
         {"--lang", "en"},
         1,
         "no valid answer: wrong-address: wrong address: byte 1 is 0x82 (chamber 2), not 0x81 "
         "(chamber 1)"},
        {withByte(answer, 4, '\r'),
         {"--lang", "en"},
         1,
         "no valid answer: no-high-bit: no high bit: byte 4 is 0x0D (not ETX)"},
        {withByte(answer, 16, char(answer[16] ^ 0x35)),
         {},
         1,
         "no valid answer: bad-checksum: Pr\xc3\xbc"
         "fsumme falsch: Byte 16 ergibt 0x35"},
        {tooLong(),
         {"--lang", "en"},
         1,
         "no valid answer: too-long: too long: byte 510 does not fit the response buffer"},
        {answer.substr(0, 5),
         {"--lang", "en"},
         1,
         "no valid answer: incomplete: incomplete: silence after 5 bytes"},
        {"",
         {"--lang", "en"},
         1,
         "no valid answer: too-slow: too slow: the frame was not complete within the time limit ("},
        {"",
         {},
         2,
         "no valid answer: port-error: Schnittstellenfehler: com1 (/nonexistent/kelvra-line): "
         "Ger\xc3\xa4t nicht vorhanden"},
    };
    const size_t slow = 8, missing = 9;
    std::vector<std::unique_ptr<ScriptedChamber>> chambers;
    SimProcess trickle({"--fault", "slow", "--byte-gap", "300"});
    ASSERT_TRUE(trickle.started());
    std::vector<std::vector<std::string>> argLists;
    for (size_t i = 0; i < std::size(cases); i++) {
        std::string device = i == slow ? trickle.path() : "/nonexistent/kelvra-line";
        if (i != slow && i != missing) {
            const std::string reply = cases[i].reply;
            chambers.push_back(std::make_unique<ScriptedChamber>(
                [reply](const std::string &, int) { return reply; }));
            ASSERT_TRUE(chambers.back()->ok());
            device = chambers.back()->path();
        }
        std::vector<std::string> args = {"--send", "A0", "--map", "com1=" + device};
        args.insert(args.end(), cases[i].options.begin(), cases[i].options.end());
        argLists.push_back(args);
    }
    const std::vector<ToolRun> runs = run_tools(argLists);
    for (size_t i = 0; i < runs.size(); i++) {
        SCOPED_TRACE(cases[i].told);
        EXPECT_EQ(runs[i].status, cases[i].status) << runs[i].err;
        const std::vector<std::string> lines = lines_of(runs[i].err);
        const std::string &told = cases[i].told;
        ASSERT_FALSE(lines.empty());
        if (told.back() == '(' || told.back() == ' ')
            EXPECT_EQ(lines.back().rfind(told, 0), 0u) << lines.back();
        else
            EXPECT_EQ(lines.back(), told);
    }
    const std::vector<std::string> trace = lines_of(runs[0].err);
    ASSERT_EQ(trace.size(), 3u) << runs[0].err;
    EXPECT_EQ(trace[0], "TX +0.000 ms 02 81 C1 B0 F0 03");
    // the answer came at once, though it was read only after Enter's wait of 500 ms
    std::smatch time;
    ASSERT_TRUE(
        std::regex_match(trace[1], time,
                         std::regex(R"(RX \+(\d+\.\d{3}) ms 02 81 C1 B0 A0 B0 B2 B3 AE B5 A0 B0 )"
                                    R"(B2 B5 AE B0 [0-9A-F]{2} 03)")))
        << trace[1];
    EXPECT_LT(std::stod(time[1]), 250.0) << trace[1];
    // the port's own messages come first, in the panel's language too
    const std::vector<std::string> messages = lines_of(runs[missing].err);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], "RS-232 Message: com1 (/nonexistent/kelvra-line): Ger\xc3\xa4t nicht "
                           "vorhanden");
}

} // namespace
