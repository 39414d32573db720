// The steps of an exchange against the fakes, on a virtual clock: when each callback reads the
// response, what runs no exchange, how the histories are cut, and the longest command text.
#include "link/link.h"
#include "link/rs232.h"
#include "record/record.h"
#include "record/words.h"
#include "tests/support/com_ring.h"
#include "tests/support/fake_rs232.h"
#include "ui/callbacks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

const std::string A0_ANSWER = "\x02\x81" // "A0 023.5 025.0", address 1
                              "\xC1\xB0\xA0\xB0\xB2\xB3\xAE\xB5\xA0\xB0\xB2\xB5\xAE\xB0"
                              "\xF3\x03";

class Steps : public testing::Test {
protected:
    void SetUp() override {
        fake_rs232_reset();
        fake_ui_reset();
        fake_ui_main_panel_with_port(1);
        SetPanelAttribute(main_panel, ATTR_TITLE, "Title");
        SetCtrlVal(main_panel, SEND_STRING, "A0");
        SetCtrlVal(main_panel, KAMMER, 1);
        SetCtrlVal(main_panel, RINGSLIDE, 1);
        SetCtrlVal(main_panel, LED, 0);
    }
};

int value(int control) {
    int number = -1;
    GetCtrlVal(main_panel, control, &number);
    return number;
}

int enter() {
    return SENDEN(main_panel, SEND_STRING, EVENT_KEYPRESS, nullptr, VAL_ENTER_VKEY, 0);
}

int tick() {
    return TIMER(main_panel, SCANNER, EVENT_TIMER_TICK, nullptr, 0, 0);
}

// The calls logged from the write up to the receiver's first read.
std::vector<std::string> callsBetweenWriteAndRead() {
    const auto &calls = fake_rs232_calls();
    auto write = std::find(calls.begin(), calls.end(), "ComWrt 1");
    auto read = std::find(write, calls.end(), "ComRd 1");
    return write == calls.end() ? std::vector<std::string>{}
                                : std::vector<std::string>(write, read);
}

