// The two formatters: the byte views of modes 0 and 1, and the preparation and dispatch of
// mode 2, which hands the payload to the request or the response sentences.
#include "display/format.h"
#include "display/sentence.h"

#include <cstdio>
#include <cstring>

enum {
    HEX_GROUP_LENGTH = 5, // "0xHH "
    FRAMING_LENGTH = 4,   // STX, address, checksum, ETX
    PAYLOAD_START = 2,    // frame position of the command letter
};

// Mode 0: "0xHH " for every frame byte. Whole groups only, so a frame longer than the buffer
// allows (never one that fits a frame buffer) ends cut rather than overrun.
static void show_all_bytes(const char *frame, int length, char *display) {
    int end = 0;
    display[0] = '\0';
    for (int i = 0; i < length && end + HEX_GROUP_LENGTH < DISPLAY_BUFFER_SIZE; i++) {
        end += snprintf(display + end, DISPLAY_BUFFER_SIZE - end, "0x%02X ",
                        (unsigned)(unsigned char)frame[i]);
    }
}

// Mode 1: the payload with bit 7 cleared; STX, address, checksum and ETX left out.
static void show_payload(const char *frame, int length, char *display) {
    int end = 0;
    for (int i = PAYLOAD_START; i < length - 2 && end < DISPLAY_BUFFER_SIZE - 1; i++) {
        display[end++] = (char)(frame[i] & 0x7F);
    }
    display[end] = '\0';
}

// Letters that both sides know but do not interpret: their payload is shown whole.
static bool shown_whole(char letter) {
    return letter != '\0' && strchr("HIMRim", letter);
}

bool prepare_payload(char *frame, int length, Payload *payload) {
    if (length >= 2) frame[length - 2] = '\0';
    if (length <= FRAMING_LENGTH) return false; // no payload, no letter
    *payload = {frame + PAYLOAD_START, length - FRAMING_LENGTH};
    for (int i = 0; i < payload->length; i++) payload->text[i] &= 0x7F;
    return true;
}

// Mode 2: the payload prepared in place, so it stands as plain text; then the sentence of its
// command letter.
static void show_sentence(char *frame, int length, char *display,
                          void (*sentence)(Payload, char *)) {
    Payload payload;
    display[0] = '\0';
    if (!prepare_payload(frame, length, &payload)) return;
    if (shown_whole(payload.text[0]))
        snprintf(display, DISPLAY_BUFFER_SIZE, "%s", payload.text);
    else
        sentence(payload, display);
}

static int format_frame(char *frame, char *display, int mode, void (*sentence)(Payload, char *)) {
    int length = (int)strlen(frame);
    switch (mode) {
    case MODE_ALL_BYTES: show_all_bytes(frame, length, display); break;
    case MODE_NO_FRAMING: show_payload(frame, length, display); break;
    case MODE_INTERPRETED: show_sentence(frame, length, display, sentence); break;
    default: display[0] = '\0'; break;
    }
    return 0;
}

int format_sendbuffer(char *frame, char *display, int mode) {
    return format_frame(frame, display, mode, request_sentence);
}

int format_receivebuffer(char *frame, char *display, int mode) {
    return format_frame(frame, display, mode, response_sentence);
}
