// Sentences of received responses (display mode 2 of format_receivebuffer), German and English.
#include "tests/support/display_frames.h"

#include <gtest/gtest.h>

namespace {

// One typical response per row, shaped as the chamber lays it out.
// clang-format off
const Sentence typical[] = {
    {"A0 023.5 025.0", "Werte das Kanal 0: Istwert =  23.5, Sollwert =  25.0",
     "Values of channel 0: Actvalue =  23.5, Setvalue =  25.0"},
    {"a", "Sollwert ge\xe4" "ndert", "setvalue changed"},
    {"d", "Gradient ge\xe4" "ndert", "Ramprate changed"},
    {"E0 080.0", "Rampenendwert das Kanal 0: =  80.0", "Ramp terminal value of channel 0: =  80.0"},
    {"FDoor open", "Aktueller Fehler: Door open", "Pending Error: Door open"},
    {"H1 2", "H1 2", "H1 2"},
    {"I0", "I0", "I0"},
    {"M-3.5", "M-3.5", "M-3.5"},
    {"R", "R", "R"},
    {"ihello world", "ihello world", "ihello world"},
    {"m 100%", "m 100%", "m 100%"},
    {"L0", "Tastatur ist freigeben", "Keyboard enabled"},
    {"L2", "Tastatur gesperrt auf Level 2.", "Keyboard disabled level:2"},
    {"l", "Zustand der Tastaturverriegelung des Bedienteils ge\xe4" "ndert.",
     "keyboard locking changed."},
    {"O1011001", "Digitale Kan\xe4" "le: Start:1 ,Fehler:0 ,Pause:1, Merker/Softkeys 1001",
     "Digital channels: Start:1 ,Error:0 ,Pause:1, Flags/Softkeys 1001"},
    {"O1001001", "Digitale Kan\xe4" "le: Start:1 ,Fehler:0 , Merker/Softkeys 1001",
     "Digital channels: Start:1 ,Error:0 , Flags/Softkeys 1001"},
    {"o10", "Digitalkanal 10 ge\xe4" "ndert", "Digital channel 10 adjusted"},
    {"P12", "Program Nr.:12 l\xe4" "uft", "Programme No.:12 is running"},
    {"P0", "kein laufendes Program", "No Programme running"},
    {"p", "Program gestartet/gestoppt", "Programme started/stopped"},
    {"S101000003", "Status: Start:1 ,Fehler:0 ,Temper:1, Feuchte:0 ,Zusatzfkt1-4:0000 ,Fehlernr: 3",
     "Status: Start:1 ,Error:0 ,Temper:1, Humidity:0 ,Add.func.1-4:0000 ,ErrorNo: 3"},
    {"s1", "Digital Kanal 1 ge\xe4" "ndert", "Digital channel 1 adjusted"},
    {"T131009123000", "Aktuelle Uhrzeit der Anlage: Datum:13.10.09  Zeit:12:30:00",
     "actual clock of chamber: date:13.10.09  time:12:30:00"},
    {"t131009123000", "Uhr der Anlage eingestellt auf: Datum:13.10.09  Zeit:12:30:00",
     "clock of chamber adjusted: date:13.10.09  time:12:30:00"},
    {"U0 003.5 -10.0", "Gradienten das Kanal 0: steigende Rampe =   3.5, fallende Rampe = -10.0",
     "Ramprates of channel 0: ramp up =   3.5, ramp down = -10.0"},
    {"u", "Gradient ge\xe4" "ndert", "Ramprate changed"},
};
// clang-format on

TEST(ResponseSentence, EveryRowInBothLanguages) {
    for (const Sentence &row : typical) expect_sentences(response_text, row);
}

// A character field at the payload's end stops the sentence there; numbers there read 0 and
// texts there are empty.
TEST(ResponseSentence, PayloadEndsBeforeTheLayout) {
    // clang-format off
    const Sentence rows[] = {
        {"T", "Aktuelle Uhrzeit der Anlage: Datum:", "actual clock of chamber: date:"},
        {"S1010", "Status: Start:1 ,Fehler:0 ,Temper:1, Feuchte:0 ,Zusatzfkt1-4:",
         "Status: Start:1 ,Error:0 ,Temper:1, Humidity:0 ,Add.func.1-4:"},
        {"L", "Tastatur gesperrt auf Level ", "Keyboard disabled level:"},
        {"A", "Werte das Kanal ", "Values of channel "},
        {"A0", "Werte das Kanal 0: Istwert =   0.0, Sollwert =   0.0",
         "Values of channel 0: Actvalue =   0.0, Setvalue =   0.0"},
        {"U0 003.5", "Gradienten das Kanal 0: steigende Rampe =   3.5, fallende Rampe =   0.0",
         "Ramprates of channel 0: ramp up =   3.5, ramp down =   0.0"},
        {"E7", "Rampenendwert das Kanal 7: =   0.0", "Ramp terminal value of channel 7: =   0.0"},
        {"F", "Aktueller Fehler: ", "Pending Error: "},
        {"O10", "Digitale Kan\xe4" "le: Start:1 ,Fehler:0 , Merker/Softkeys ",
         "Digital channels: Start:1 ,Error:0 , Flags/Softkeys "},
        {"O101", "Digitale Kan\xe4" "le: Start:1 ,Fehler:0 ,Pause:1, Merker/Softkeys ",
         "Digital channels: Start:1 ,Error:0 ,Pause:1, Flags/Softkeys "},
        {"P", "kein laufendes Program", "No Programme running"},
        {"o", "Digitalkanal 00 ge\xe4" "ndert", "Digital channel 00 adjusted"},
    };
    // clang-format on
    for (const Sentence &row : rows) expect_sentences(response_text, row);
}

TEST(ResponseSentence, FieldBoundsAndWidths) {
    // clang-format off
    const Sentence rows[] = {
        // The NUL at position 8 takes the sixth character of a six-character first value.
        {"A0 0023.5 025.0", "Werte das Kanal 0: Istwert =  23.0, Sollwert =  25.0",
         "Values of channel 0: Actvalue =  23.0, Setvalue =  25.0"},
        {"U1 12345678", "Gradienten das Kanal 1: steigende Rampe =12345.0, fallende Rampe =  78.0",
         "Ramprates of channel 1: ramp up =12345.0, ramp down =  78.0"},
        // E has no such bound: position 8 belongs to its value.
        {"E0 1234.5", "Rampenendwert das Kanal 0: =1234.5",
         "Ramp terminal value of channel 0: =1234.5"},
        {"o5", "Digitalkanal 05 ge\xe4" "ndert", "Digital channel 05 adjusted"},
        {"o05", "Digitalkanal 05 ge\xe4" "ndert", "Digital channel 05 adjusted"},
        {"o123", "Digitalkanal 12 ge\xe4" "ndert", "Digital channel 12 adjusted"},
        {"Pabc", "kein laufendes Program", "No Programme running"},
        {"P-1", "Program Nr.:-1 l\xe4" "uft", "Programme No.:-1 is running"},
        {"A0 1e999 -1e999", "Werte das Kanal 0: Istwert =   inf, Sollwert =  -inf",
         "Values of channel 0: Actvalue =   inf, Setvalue =  -inf"},
    };
    // clang-format on
    for (const Sentence &row : rows) expect_sentences(response_text, row);
}

// The bounding NULs of A, U and o go into the frame only where the payload reaches them.
TEST(ResponseSentence, BoundingNulsInTheFrame) {
    struct Bound {
        const char *response;
        int position; // payload position of the NUL, or -1 for none
    };
    for (Bound bound : {Bound{"A0 023.5 025.0", 8}, Bound{"U0 003.5 005.5", 8}, Bound{"o10x", 3},
                        Bound{"A0 023.5", -1}, Bound{"U0", -1}, Bound{"o10", -1}}) {
        std::vector<char> frame = exact_frame(bound.response);
        format_with(format_receivebuffer, frame, MODE_INTERPRETED, GERMAN);
        size_t length = strlen(bound.response);
        for (size_t k = 0; k < length; k++) {
            char expected = (int)k == bound.position ? '\0' : bound.response[k];
            EXPECT_EQ(frame[2 + k], expected) << bound.response << " position " << k;
        }
        EXPECT_EQ(frame[2 + length], '\0'); // over the checksum
        EXPECT_EQ(frame[3 + length], ETX);
    }
}

} // namespace
