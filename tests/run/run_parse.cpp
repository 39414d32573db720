// The sequence file's parser: a file that parses into the steps it says, and every kind of error
// with the line and column it names.
#include "run/sequence.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

std::unique_ptr<Sequence> sequence = std::make_unique<Sequence>();

int parse(const std::string &text, ParseError *error) {
    return parse_sequence(text.data(), long(text.size()), sequence.get(), error);
}

TEST(SequenceParse, ReadsEveryStepKindWithItsFields) {
    const std::string file =
        "\xEF\xBB\xBF# acceptance of a repaired chamber (30 \xC2\xB0"
        "C)\r\n"
        "chamber com3:12\r\n"
        "send a0 030.0                       # set point\n"
        "expect ok, retries 2\n"
        "wait until A0 actual within 0.5 of set for 10 min, timeout 1 h, every 5s\n"
        "send \"x#y\"\n"
        "expect text matches \"^F\\\\d \\\"\"\n"
        "check A0 set == 30.0\n"
        "check \"S\" text matches \"^S1\"\n"
        "on fail continue\n"
        "repeat 3 {\n"
        "  pause 0.5 s\n"
        "}\n"
        "alarm A0 actual between 15 and 40 for 1 min\n"
        "alarm no answer for 30 s\n";
    ParseError error;
    ASSERT_EQ(parse(file, &error), 0) << error.line << ":" << error.column << ": " << error.message;
    ASSERT_EQ(sequence->count, 14);
    const Step *s = sequence->steps;
    EXPECT_EQ(s[0].kind, STEP_CHAMBER);
    EXPECT_EQ(s[0].port, 3);
    EXPECT_EQ(s[0].address, 12);
    EXPECT_STREQ(s[1].command, "a0 030.0");
    EXPECT_STREQ(s[1].text, "send a0 030.0");
    EXPECT_EQ(s[1].line, 3);
    EXPECT_EQ(s[2].condition.outcome, 0);
    EXPECT_EQ(s[2].retries, 2);
    EXPECT_STREQ(s[3].command, "A0");
    EXPECT_EQ(s[3].condition.op, OP_WITHIN);
    EXPECT_EQ(s[3].condition.otherField, FIELD_SET);
    EXPECT_DOUBLE_EQ(s[3].condition.tolerance, 0.5);
    EXPECT_STREQ(s[3].condition.text, "A0 actual within 0.5 of set");
    EXPECT_EQ(s[3].holdMs, 600000);
    EXPECT_EQ(s[3].timeoutMs, 3600000);
    EXPECT_EQ(s[3].everyMs, 5000);
    EXPECT_STREQ(s[4].command, "x#y");
    EXPECT_STREQ(s[5].condition.pattern, "^F\\d \"");
    EXPECT_EQ(s[6].condition.op, OP_EQ);
    EXPECT_EQ(s[6].condition.otherField, FIELD_NUMBER);
    EXPECT_STREQ(s[7].command, "S");
    EXPECT_EQ(s[8].continueOnFail, 1);
    EXPECT_EQ(s[9].partner, 11);
    EXPECT_EQ(s[11].partner, 9);
    EXPECT_EQ(s[10].holdMs, 500);
    EXPECT_EQ(s[12].condition.op, OP_BETWEEN);
    EXPECT_EQ(s[12].holdMs, 60000);
    EXPECT_STREQ(s[12].condition.text, "A0 actual between 15 and 40 for 1 min");
    EXPECT_EQ(s[13].condition.kind, CONDITION_SILENCE);
    EXPECT_EQ(s[13].port, 3) << "an alarm watches the chamber named before it";
}

