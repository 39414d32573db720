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

// The channel and the two values of an A response: actual and set value.
struct ChannelValues {
    char channel;  // as it stands at position 1; NUL when the payload ends before it
    int hasActual; // a finite number stands in the value's field (else the sentence shows 0.0,
    int hasSet;    // or inf or nan where that stands)
    double actual; // exactly the numbers the sentence shows
    double set;
};
// Reads them from a received frame (NUL-terminated, as format_receivebuffer takes it, and left
// unchanged) by the rules of its sentence. Returns 1 for an A response with a channel, else 0.
int read_channel_values(const char *frame, ChannelValues *values);
