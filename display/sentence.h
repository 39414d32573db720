// Private to the display library: the payload of a prepared frame, the bounded field readers
// that both interpreters use, and the two sentence writers.
#pragma once

#include "display/format.h"

#include <cstdio>

enum {
    FRAME_TEXT_SIZE = 512, // a frame buffer: at most 511 bytes and the terminator
};

// The payload of a frame after the mode-2 preparation: plain 7-bit text of length characters
// from text on, NUL-terminated where the checksum was. Position 0 is the command letter.
struct Payload {
    char *text;
    int length;
};

// The character at pos, or NUL at and behind the payload's end, so the sentence stops there.
char field_char(Payload payload, int pos);
// The decimal value from pos on, as atof reads it; 0 at and behind the payload's end.
double field_number(Payload payload, int pos);
// The decimal integer from pos on, as atoi reads it but held to the int range; 0 at and
// behind the payload's end.
int field_integer(Payload payload, int pos);
// The text from pos to the payload's end; empty at and behind the payload's end.
const char *field_text(Payload payload, int pos);
// Ends the number that runs up to pos by a NUL at pos; nothing when pos is behind the payload.
void field_bound(Payload payload, int pos);
// Whether a finite number stands at pos inside the payload, where field_number reads it.
bool field_has_number(Payload payload, int pos);

// Mode 2's preparation of a frame of length bytes, in place: a NUL over the checksum and bit 7
// cleared in the payload. Returns false when the frame holds no payload.
bool prepare_payload(char *frame, int length, Payload *payload);

// The channel and the two values of A and U as their sentence reads them: the channel at
// position 1, the first value from positions 3 to 7 only (the NUL it writes at position 8 ends
// it), the second from position 9 on, with field_has_number telling which of them stand there.
void two_values(Payload payload, ChannelValues *values);

// The twelve clock characters from position 1 on, date then time, in the order they stand.
void clock_fields(Payload payload, char clock[12]);

// Write the sentence for a sent command / a received response into display
// (DISPLAY_BUFFER_SIZE bytes); a letter without a sentence gives an empty text. The letters
// shown whole (H, I, M, R, i, m) never reach them.
void request_sentence(Payload payload, char *display);
void response_sentence(Payload payload, char *display);

// Every sentence is one bounded formatted write, in the language Fremdsprache chooses. Both
// texts are literals, so the compiler checks the arguments against each of them.
#define SENTENCE(display, german, english, ...)                                                    \
    snprintf((display), DISPLAY_BUFFER_SIZE, Fremdsprache ? (english) : (german), ##__VA_ARGS__)

// Writes the clock sentence whose two formats take the twelve clock characters in order.
#define CLOCK_SENTENCE(display, payload, german, english)                                          \
    do {                                                                                           \
        char c_[12];                                                                               \
        clock_fields((payload), c_);                                                               \
        SENTENCE((display), german, english, c_[0], c_[1], c_[2], c_[3], c_[4], c_[5], c_[6],      \
                 c_[7], c_[8], c_[9], c_[10], c_[11]);                                             \
    } while (0)
