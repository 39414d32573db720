// Display texts of sent and received frames: byte views and interpreted sentences.
// No Qt here; German texts are Latin-1 bytes.
#pragma once

enum {
    DISPLAY_BUFFER_SIZE = 2560, // five frame buffers: room for the hex view of a 511-byte frame
};

// Display modes of the RINGSLIDE control.
enum {
    MODE_ALL_BYTES = 0,   // every frame byte as "0xHH "
    MODE_NO_FRAMING = 1,  // the payload with bit 7 cleared
    MODE_INTERPRETED = 2, // one sentence in plain words
};

// Language of the interpreted sentences: 0 German, any other value English. Set at start-up.
extern int Fremdsprache;

// Writes the display text of a sent frame (NUL-terminated, at most 511 bytes) into display,
// which holds DISPLAY_BUFFER_SIZE bytes. Mode 2 edits the frame in place. Returns 0.
int format_sendbuffer(char *frame, char *display, int mode);
// The same for a received frame, with the response sentences in mode 2. Returns 0.
int format_receivebuffer(char *frame, char *display, int mode);
