// The outcome in the operator's words, in both languages, and the lines built from it.
#include "display/format.h"
#include "link/rs232.h"
#include "record/words.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

std::string words(const Verdict &verdict, int language) {
    Fremdsprache = language;
    char text[600];
    const int length = outcome_words(&verdict, text, sizeof text);
    EXPECT_EQ(length, int(std::strlen(text)));
    return text;
}

TEST(OutcomeWords, NameTheRuleAndTheByteInBothLanguages) {
    const struct {
        Verdict verdict; // code, position, value, address, count, port text
        const char *german, *english;
    } cases[] = {
        {{RECEIVE_OK, 17, ETX, 1, 18, nullptr},
         "G\xfc"
         "ltige Antwort",
         "valid answer"},
        {{RECEIVE_NO_ANSWER, -1, 0, 1, 0, nullptr},
         "Keine Antwort innerhalb von 500 ms",
         "no answer within 500 ms"},
        {{RECEIVE_BAD_START, 0, 0x7F, 1, 1, nullptr},
         "Falscher Anfang: Byte 0 ist 0x7F statt STX (0x02)",
         "bad start: byte 0 is 0x7F, not STX (0x02)"},
        {{RECEIVE_WRONG_ADDRESS, 1, 0x82, 1, 2, nullptr},
         "Falsche Adresse: Byte 1 ist 0x82 (Kammer 2) statt 0x81 (Kammer 1)",
         "wrong address: byte 1 is 0x82 (chamber 2), not 0x81 (chamber 1)"},
        {{RECEIVE_WRONG_ADDRESS, 1, 0x02, 7, 2, nullptr},
         "Falsche Adresse: Byte 1 ist 0x02 statt 0x87 (Kammer 7)",
         "wrong address: byte 1 is 0x02, not 0x87 (chamber 7)"},
        {{RECEIVE_NO_HIGH_BIT, 4, 0x0D, 1, 5, nullptr},
         "Bit 7 fehlt: Byte 4 ist 0x0D (kein ETX)",
         "no high bit: byte 4 is 0x0D (not ETX)"},
        {{RECEIVE_BAD_CHECKSUM, 16, 0x35, 1, 18, nullptr},
         "Pr\xfc"
         "fsumme falsch: Byte 16 ergibt 0x35",
         "bad checksum: byte 16 leaves 0x35"},
        {{RECEIVE_TOO_LONG, 510, 0xD1, 1, 511, nullptr},
         "Zu lang: Byte 510 passt nicht mehr in den Antwortpuffer",
         "too long: byte 510 does not fit the response buffer"},
        {{RECEIVE_INCOMPLETE, -1, 0, 1, 5, nullptr},
         "Unvollst\xe4"
         "ndig: Stille nach 5 Bytes",
         "incomplete: silence after 5 bytes"},
        {{RECEIVE_TOO_SLOW, -1, 0, 1, 6, nullptr},
         "Zu langsam: Rahmen in der Frist nicht vollst\xe4"
         "ndig (6 Bytes)",
         "too slow: the frame was not complete within the time limit (6 bytes)"},
        {{RECEIVE_PORT_ERROR, -1, 0, 1, 0, "com1 (/dev/x): no such device"},
         "Schnittstellenfehler: com1 (/dev/x): no such device",
         "port error: com1 (/dev/x): no such device"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(receive_code_name(c.verdict.code));
        EXPECT_EQ(words(c.verdict, 0), c.german);
        EXPECT_EQ(words(c.verdict, 1), c.english);
    }

    char cut[10];
    EXPECT_EQ(outcome_words(&cases[6].verdict, cut, sizeof cut), 9);
    EXPECT_STREQ(cut, "bad check");
    Fremdsprache = 0;
}

// Frame positions count from the STX of the frame that decided, also behind a rejected one.
TEST(OutcomeWords, TheDecidingByteIsCountedInItsFrame) {
    auto outcome = std::make_unique<ReceiveOutcome>();
    *outcome = {};
    outcome->code = RECEIVE_BAD_CHECKSUM;
    outcome->frameStart = 18; // a second "A0 023.5 025.0" answer behind the first
    outcome->decidingIndex = 34;
    EXPECT_EQ(verdict_of(outcome.get(), 1).position, 16);
    outcome->code = RECEIVE_BAD_START; // a stray byte where the next frame must begin
    outcome->decidingIndex = 36;
    EXPECT_EQ(verdict_of(outcome.get(), 1).position, 0);
    outcome->code = RECEIVE_NO_ANSWER;
    outcome->decidingIndex = -1;
    EXPECT_EQ(verdict_of(outcome.get(), 1).position, -1);
}

// The German status line and the statistics line are checked through the window.
TEST(StatusWords, OutcomeTimeAndBytes) {
    auto record = std::make_unique<ExchangeRecord>();
    *record = {};
    record->address = 1;
    record->writeResult = 6;
    record->answered = 1;
    record->rttMs = 12.34;
    record->received.code = RECEIVE_OK;
    record->received.count = 18;
    record->received.flushed = 2;
    Fremdsprache = 1;
    char text[300];
    exchange_status_words(record.get(), text, sizeof text);
    EXPECT_STREQ(text, "valid answer \xb7 round trip 12.3 ms \xb7 6 bytes sent, 18 received, 2 "
                       "discarded");

    record->writeResult = RS232_NOT_OPEN; // nothing went out, nothing came
    record->answered = 0;
    record->received = {};
    record->received.code = RECEIVE_NO_ANSWER;
    exchange_status_words(record.get(), text, sizeof text);
    EXPECT_STREQ(text, "no answer within 500 ms \xb7 0 bytes sent, 0 received");
    Fremdsprache = 0;
}

} // namespace