TEST_F(Steps, EnterWaitsTheLinkDelayBeforeReadingATickReadsAtOnce) {
    const struct {
        const char *name;
        int (*run)();
        double answerAt; // seconds after the write; FAKE_NEVER: no answer
        bool accepted;
        double endsAt;
    } cases[] = {
        {"enter, no answer", enter, FAKE_NEVER, false, 1.0},
        {"tick, no answer", tick, FAKE_NEVER, false, 0.5},
        {"enter, early answer waits in the queue", enter, 0.2, true, 0.5},
        {"enter, answer during the read", enter, 0.7, true, 0.7},
        {"enter, answer too late", enter, 1.2, false, 1.0},
        {"tick, answer during the read", tick, 0.3, true, 0.3},
        {"tick, answer too late", tick, 0.7, false, 0.5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (c.answerAt != FAKE_NEVER) fake_rs232_arrive(c.answerAt, A0_ANSWER);

        EXPECT_EQ(c.run(), 0);

        const auto between = callsBetweenWriteAndRead();
        const bool waited = std::count(between.begin(), between.end(), "Delay 0.5") == 1;
        EXPECT_EQ(waited, c.run == enter);
        EXPECT_EQ(value(LED), c.accepted ? 1 : 0);
        EXPECT_EQ(fake_ui_labels(main_panel, ZEICHEN_GESENDET), std::vector<std::string>{"A0"});
        EXPECT_EQ(fake_ui_labels(main_panel, ZEICHEN_EMPFANGEN),
                  c.accepted ? std::vector<std::string>{"A0 023.5 025.0"}
                             : std::vector<std::string>{});
        // the answer is taken as soon as its last byte is in; a flush finds nothing more
        const double answerEnd = c.answerAt + (double)A0_ANSWER.size() * FAKE_BYTE_TIME;
        EXPECT_NEAR(fake_rs232_now(), c.accepted ? std::max(c.endsAt, answerEnd) : c.endsAt, 0.05);
        // the receiver closes the port, and the exchange once more
        EXPECT_EQ(fake_rs232_count("CloseCom 1"), 2);
        EXPECT_EQ(fake_rs232_calls().back(), "CloseCom 1");
        EXPECT_FALSE(fake_rs232_is_open(1));
        char title[120];
        GetPanelAttribute(main_panel, ATTR_TITLE, title);
        EXPECT_STREQ(title, "Title");
    }
}

TEST_F(Steps, EventsThatRunNoExchange) {
    const struct {
        const char *name;
        CtrlCallbackPtr callback;
        int event, key;
        const char *command;
    } cases[] = {
        {"a letter", SENDEN, EVENT_KEYPRESS, 'x', "A0"},
        {"Esc", SENDEN, EVENT_KEYPRESS, VAL_ESC_VKEY, "A0"},
        {"a commit", SENDEN, EVENT_COMMIT, VAL_ENTER_VKEY, "A0"},
        {"Enter, empty command", SENDEN, EVENT_KEYPRESS, VAL_ENTER_VKEY, ""},
        {"a commit on the timer", TIMER, EVENT_COMMIT, 0, "A0"},
        {"tick, empty command", TIMER, EVENT_TIMER_TICK, 0, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        SetCtrlVal(main_panel, SEND_STRING, c.command);
        SetCtrlVal(main_panel, LED, 1);

        EXPECT_EQ(c.callback(main_panel, 0, c.event, nullptr, c.key, 0), 0);

        EXPECT_TRUE(fake_rs232_calls().empty());
        EXPECT_TRUE(fake_ui_labels(main_panel, ZEICHEN_GESENDET).empty());
        EXPECT_TRUE(fake_ui_labels(main_panel, ZEICHEN_EMPFANGEN).empty());
        EXPECT_EQ(value(LED), 1);
        char title[120];
        GetPanelAttribute(main_panel, ATTR_TITLE, title);
        EXPECT_STREQ(title, "Title");
    }
}

TEST_F(Steps, HistoriesKeepTheirElevenNewestBeforeEachInsertion) {
    const struct { int before, after; } cases[] = {{0, 1}, {10, 11}, {11, 12}, {12, 12}, {15, 12}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.before);
        SetUp();
        std::vector<FakeItem> items;
        for (int i = 0; i < c.before; i++) items.push_back({"old " + std::to_string(i), 0, ""});
        for (int list : {ZEICHEN_GESENDET, ZEICHEN_EMPFANGEN})
            fake_ui_set_items(main_panel, list, items, c.before > 0 ? c.before - 1 : -1);
        fake_rs232_arrive(0.1, A0_ANSWER);

        enter();

        for (int list : {ZEICHEN_GESENDET, ZEICHEN_EMPFANGEN}) {
            const auto labels = fake_ui_labels(main_panel, list);
            ASSERT_EQ(int(labels.size()), c.after);
            EXPECT_EQ(labels[0], list == ZEICHEN_GESENDET ? "A0" : "A0 023.5 025.0");
            for (int i = 1; i < c.after; i++)
                EXPECT_EQ(labels[size_t(i)], items[size_t(i - 1)].label);
            int index = -1;
            GetCtrlIndex(main_panel, list, &index);
            EXPECT_EQ(index, 0);
        }
    }
}

TEST_F(Steps, ACommandTextLongerThanAFrameHoldsIsCutByTheBuilder) {
    // the command field keeps texts this short; here nothing in front of the builder cuts it
    SetCtrlVal(main_panel, SEND_STRING, std::string(600, 'x').c_str());

    enter();

    const std::string written = fake_rs232_written();
    ASSERT_EQ(written.size(), size_t(MAX_COMMAND_LENGTH + 4));
    EXPECT_EQ(written.substr(0, 2), "\x02\x81");
    EXPECT_EQ(written.substr(2, MAX_COMMAND_LENGTH), std::string(MAX_COMMAND_LENGTH, '\xF8'));
    EXPECT_EQ(written.substr(MAX_COMMAND_LENGTH + 2), "\xF9\x03"); // 1 ^ 'x' (odd count) | 0x80
    EXPECT_EQ(fake_ui_labels(main_panel, ZEICHEN_GESENDET),
              std::vector<std::string>{std::string(MAX_COMMAND_LENGTH, 'x')});
}

} // namespace

