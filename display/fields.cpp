// Field readers at payload positions. Each one looks at a position only when it lies inside the
// payload, and the payload ends in a NUL, so no reader ever reaches the frame's ETX or beyond.
// Also the clock sentence, which the request and the response side share.
#include "display/format.h"
#include "display/sentence.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

static bool inside(Payload payload, int pos) {
    return pos >= 0 && pos < payload.length;
}

char field_char(Payload payload, int pos) {
    return inside(payload, pos) ? payload.text[pos] : '\0';
}

double field_number(Payload payload, int pos) {
    return inside(payload, pos) ? atof(payload.text + pos) : 0.0;
}

// atoi gives no defined result for digits beyond the int range; such a number is held at the
// nearest int instead.
int field_integer(Payload payload, int pos) {
    if (!inside(payload, pos)) return 0;
    long value = strtol(payload.text + pos, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return (int)value;
}

const char *field_text(Payload payload, int pos) {
    return inside(payload, pos) ? payload.text + pos : "";
}

void field_bound(Payload payload, int pos) {
    if (inside(payload, pos)) payload.text[pos] = '\0';
}

void clock_sentence(Payload payload, char *display, const char *german, const char *english) {
    char c[12];
    for (int i = 0; i < 12; i++) c[i] = field_char(payload, i + 1);
    snprintf(display, DISPLAY_BUFFER_SIZE, Fremdsprache ? english : german, c[0], c[1], c[2], c[3],
             c[4], c[5], c[6], c[7], c[8], c[9], c[10], c[11]);
}
