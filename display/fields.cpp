// Field readers at payload positions. Each one looks at a position only when it lies inside the
// payload, and the payload ends in a NUL, so no reader ever reaches the frame's ETX or beyond.
// Also the clock fields, which the request and the response side share.
#include "display/format.h"
#include "display/sentence.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

static bool inside(Payload payload, int pos) {
    return pos >= 0 && pos < payload.length;
}

char field_char(Payload payload, int pos) {
    return inside(payload, pos) ? payload.text[pos] : '\0';
}

double field_number(Payload payload, int pos) {
    return inside(payload, pos) ? strtod(payload.text + pos, nullptr) : 0.0;
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

bool field_has_number(Payload payload, int pos) {
    if (!inside(payload, pos)) return false;
    char *end = nullptr;
    double value = strtod(payload.text + pos, &end);
    return end != payload.text + pos && std::isfinite(value);
}

const char *field_text(Payload payload, int pos) {
    return inside(payload, pos) ? payload.text + pos : "";
}

void field_bound(Payload payload, int pos) {
    // cppcheck-suppress unreadVariable ; text points into the caller's frame, not into a copy
    if (inside(payload, pos)) payload.text[pos] = '\0';
}

void clock_fields(Payload payload, char clock[12]) {
    for (int i = 0; i < 12; i++) clock[i] = field_char(payload, i + 1);
}