namespace {

std::vector<ExchangeRecord> published;

void keep(const ExchangeRecord *record, void *) {
    published.push_back(*record);
}

// Each exchange hands one record to the readers, made after the panel got its entries: the
// frame as sent (not as mode 2 leaves it), both entries as shown, and the receive's outcome.
TEST_F(Steps, EachExchangeHandsItsRecordToTheReaders) {
    published.clear();
    published.reserve(3);
    const int id = add_exchange_listener(keep, nullptr);
    SetCtrlVal(main_panel, RINGSLIDE, 2);
    fake_rs232_arrive(0.01, A0_ANSWER);
    tick();
    SetCtrlVal(main_panel, SEND_STRING, "");
    enter(); // no exchange, no record
    SetCtrlVal(main_panel, SEND_STRING, "S");
    SetCtrlVal(main_panel, KAMMER, 7);
    SetCtrlIndex(main_panel, RING_COM, 20 - 12); // takes effect at the next exchange
    enter(); // no answer
    remove_exchange_listener(id);

    ASSERT_EQ(published.size(), 2u);
    const ExchangeRecord &answered = published[0];
    EXPECT_EQ(answered.trigger, BY_TIMER);
    EXPECT_STREQ(answered.command, "A0");
    EXPECT_EQ(std::string(answered.sent, size_t(answered.sentLength)),
              std::string("\x02\x81\xC1\xB0\xF0\x03"));
    EXPECT_EQ(answered.writeResult, 6);
    EXPECT_EQ(answered.port, 1);
    EXPECT_STREQ(answered.device, "fake:com1");
    EXPECT_EQ(answered.mode, 2);
    EXPECT_EQ(answered.sentText, fake_ui_labels(main_panel, ZEICHEN_GESENDET)[1]);
    EXPECT_EQ(answered.receivedText, fake_ui_labels(main_panel, ZEICHEN_EMPFANGEN)[0]);
    EXPECT_EQ(answered.answered, 1);
    EXPECT_EQ(answered.received.code, RECEIVE_OK);
    EXPECT_EQ(
        std::string(answered.received.bytes, answered.received.bytes + answered.received.count),
        std::string(A0_ANSWER.begin(), A0_ANSWER.end()));
    EXPECT_NEAR(answered.rttMs, 1000 * (0.01 + double(A0_ANSWER.size() - 1) * FAKE_BYTE_TIME), 1.0);

    const ExchangeRecord &silent = published[1];
    EXPECT_EQ(silent.trigger, BY_ENTER);
    EXPECT_EQ(silent.address, 7);
    EXPECT_EQ(silent.port, 12);
    EXPECT_EQ(fake_rs232_count("OpenComConfig 12 com12 "), 1);
    EXPECT_EQ(silent.answered, 0);
    EXPECT_EQ(silent.rttMs, -1);
    EXPECT_STREQ(silent.receivedText, "");
    EXPECT_EQ(silent.received.code, RECEIVE_NO_ANSWER);
}

// Whatever the line does, an exchange holds it at most EXCHANGE_LIMIT_MS from its write to its
// close: the read in progress, the flush passes and the close all end by then.
TEST_F(Steps, AnExchangeEndsWithinItsLimitWhateverTheLineDoes) {
    std::string badFrame = A0_ANSWER;
    badFrame[badFrame.size() - 2] ^= 0x01;
    const double frameTime = double(badFrame.size()) * FAKE_BYTE_TIME;
    const struct {
        const char *name;
        std::function<void()> line;
    } lines[] = {
        {"endless bad-checksum frames",
         [&] {
             for (int k = 0; k < 400; k++) fake_rs232_arrive(0.01 + k * frameTime, badFrame);
         }},
        {"gaps just under the time-out", [] { fake_rs232_arrive(0.01, A0_ANSWER, 0.49); }},
        {"a bad frame, then gaps just under the time-out",
         [&] {
             fake_rs232_arrive(0.01, badFrame);
             fake_rs232_arrive(0.4, A0_ANSWER, 0.49);
         }},
        {"noise", [] { fake_rs232_noise(0.01, 0.002, 0x55); }},
        {"noise after a valid frame",
         [] {
             fake_rs232_arrive(0.01, A0_ANSWER);
             fake_rs232_noise(0.05, 0.002, 0xFF);
         }},
    };
    const double limit = double(EXCHANGE_LIMIT_MS) / 1000;
    for (const auto &line : lines) {
        for (const bool byEnter : {true, false}) {
            SCOPED_TRACE(std::string(line.name) + (byEnter ? ", enter" : ", tick"));
            SetUp();
            line.line();
            if (byEnter)
                enter();
            else
                tick();
            EXPECT_LE(fake_rs232_now(), limit + 0.01);
            EXPECT_FALSE(fake_rs232_is_open(1));
        }
    }
}

} // namespace

