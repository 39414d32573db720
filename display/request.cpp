// The sentences of sent commands: what the command asks of the chamber, in German or English.
#include "display/format.h"
#include "display/sentence.h"

#include <cstdio>

// o: the index stands in positions 1 and 2 only, so the separator at 3 is cut off first.
static void further_channel_sentence(Payload payload, char *display) {
    field_bound(payload, 3);
    SENTENCE(display, "Setzt Digitalkanal %02d auf %c", "Adjust digital channel %02d to %c",
             field_integer(payload, 1), field_char(payload, 4));
}

void request_sentence(Payload payload, char *display) {
    char first = field_char(payload, 1); // the channel, or the level of l
    switch (field_char(payload, 0)) {
    case 't':
        CLOCK_SENTENCE(display, payload,
                       "Uhr der Anlage einstellen auf: Datum:%c%c.%c%c.%c%c  Zeit:%c%c:%c%c:%c%c",
                       "Adjust clock of chamber: date:%c%c.%c%c.%c%c  time:%c%c:%c%c:%c%c");
        break;
    case 'T':
        SENTENCE(display, "Uhrzeit der Anlage auslesen", "Read actual time of chamber clock.");
        break;
    case 'a':
        SENTENCE(display,
                 "Sollwert von Kanal %c auf %5.1f \xe4"
                 "ndern.",
                 "Adjust setvalue of channel %c to %5.1f.", first, field_number(payload, 3));
        break;
    case 'A':
        SENTENCE(display, "Lesen der Ist-/Sollwerte des Kanal %c.",
                 "Read actual value of channel %c.", first);
        break;
    case 'u':
        SENTENCE(display,
                 "Gradient f\xfc"
                 "r steigende Rampe des Kanal %c auf %7.2f \xe4"
                 "ndern.",
                 "Adjust ramprate for ramp up of channel %c to %7.2f.", first,
                 field_number(payload, 3));
        break;
    case 'd':
        SENTENCE(display,
                 "Gradient f\xfc"
                 "r fallende Rampe des Kanal %c auf %7.2f \xe4"
                 "ndern.",
                 "Adjust ramprate for ramp down of channel %c to %7.2f.", first,
                 field_number(payload, 3));
        break;
    case 'U':
        SENTENCE(display, "Lesen der Gradienten des Kanal %c.", "Read ramprate of channel %c.",
                 first);
        break;
    case 'E':
        SENTENCE(display, "Lesen des Rampenendwerts des Kanal %c.",
                 "Read ramps terminal value of channel %c.", first);
        break;
    case 'S': SENTENCE(display, "Lesen des Kammerstatus", "Read chamber status"); break;
    case 's':
        SENTENCE(display, "Setze digital Kanal %c auf %c", "Adjust digital channel %c to %c", first,
                 field_char(payload, 3));
        break;
    case 'P': SENTENCE(display, "Programstatus abfragen", "Read Programme status"); break;
    case 'p': {
        int programme = field_integer(payload, 1);
        if (programme == 0)
            SENTENCE(display, "Program beenden", "Stop Programme");
        else
            SENTENCE(display, "Starte Program Nr.:%d", "Start Programme No.:%d", programme);
        break;
    }
    case 'F':
        SENTENCE(display, "Lese Text des anstehenden Fehlers", "Read errortext of pending error");
        break;
    case 'O':
        SENTENCE(display,
                 "Lesen aller vorhandenen digitalen Kan\xe4"
                 "le.",
                 "Read all digital channels.");
        break;
    case 'o': further_channel_sentence(payload, display); break;
    case 'L':
        SENTENCE(display, "Lesen des Zustand der Tastaturverriegelung des Bedienteils.",
                 "Read state of keyboard locking.");
        break;
    case 'l':
        if (first == '0')
            SENTENCE(display, "Tastatur freigeben", "Enable Keyboard");
        else
            SENTENCE(display, "Tastatursperre auf Level %c setzen.", "Disable Keyboard level:%c",
                     first);
        break;
    default: display[0] = '\0'; break;
    }
}
