// The chamber's state model and its answers, with the time set by the test.
#include "sim/answer.h"
#include "sim/chamber.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const long long CLOCK_2009 = 1255437000; // 13.10.2009 12:30:00 as UTC fields
const double START = 1000.0;             // any monotonic time

struct Answered {
    int length;
    std::string text;
    std::string why;
};

Answered ask(Chamber *chamber, const char *request, double now = START, int address = 1) {
    char answer[ANSWER_SIZE];
    const char *why = "";
    int n = answer_request(chamber, address, request, now, answer, &why);
    return {n, answer, why};
}

class SimChamber : public ::testing::Test {
protected:
    void SetUp() override { chamber_init(&chamber, CLOCK_2009, START); }
    Chamber chamber;
};

TEST_F(SimChamber, ActualValueFollowsTheSetValueAtTheRampRates) {
    const struct Case {
        double set_value, rate_up, rate_down, seconds, expected;
    } cases[] = {
        {30.0, 3.0, 3.0, 60.0, 26.5},     // 3 K/min up from 23.5
        {30.0, 3.0, 3.0, 600.0, 30.0},    // stops at the set value
        {20.0, 3.0, 1.5, 60.0, 22.0},     // falling uses the falling rate
        {-10.0, 3.0, 999.9, 60.0, -10.0}, // "reset" rate: there within seconds
        {30.0, 0.0, 3.0, 600.0, 23.5},    // rate 0 holds the value
        {23.5, 3.0, 3.0, 60.0, 23.5},
    };
    for (const Case &c : cases) {
        chamber_init(&chamber, CLOCK_2009, START);
        ASSERT_EQ(chamber_set_rate(&chamber, 1, c.rate_up, START), 0);
        ASSERT_EQ(chamber_set_rate(&chamber, 0, c.rate_down, START), 0);
        ASSERT_EQ(chamber_set_value(&chamber, c.set_value, START), 0);
        EXPECT_NEAR(chamber_actual(&chamber, START + c.seconds), c.expected, 1e-9)
            << c.set_value << " after " << c.seconds << " s";
    }
}

TEST_F(SimChamber, ChangesMidRampTakeEffectFromThatMoment) {
    ASSERT_EQ(chamber_set_value(&chamber, 40.0, START), 0);
    ASSERT_EQ(chamber_set_rate(&chamber, 1, 6.0, START + 60.0), 0); // 26.5 by now
    EXPECT_NEAR(chamber_actual(&chamber, START + 120.0), 32.5, 1e-9);
    ASSERT_EQ(chamber_set_value(&chamber, 20.0, START + 120.0), 0);
    EXPECT_NEAR(chamber_actual(&chamber, START + 180.0), 29.5, 1e-9); // falls at 3 K/min
    EXPECT_NEAR(chamber_actual(&chamber, START + 170.0), 29.5, 1e-9); // time never runs back
}

TEST_F(SimChamber, RefusesValuesOutOfRangeAndKeepsTheOldOnes) {
    EXPECT_EQ(chamber_set_value(&chamber, -70.1, START), -1);
    EXPECT_EQ(chamber_set_value(&chamber, 180.1, START), -1);
    EXPECT_EQ(chamber_set_rate(&chamber, 1, 1000.0, START), -1);
    EXPECT_EQ(chamber_set_rate(&chamber, 0, -0.1, START), -1);
    EXPECT_EQ(chamber.set_value, 25.0);
    EXPECT_EQ(chamber.rate_up, 3.0);
    EXPECT_EQ(chamber.rate_down, 3.0);
    EXPECT_EQ(chamber_set_value(&chamber, -70.0, START), 0);
    EXPECT_EQ(chamber_set_value(&chamber, 180.0, START), 0);
}

TEST_F(SimChamber, ClockRunsAndIsSetByT) {
    EXPECT_EQ(ask(&chamber, "T").text, "T131009123000");
    EXPECT_EQ(ask(&chamber, "T", START + 3661.7).text, "T131009133101");
    EXPECT_EQ(ask(&chamber, "t311299235959", START + 5000.0).text, "t311299235959");
    EXPECT_EQ(ask(&chamber, "T", START + 5000.0).text, "T311299235959");
    EXPECT_EQ(ask(&chamber, "T", START + 5001.0).text, "T010100000000");    // into 2100
    EXPECT_EQ(ask(&chamber, "t290224000000", START).text, "t290224000000"); // leap day
}

TEST(SimAnswerClock, RefusesTextsThatAreNoDateAndTime) {
    const char *bad[] = {"300223120000", "311123120000", "001023120000",
                         "011323120000", "010123240000", "010123126000",
                         "010123120060", "0101231200x0", "01012312000"};
    long long clock = 7;
    for (const char *text : bad) {
        EXPECT_EQ(answer_parse_clock(text, &clock), -1) << text;
        EXPECT_EQ(clock, 7);
    }
}