namespace {

// A request that did not go out whole gets one message of its own (after a failed open, in place
// of the read's), no receive, no lamp and no answer, even a valid one that comes; the record
// tells readers why: after a failed open, by the open's cause, not by the port found not open.
TEST_F(Steps, AWriteThatFailsOrFallsShortIsReportedAndNothingIsReceived) {
    const struct {
        const char *name;
        std::function<void()> fault;
        size_t messages; // the failed open's message comes first
        std::string cause;
        int portError;
    } cases[] = {
        {"short write", [] { fake_rs232_limit_writes(3); }, 1,
         "com1 (fake:com1): only 3 of the request's 6 bytes were written", RS232_TIMEOUT},
        {"short write, German",
         [] {
             SetRS232Language(0);
             fake_rs232_limit_writes(3);
         },
         1, "com1 (fake:com1): nur 3 der 6 Bytes der Anfrage wurden geschrieben", RS232_TIMEOUT},
        {"failed open", [] { fake_rs232_fail_opens(RS232_NO_DEVICE); }, 2,
         fake_rs232_text(RS232_NO_DEVICE), RS232_NO_DEVICE},
    };
    for (const auto &c : cases) {
        for (const bool byEnter : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (byEnter ? ", enter" : ", tick"));
            SetUp();
            published.clear();
            const int id = add_exchange_listener(keep, nullptr);
            SetCtrlVal(main_panel, LED, 1);
            c.fault();
            fake_rs232_arrive(0.01, A0_ANSWER);

            if (byEnter)
                enter();
            else
                tick();
            remove_exchange_listener(id);

            ASSERT_EQ(fake_ui_messages().size(), c.messages);
            EXPECT_EQ(fake_ui_messages().back().message,
                      c.messages == 2 ? fake_rs232_text(RS232_NOT_OPEN) : c.cause);
            for (const FakeMessage &message : fake_ui_messages())
                EXPECT_EQ(message.title, "RS-232 Message");
            EXPECT_EQ(fake_rs232_count("ComRd"), 0);
            EXPECT_EQ(fake_rs232_count("Delay"), 0);
            EXPECT_FALSE(fake_rs232_is_open(1));
            EXPECT_EQ(value(LED), 0);
            EXPECT_EQ(fake_ui_labels(main_panel, ZEICHEN_GESENDET), std::vector<std::string>{"A0"});
            EXPECT_TRUE(fake_ui_labels(main_panel, ZEICHEN_EMPFANGEN).empty());
            ASSERT_EQ(published.size(), 1u);
            EXPECT_EQ(published[0].answered, 0);
            EXPECT_EQ(published[0].received.code, RECEIVE_PORT_ERROR);
            EXPECT_EQ(published[0].received.portError, c.portError);
            EXPECT_EQ(published[0].received.portMessage, c.cause);
        }
    }
}

// "No answer within N ms" names how long the first byte was awaited after the write.
TEST_F(Steps, NoAnswerNamesHowLongTheFirstByteWasAwaited) {
    for (const auto &[run, ms] : {std::pair{&enter, 1000}, std::pair{&tick, 500}}) {
        SetUp();
        published.clear();
        const int id = add_exchange_listener(keep, nullptr);
        run();
        remove_exchange_listener(id);
        char words[256];
        exchange_status_words(&published.at(0), words, sizeof words);
        EXPECT_EQ(std::string(words).find("Keine Antwort innerhalb von " + std::to_string(ms) +
                                          " ms \xb7"),
                  0u);
    }
}

} // namespace