TEST(SequenceParse, NamesTheLineAndColumnOfEachError) {
    const std::string head = "chamber com1:1\nsend A0\n";
    const struct {
        std::string text;
        const char *place; // "LINE:COLUMN"
        const char *says;
    } cases[] = {
        {"", "0:0", "no step"},
        {"# only a comment\n\n", "0:0", "no step"},
        {"chamber com1:1\nrepeat 2 {\n}\nalarm no answer for 1 s\n", "0:0", "no step"},
        {"chamber com21:1\n", "1:9", "comN:ADDRESS"},
        {"chamber com1:33\n", "1:9", "comN:ADDRESS"},
        {"chamber com1\n", "1:9", "comN:ADDRESS"},
        {"chamber com1:1 extra\n", "1:16", "unexpected \"extra\""},
        {"send A0\n", "1:1", "no chamber"},
        {"chamber com1:1\nexpect ok\n", "2:1", "judges the exchange before it"},
        {"chamber com1:1\nfrobnicate\n", "2:1", "unknown step \"frobnicate\""},
        {head + "send\n", "3:5", "command text is empty"},
        {head + "send \"abc\n", "3:6", "quote opened here is not closed"},
        {head + "send " + std::string(508, 'x') + "\n", "3:6", "longer than 507"},
        {head + "send a\x01"
                "b\n",
         "3:7", "byte 0x01"},
        {head + "send \xC3\xA4\n", "3:6", "only printable ASCII outside comments"},
        {head + "expect okay\n", "3:8", "expected an outcome code"},
        {head + "expect text \"x\"\n", "3:13", "expected \"matches\""},
        {head + "expect text matches x\n", "3:21", "regular expression in quotes"},
        {head + "expect text matches \"(\"\n", "3:21", "bad regular expression"},
        {head + "expect A0 warm > 3\n", "3:11", "\"actual\" or \"set\""},
        {head + "expect A0 actual ~ 3\n", "3:18", "expected a comparison"},
        {head + "expect A0 actual > warm\n", "3:20", "a number, \"actual\" or \"set\""},
        {head + "expect A0 actual within -1 of set\n", "3:18", "tolerance is negative"},
        {head + "expect A0 actual within 1 set\n", "3:27", "expected \"of\""},
        {head + "expect A0 actual between 40 and 15\n", "3:18", "low end lies above"},
        {head + "expect A0 actual between 1 to 2\n", "3:28", "expected \"and\""},
        {head + "expect ok retries 2\n", "3:11", "unexpected \"retries\""},
        {head + "expect ok, retries 101\n", "3:20", "whole number from 0 to 100"},
        {head + "expect ok, retries 1.5\n", "3:20", "whole number"},
        {head + "check ok\n", "3:7", "write the command text first"},
        {head + "check \"\" ok\n", "3:7", "command text is empty"},
        {head + "wait A0 actual > 1\n", "3:6", "expected \"until\""},
        {head + "wait until A0 actual > 1 for 10\n", "3:30", "needs a unit"},
        {head + "wait until A0 actual > 1 for 10 weeks\n", "3:30", "needs a unit"},
        {head + "wait until A0 actual > 1 for 8 d\n", "3:30", "needs a unit"},
        {head + "wait until A0 actual > 1 for 200 h\n", "3:30", "longer than 7 days"},
        {head + "wait until A0 actual > 1, timeout 1 min, timeout 2 min\n", "3:42", "each once"},
        {head + "wait until A0 actual > 1, every 50 ms\n", "3:27", "at least 100 ms"},
        {head + "wait until A0 actual > 1 for 10 min, timeout 5 min\n", "3:1",
         "timeout is shorter"},
        {head + "wait until A0 actual > 1 soon\n", "3:26", "options follow a comma"},
        {head + "pause\n", "3:6", "a duration such as"},
        {head + "pause -5 s\n", "3:7", "a duration such as"},
        {head + "repeat 0 {\n}\n", "3:8", "from 1 to 1000000"},
        {head + "repeat 2\n}\n", "3:9", "expected \"{\""},
        {head + "repeat 2 {\nsend A0\n", "3:1", "no closing }"},
        {head + "}\n", "3:1", "closes no repeat"},
        {head + "repeat 1 {\nrepeat 1 {\nrepeat 1 {\nrepeat 1 {\nrepeat 1 {\nrepeat 1 {\n"
                "repeat 1 {\nrepeat 1 {\nrepeat 1 {\n",
         "11:1", "nest deeper than 8"},
        {head + "on fail maybe\n", "3:9", "\"continue\" or \"stop\""},
        {head + "alarm A0 actual between 15 and\n", "3:31", "high end"},
        {head + "alarm ok\n", "3:7", "an alarm watches"},
        {head + "alarm no answer 30 s\n", "3:17", "expected \"for\""},
        {head + std::string(1100, '#') + "\n", "3:1023", "longer than"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        ParseError error;
        EXPECT_EQ(parse(c.text, &error), -1);
        EXPECT_EQ(sequence->count, 0) << "nothing of a file that does not parse is kept";
        EXPECT_EQ(std::to_string(error.line) + ":" + std::to_string(error.column), c.place)
            << error.message;
        EXPECT_NE(std::strstr(error.message, c.says), nullptr) << error.message;
    }
    ParseError error{3, 14, "expected \"of\""};
    char text[512];
    parse_error_text("check.seq", &error, text, sizeof text);
    EXPECT_STREQ(text, "check.seq:3:14: expected \"of\"");
}

TEST(SequenceParse, AnAlarmOfTheCommandLineReadsAsTheFileWritesIt) {
    Step step;
    ParseError error;
    ASSERT_EQ(parse_alarm("A0 actual within 2.0 of set for 30 s", &step, &error), 0)
        << error.message;
    EXPECT_EQ(step.condition.op, OP_WITHIN);
    EXPECT_EQ(step.holdMs, 30000);
    EXPECT_EQ(step.port, 0) << "every chamber";
    ASSERT_EQ(parse_alarm("no answer for 1 min", &step, &error), 0);
    EXPECT_EQ(step.condition.kind, CONDITION_SILENCE);
    EXPECT_EQ(parse_alarm("A0 actual within 2.0 set", &step, &error), -1);
    EXPECT_EQ(error.column, 22);
}

} // namespace
