// Panels and controls of the panel files ascii.uir and ascii_e.uir. A test checks that these
// numbers and both files agree.
#pragma once

// Panel resource ids.
enum {
    FEHLER = 1,   // error panel, loaded by nothing
    HLPPANEL = 2, // help popup
    PANEL = 3,    // main panel
    TXTPANEL = 4, // full-text popup
};

// Controls of PANEL: a control's id is its place in the panel's control order plus 1.
enum {
    KAMMER = 2,
    RING_COM = 3,
    TOGGLEBUTTON = 4,
    ESC_BUTTON = 5,
    AUSWAHL = 6,
    SEND_STRING = 7,
    LED = 8,
    SCANNER = 9,
    DECORATION_3 = 10,
    DECORATION_4 = 11,
    DECORATION_5 = 12,
    RINGSLIDE = 13,
    ZEICHEN_EMPFANGEN = 14,
    ZEICHEN_GESENDET = 15,
    PICTUREBUTTON = 16,
};

// Controls of TXTPANEL, HLPPANEL and FEHLER.
enum {
    TEXTBOX = 2,
    TEXTMSG = 3, // FEHLER only
};
