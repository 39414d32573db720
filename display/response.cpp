// The sentences of received responses: what the chamber answered, in German or English.
#include "display/format.h"
#include "display/sentence.h"

#include <cstdio>
#include <cstring>

void two_values(Payload payload, ChannelValues *values) {
    field_bound(payload, 8);
    values->channel = field_char(payload, 1);
    values->actual = field_number(payload, 3);
    values->set = field_number(payload, 9);
    values->hasActual = field_has_number(payload, 3);
    values->hasSet = field_has_number(payload, 9);
}

// The frame is copied, since the preparation and the bound at position 8 write into it.
int read_channel_values(const char *frame, ChannelValues *values) {
    char copy[FRAME_TEXT_SIZE];
    Payload payload;
    *values = {};
    const int length = (int)strnlen(frame, sizeof copy);
    if (length == (int)sizeof copy) return 0; // longer than any response buffer holds
    memcpy(copy, frame, (size_t)length + 1);
    if (!prepare_payload(copy, length, &payload) || field_char(payload, 0) != 'A') return 0;
    two_values(payload, values);
    return values->channel != '\0';
}

// A and U: a channel and two values (for U the rates of rising and falling ramps).
static void two_values_sentence(Payload payload, char *display, char letter) {
    ChannelValues v;
    two_values(payload, &v);
    if (letter == 'A')
        SENTENCE(display, "Werte das Kanal %c: Istwert =%6.1f, Sollwert =%6.1f",
                 "Values of channel %c: Actvalue =%6.1f, Setvalue =%6.1f", v.channel, v.actual,
                 v.set);
    else
        SENTENCE(display, "Gradienten das Kanal %c: steigende Rampe =%6.1f, fallende Rampe =%6.1f",
                 "Ramprates of channel %c: ramp up =%6.1f, ramp down =%6.1f", v.channel, v.actual,
                 v.set);
}

// O: the character at position 3 is "1" when the chamber has a pause channel; the flags and
// softkeys start at position 4 either way.
static void digital_channels_sentence(Payload payload, char *display) {
    char start = field_char(payload, 1), error = field_char(payload, 2);
    char pause = field_char(payload, 3);
    const char *flags = field_text(payload, 4);
    if (pause == '1')
        SENTENCE(display,
                 "Digitale Kan\xe4"
                 "le: Start:%c ,Fehler:%c ,Pause:%c, Merker/Softkeys %s",
                 "Digital channels: Start:%c ,Error:%c ,Pause:%c, Flags/Softkeys %s", start, error,
                 pause, flags);
    else
        SENTENCE(display,
                 "Digitale Kan\xe4"
                 "le: Start:%c ,Fehler:%c , Merker/Softkeys %s",
                 "Digital channels: Start:%c ,Error:%c , Flags/Softkeys %s", start, error, flags);
}

static void status_sentence(Payload payload, char *display) {
    char c[9];
    for (int i = 0; i < 9; i++) c[i] = field_char(payload, i + 1);
    SENTENCE(
        display,
        "Status: Start:%c ,Fehler:%c ,Temper:%c, Feuchte:%c ,Zusatzfkt1-4:%c%c%c%c ,Fehlernr: %c",
        "Status: Start:%c ,Error:%c ,Temper:%c, Humidity:%c ,Add.func.1-4:%c%c%c%c ,ErrorNo: %c",
        c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8]);
}

void response_sentence(Payload payload, char *display) {
    char first = field_char(payload, 1); // the channel, or the lock level of L
    switch (field_char(payload, 0)) {
    case 'A':
    case 'U': two_values_sentence(payload, display, field_char(payload, 0)); break;
    case 'a':
        SENTENCE(display,
                 "Sollwert ge\xe4"
                 "ndert",
                 "setvalue changed");
        break;
    case 'd':
    case 'u':
        SENTENCE(display,
                 "Gradient ge\xe4"
                 "ndert",
                 "Ramprate changed");
        break;
    case 'E':
        SENTENCE(display, "Rampenendwert das Kanal %c: =%6.1f",
                 "Ramp terminal value of channel %c: =%6.1f", first, field_number(payload, 3));
        break;
    case 'F':
        SENTENCE(display, "Aktueller Fehler: %s", "Pending Error: %s", field_text(payload, 1));
        break;
    case 'L':
        if (first == '0')
            SENTENCE(display, "Tastatur ist freigeben", "Keyboard enabled");
        else
            SENTENCE(display, "Tastatur gesperrt auf Level %c.", "Keyboard disabled level:%c",
                     first);
        break;
    case 'l':
        SENTENCE(display,
                 "Zustand der Tastaturverriegelung des Bedienteils ge\xe4"
                 "ndert.",
                 "keyboard locking changed.");
        break;
    case 'O': digital_channels_sentence(payload, display); break;
    case 'o':
        field_bound(payload, 3); // the index stands in positions 1 and 2 only
        SENTENCE(display,
                 "Digitalkanal %02d ge\xe4"
                 "ndert",
                 "Digital channel %02d adjusted", field_integer(payload, 1));
        break;
    case 'P': {
        int programme = field_integer(payload, 1);
        if (programme == 0)
            SENTENCE(display, "kein laufendes Program", "No Programme running");
        else
            SENTENCE(display,
                     "Program Nr.:%d l\xe4"
                     "uft",
                     "Programme No.:%d is running", programme);
        break;
    }
    case 'p': SENTENCE(display, "Program gestartet/gestoppt", "Programme started/stopped"); break;
    case 'S': status_sentence(payload, display); break;
    case 's':
        SENTENCE(display,
                 "Digital Kanal %c ge\xe4"
                 "ndert",
                 "Digital channel %c adjusted", first);
        break;
    case 'T':
        CLOCK_SENTENCE(display, payload,
                       "Aktuelle Uhrzeit der Anlage: Datum:%c%c.%c%c.%c%c  Zeit:%c%c:%c%c:%c%c",
                       "actual clock of chamber: date:%c%c.%c%c.%c%c  time:%c%c:%c%c:%c%c");
        break;
    case 't':
        CLOCK_SENTENCE(display, payload,
                       "Uhr der Anlage eingestellt auf: Datum:%c%c.%c%c.%c%c  Zeit:%c%c:%c%c:%c%c",
                       "clock of chamber adjusted: date:%c%c.%c%c.%c%c  time:%c%c:%c%c:%c%c");
        break;
    default: display[0] = '\0'; break;
    }
}