TEST(SimAnswerValue, FitsTheFiveCharacterField) {
    const struct Case {
        double value;
        const char *field;
    } cases[] = {
        {23.5, "023.5"},  {25.0, "025.0"},  {-10.0, "-10.0"}, {-5.25, "-05.3"}, {-70.0, "-70.0"},
        {180.0, "180.0"}, {999.9, "999.9"}, {0.0, "000.0"},   {-0.04, "000.0"}, {5.48, "005.5"},
    };
    for (const Case &c : cases) {
        char field[6];
        answer_format_value(c.value, field);
        EXPECT_STREQ(field, c.field) << c.value;
    }
}

TEST_F(SimChamber, AnswersInTheResponseLayouts) {
    const struct Case {
        const char *request, *answer;
    } steps[] = {
        // Each step works on the state that the steps before it left.
        {"A0", "A0 023.5 025.0"},
        {"U0", "U0 003.0 003.0"},
        {"E0", "E0 025.0"},
        {"a0 030.0", "a"},
        {"E0", "E0 030.0"},
        {"u0 03.50", "u"},
        {"d0 05.48", "d"},
        {"U0", "U0 003.5 005.5"},
        {"u0 999.9", "u"},
        {"U0", "U0 999.9 005.5"},
        {"a0 -10.0", "a"},
        {"A0", "A0 023.5 -10.0"},
        {"S", "S001000000"},
        {"s1 1", "s1"},
        {"s3 1", "s3"},
        {"O", "O1010000000000000"},
        {"o10 1", "o10"},
        {"o04 1", "o04"},
        {"O", "O1011000001000000"},
        {"S", "S101010000"},
        {"s2 1", "s2"},
        {"S", "S111010001"},
        {"F", "Ftemperature limit exceeded"},
        {"s2 0", "s2"},
        {"F", "Fno error"},
        {"P", "P000"},
        {"p001", "p"},
        {"P", "P001"},
        {"p12", "p"},
        {"P", "P012"},
        {"p000", "p"},
        {"P", "P000"},
        {"L", "L0"},
        {"l2", "l"},
        {"L", "L2"},
        {"l0", "l"},
        {"L", "L0"},
        {"H", "HA a d E F H I i L l M m O o P p R S s T t U u"},
        {"I", "Ikelvra-chamber simulator, chamber 1"},
        {"M", "M1 analogue channel, 16 digital channels"},
        {"R", "RKelvra ASCII 3.0"},
        {"i", "i"},
        {"m 12 xyz", "m 12 xyz"},
    };
    for (const Case &step : steps) {
        Answered a = ask(&chamber, step.request);
        EXPECT_EQ(a.text, step.answer) << step.request;
        EXPECT_EQ(a.length, (int)a.text.size()) << step.request;
    }
    EXPECT_EQ(ask(&chamber, "I", START, 17).text, "Ikelvra-chamber simulator, chamber 17");
}

TEST_F(SimChamber, GivesNoAnswerToWhatItCannotDoAndChangesNothing) {
    const struct Group {
        const char *what;
        std::vector<const char *> requests;
    } refused[] = {
        {"no such letter", {"", "B", "x", "5"}},
        {"no such channel", {"A", "A1", "U9", "E", "a1 030.0"}},
        {"no number", {"a0", "a0 ", "a0 abc", "a0 1.2.3", "u0 3,5"}},
        {"out of range", {"a0 180.1", "a0 -70.5", "u0 1000", "d0 -1"}},
        {"no clock", {"t", "t1310091230", "t1310091230001", "t320109123000"}},
        {"no channel or state", {"s", "s4 1", "s0 1", "s1", "s1 2"}},
        {"no index or state", {"o", "o1", "o00 1", "o17 1", "o10 x", "oab 1"}},
        {"no number or level", {"p", "p1000", "p-1", "p1a", "l", "l3", "lx"}},
    };
    chamber_set_digital(&chamber, DIGITAL_START, 1);
    Chamber before = chamber;
    for (const Group &group : refused)
        for (const char *request : group.requests) {
            Answered a = ask(&chamber, request);
            EXPECT_EQ(a.length, -1) << group.what << ": \"" << request << "\" got " << a.text;
            EXPECT_EQ(a.text, "") << request;
            EXPECT_NE(a.why, "") << request;
        }
    EXPECT_EQ(chamber.actual, before.actual);
    EXPECT_EQ(chamber.set_value, before.set_value);
    EXPECT_EQ(chamber.rate_up, before.rate_up);
    EXPECT_EQ(chamber.rate_down, before.rate_down);
    EXPECT_EQ(chamber_clock(&chamber, START), chamber_clock(&before, START));
    EXPECT_STREQ(chamber.digital, before.digital);
    EXPECT_EQ(chamber.programme, before.programme);
    EXPECT_EQ(chamber.lock_level, before.lock_level);
    EXPECT_EQ(chamber.error, before.error);
}

TEST_F(SimChamber, RepeatsTheLongestRequestWhole) {
    std::string request = "i" + std::string(MAX_COMMAND_LENGTH - 1, 'x');
    Answered a = ask(&chamber, request.c_str());
    EXPECT_EQ(a.length, MAX_COMMAND_LENGTH);
    EXPECT_EQ(a.text, request);
}

} // namespace
