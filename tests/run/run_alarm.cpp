// The alarms' judgement, a pure function of records and their times: bands left and regained
// for the time given, silence, and the watch that judges each record once for every reader.
#include "run/alarm.h"
#include "tests/run/fake_line.h"

#include <gtest/gtest.h>

#include <cmath>

#include <memory>
#include <string>
#include <vector>

namespace {

struct Heard {
    double seconds;
    std::string payload; // "" for no answer
};

std::unique_ptr<ExchangeRecord> record_of(const Heard &h, int address = 1) {
    auto record = std::make_unique<ExchangeRecord>();
    fake_record(record.get(), 1, address, "A0", h.payload,
                h.payload.empty() ? RECEIVE_NO_ANSWER : RECEIVE_OK, std::llround(h.seconds * 1000));
    return record;
}

TEST(Alarms, RaiseOnLeavingTheBandOrFallingSilentAndClearOnceBackForTheTimeGiven) {
    const struct {
        const char *alarm;
        std::vector<Heard> heard;
        const char *events; // per record: "-" nothing, "R" raised, "C" cleared
    } cases[] = {
        {"A0 actual between 15 and 40",
         {{0, "A0 020.0 025.0"},
          {10, "A0 040.1 025.0"},
          {20, "A0 041.0 025.0"},
          {30, "A0 040.0 025.0"}},
         "-R-C"},
        {"A0 actual between 15 and 40 for 30 s",
         {{0, "A0 041.0 025.0"},
          {10, "A0 039.0 025.0"},
          {20, ""}, // silence neither breaks nor proves the band
          {35, "A0 041.0 025.0"},
          {40, "A0 039.0 025.0"},
          {60, "A0 039.0 025.0"},
          {70, "A0 039.0 025.0"}},
         "R-----C"},
        {"A0 actual within 2.0 of set",
         {{0, "A0 028.5 030.0"}, {5, "A0 027.9 030.0"}, {10, "A0 032.0 030.0"}, {15, "F x"}},
         "-RC-"},
        {"A0 set > 20 for 5 s",
         {{0, "A0 028.5 020.0"}, {5, "A0 028.5 021.0"}, {10, "A0 028.5 021.0"}},
         "R-C"},
        {"A0 actual < 50", {{0, "A1 099.0 020.0"}, {5, "S0100"}, {10, "A0 050.0 020.0"}}, "--R"},
        {"no answer for 30 s",
         {{0, ""}, {20, ""}, {30, ""}, {40, ""}, {45, "A0 020.0 020.0"}, {60, ""}, {76, ""}},
         "--R-C-R"},
        {"no answer for 30 s",
         {{0, "A0 020.0 020.0"}, {29, ""}, {31, ""}, {32, "A0 020.0 020.0"}},
         "--RC"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.alarm);
        Step alarm;
        ParseError error;
        ASSERT_EQ(parse_alarm(c.alarm, &alarm, &error), 0) << error.message;
        AlarmState state{0, 0, 0, -1};
        std::string events;
        for (const Heard &h : c.heard) {
            char detail[ALARM_DETAIL_SIZE];
            const int event = alarm_hear(&alarm, &state, record_of(h).get(),
                                         std::llround(h.seconds * 1000), detail, sizeof detail);
            events += event == ALARM_RAISED ? 'R' : event == ALARM_CLEARED ? 'C' : '-';
        }
        EXPECT_EQ(events, c.events);
    }
}

TEST(Alarms, TheWatchJudgesEachRecordOnceAndEachChamberApart) {
    auto watch = std::make_unique<AlarmWatch>();
    alarm_watch_clear(watch.get());
    Step band, silence;
    ParseError error;
    ASSERT_EQ(parse_alarm("A0 actual between 15 and 40", &band, &error), 0);
    ASSERT_EQ(parse_alarm("no answer for 1 s", &silence, &error), 0);
    alarm_watch_add(watch.get(), &band, 7);
    silence.port = 1, silence.address = 2; // this one watches chamber com1:2 only
    alarm_watch_add(watch.get(), &silence, 8);

    const auto hot = record_of({10, "A0 041.5 030.0"}, 1);
    char column[ALARM_COLUMN_SIZE];
    alarm_watch_column(watch.get(), hot.get(), column, sizeof column);
    EXPECT_STREQ(column, "raised A0 actual between 15 and 40 (actual 41.5, set 30.0)");
    EXPECT_EQ(alarm_watch_hear(watch.get(), hot.get()), 1) << "the same record, the same events";
    EXPECT_EQ(watch->events[0].owner, 7);
    EXPECT_EQ(alarm_watch_standing(watch.get()), 1);

    // the other chamber has its own state; its silence is watched by the second alarm too
    EXPECT_EQ(alarm_watch_hear(watch.get(), record_of({11, "A0 020.0 030.0"}, 2).get()), 0);
    EXPECT_EQ(alarm_watch_hear(watch.get(), record_of({12, ""}, 2).get()), 1);
    EXPECT_EQ(alarm_watch_standing(watch.get()), 2);
    char text[256];
    ASSERT_EQ(alarm_watch_standing_text(watch.get(), 1, text, sizeof text), 0);
    EXPECT_STREQ(text, "com1:2 no answer for 1 s");
    EXPECT_EQ(alarm_watch_standing_text(watch.get(), 2, text, sizeof text), -1);

    alarm_watch_remove(watch.get(), 7);
    EXPECT_EQ(alarm_watch_standing(watch.get()), 1) << "the other owner's alarm stands";
    alarm_watch_column(watch.get(), record_of({13, "A0 020.0 030.0"}, 2).get(), column,
                       sizeof column);
    EXPECT_STREQ(column, "cleared no answer for 1 s (answered)");
}

} // namespace
