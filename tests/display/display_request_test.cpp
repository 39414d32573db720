// Sentences of sent commands (display mode 2 of format_sendbuffer), German and English.
#include "tests/support/display_frames.h"

#include <gtest/gtest.h>

namespace {

// The 25 presets of the main panel, in their order.
// clang-format off
const Sentence presets[] = {
    {"t131009123000", "Uhr der Anlage einstellen auf: Datum:13.10.09  Zeit:12:30:00",
     "Adjust clock of chamber: date:13.10.09  time:12:30:00"},
    {"T", "Uhrzeit der Anlage auslesen", "Read actual time of chamber clock."},
    {"a0 030.0", "Sollwert von Kanal 0 auf  30.0 \xe4" "ndern.",
     "Adjust setvalue of channel 0 to  30.0."},
    {"A0", "Lesen der Ist-/Sollwerte des Kanal 0.", "Read actual value of channel 0."},
    {"u0 03.50", "Gradient f\xfc" "r steigende Rampe des Kanal 0 auf    3.50 \xe4" "ndern.",
     "Adjust ramprate for ramp up of channel 0 to    3.50."},
    {"u0 999.9", "Gradient f\xfc" "r steigende Rampe des Kanal 0 auf  999.90 \xe4" "ndern.",
     "Adjust ramprate for ramp up of channel 0 to  999.90."},
    {"d0 05.48", "Gradient f\xfc" "r fallende Rampe des Kanal 0 auf    5.48 \xe4" "ndern.",
     "Adjust ramprate for ramp down of channel 0 to    5.48."},
    {"d0 999.9", "Gradient f\xfc" "r fallende Rampe des Kanal 0 auf  999.90 \xe4" "ndern.",
     "Adjust ramprate for ramp down of channel 0 to  999.90."},
    {"U0", "Lesen der Gradienten des Kanal 0.", "Read ramprate of channel 0."},
    {"E0", "Lesen des Rampenendwerts des Kanal 0.", "Read ramps terminal value of channel 0."},
    {"S", "Lesen des Kammerstatus", "Read chamber status"},
    {"s1 1", "Setze digital Kanal 1 auf 1", "Adjust digital channel 1 to 1"},
    {"s1 0", "Setze digital Kanal 1 auf 0", "Adjust digital channel 1 to 0"},
    {"s2 0", "Setze digital Kanal 2 auf 0", "Adjust digital channel 2 to 0"},
    {"s3 0", "Setze digital Kanal 3 auf 0", "Adjust digital channel 3 to 0"},
    {"s3 1", "Setze digital Kanal 3 auf 1", "Adjust digital channel 3 to 1"},
    {"P", "Programstatus abfragen", "Read Programme status"},
    {"p001", "Starte Program Nr.:1", "Start Programme No.:1"},
    {"p000", "Program beenden", "Stop Programme"},
    {"F", "Lese Text des anstehenden Fehlers", "Read errortext of pending error"},
    {"O", "Lesen aller vorhandenen digitalen Kan\xe4" "le.", "Read all digital channels."},
    {"o10 1", "Setzt Digitalkanal 10 auf 1", "Adjust digital channel 10 to 1"},
    {"L", "Lesen des Zustand der Tastaturverriegelung des Bedienteils.",
     "Read state of keyboard locking."},
    {"l2", "Tastatursperre auf Level 2 setzen.", "Disable Keyboard level:2"},
    {"l0", "Tastatur freigeben", "Enable Keyboard"},
};
// clang-format on

TEST(RequestSentence, EveryPresetInBothLanguages) {
    for (const Sentence &row : presets) expect_sentences(request_text, row);
}

// A character field at the payload's end stops the sentence there; a number there reads 0.
TEST(RequestSentence, PayloadEndsBeforeTheLayout) {
    // clang-format off
    const Sentence rows[] = {
        {"t", "Uhr der Anlage einstellen auf: Datum:", "Adjust clock of chamber: date:"},
        {"t1310", "Uhr der Anlage einstellen auf: Datum:13.10.",
         "Adjust clock of chamber: date:13.10."},
        {"A", "Lesen der Ist-/Sollwerte des Kanal ", "Read actual value of channel "},
        {"l", "Tastatursperre auf Level ", "Disable Keyboard level:"},
        // The state would fall on the frame's ETX: the sentence ends instead.
        {"s1", "Setze digital Kanal 1 auf ", "Adjust digital channel 1 to "},
        {"o10", "Setzt Digitalkanal 10 auf ", "Adjust digital channel 10 to "},
        {"o", "Setzt Digitalkanal 00 auf ", "Adjust digital channel 00 to "},
        {"a0", "Sollwert von Kanal 0 auf   0.0 \xe4" "ndern.",
         "Adjust setvalue of channel 0 to   0.0."},
        {"p", "Program beenden", "Stop Programme"},
    };
    // clang-format on
    for (const Sentence &row : rows) expect_sentences(request_text, row);
}

TEST(RequestSentence, NumbersAndTheirFieldWidths) {
    // clang-format off
    const Sentence rows[] = {
        {"a0 -10", "Sollwert von Kanal 0 auf -10.0 \xe4" "ndern.",
         "Adjust setvalue of channel 0 to -10.0."},
        {"a0 1234.56", "Sollwert von Kanal 0 auf 1234.6 \xe4" "ndern.",
         "Adjust setvalue of channel 0 to 1234.6."},
        {"a0 12abc", "Sollwert von Kanal 0 auf  12.0 \xe4" "ndern.",
         "Adjust setvalue of channel 0 to  12.0."},
        {"u5 12345.678",
         "Gradient f\xfc" "r steigende Rampe des Kanal 5 auf 12345.68 \xe4" "ndern.",
         "Adjust ramprate for ramp up of channel 5 to 12345.68."},
        {"pabc", "Program beenden", "Stop Programme"},
        {"p-3", "Starte Program Nr.:-3", "Start Programme No.:-3"},
        {"p 42x", "Starte Program Nr.:42", "Start Programme No.:42"},
        // Beyond the int range the number holds at the nearest int.
        {"p99999999999", "Starte Program Nr.:2147483647", "Start Programme No.:2147483647"},
        {"o05 1", "Setzt Digitalkanal 05 auf 1", "Adjust digital channel 05 to 1"},
        {"o1231", "Setzt Digitalkanal 12 auf 1", "Adjust digital channel 12 to 1"},
        // Values that overflow a double print as the C library prints infinity.
        {"a0 1e999", "Sollwert von Kanal 0 auf   inf \xe4" "ndern.",
         "Adjust setvalue of channel 0 to   inf."},
        {"d0 -1e999", "Gradient f\xfc" "r fallende Rampe des Kanal 0 auf    -inf \xe4" "ndern.",
         "Adjust ramprate for ramp down of channel 0 to    -inf."},
    };
    // clang-format on
    for (const Sentence &row : rows) expect_sentences(request_text, row);
}

// The largest double has 309 integer digits: the sentence still fits far inside the buffer.
TEST(RequestSentence, LargestFiniteValue) {
    const std::string head = "Adjust ramprate for ramp up of channel 0 to ";
    std::string text = request_text("u0 1.7976931348623157e308", ENGLISH);
    ASSERT_EQ(text.size(), head.size() + 309 + 4) << text;
    EXPECT_EQ(text.substr(0, head.size() + 5), head + "17976");
    EXPECT_EQ(text.substr(text.size() - 4), ".00.");
}

TEST(RequestSentence, IndexOfOIsCutInTheFrame) {
    std::vector<char> frame = exact_frame("o10 1");
    format_with(format_sendbuffer, frame, MODE_INTERPRETED, ENGLISH);
    EXPECT_EQ(frame[2 + 3], '\0');
    EXPECT_EQ(frame[2 + 4], '1');
}

TEST(RequestSentence, UninterpretedLettersShowTheWholePayload) {
    for (const char *command : {"H", "I12 x", "M0", "R?", "i0 1 2 3", "m%s%n"}) {
        std::vector<char> frame = exact_frame(command);
        EXPECT_EQ(format_with(format_sendbuffer, frame, MODE_NO_FRAMING, GERMAN), command);
        EXPECT_EQ(request_text(command, GERMAN), command);
        EXPECT_EQ(request_text(command, ENGLISH), command);
    }
}

TEST(RequestSentence, AnyNonzeroLanguageIsEnglish) {
    std::vector<char> frame = exact_frame("S");
    EXPECT_EQ(format_with(format_sendbuffer, frame, MODE_INTERPRETED, -7), "Read chamber status");
}

// Bit 7 of every payload byte is cleared before the letter and the fields are read.
TEST(RequestSentence, HighBitCommandBytes) {
    EXPECT_EQ(request_text("\xe4"
                           "0 05.48",
                           ENGLISH),
              "Adjust ramprate for ramp down of channel 0 to    5.48.");
    EXPECT_EQ(request_text("s\xb1 \xb0", ENGLISH), "Adjust digital channel 1 to 0");
}

} // namespace
