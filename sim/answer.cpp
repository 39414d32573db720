// Request layouts and answer layouts, one function per command letter.
#include "sim/answer.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

const char ANSWER_LETTERS[] = "A a d E F H I i L l M m O o P p R S s T t U u";

// What one answer works on. Positions past the payload's end read as NUL.
struct Request {
    Chamber *chamber;
    int address;
    const char *text;
    int length;
    double now;
    char *answer;
    const char *why;
};

static char at(const Request *r, int position) {
    return position < r->length ? r->text[position] : '\0';
}

static int refuse(Request *r, const char *why) {
    r->why = why;
    return -1;
}

static int reply(Request *r, const char *format, ...) __attribute__((format(printf, 2, 3)));
// NOLINTNEXTLINE(cert-dcl50-cpp): C variadic for the format attribute, which checks every call.
static int reply(Request *r, const char *format, ...) {
    va_list args;
    va_start(args, format);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start above; the analyzer misreads.
    int n = vsnprintf(r->answer, ANSWER_SIZE, format, args);
    va_end(args);
    return n < ANSWER_SIZE ? n : ANSWER_SIZE - 1;
}

void answer_format_value(double value, char *field) {
    double tenths = std::round(value * 10.0);
    // cppcheck-suppress duplicateConditionalAssign ; -0.0 equals 0.0 and loses its sign here
    if (tenths == 0.0) tenths = 0.0; // no "-00.0"
    char text[320];                  // room for any double, which the compiler cannot rule out
    snprintf(text, sizeof text, "%05.1f", tenths / 10.0);
    memcpy(field, text, 5);
    field[5] = '\0';
}

void answer_format_clock(long long clock, char *field) {
    time_t seconds = (time_t)clock;
    struct tm fields;
    gmtime_r(&seconds, &fields);
    char text[64]; // room for whatever the compiler fears the fields might hold
    snprintf(text, sizeof text, "%02d%02d%02d%02d%02d%02d", fields.tm_mday, fields.tm_mon + 1,
             (fields.tm_year % 100 + 100) % 100, fields.tm_hour, fields.tm_min, fields.tm_sec);
    memcpy(field, text, 12);
    field[12] = '\0';
}

static int two_digits(const char *text) {
    if (text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9') return -1;
    return (text[0] - '0') * 10 + (text[1] - '0');
}

int answer_parse_clock(const char *text, long long *clock) {
    int part[6];
    for (int i = 0; i < 6; i++)
        if ((part[i] = two_digits(text + 2L * i)) < 0) return -1;
    struct tm fields = {};
    fields.tm_mday = part[0];
    fields.tm_mon = part[1] - 1;
    fields.tm_year = 100 + part[2];
    fields.tm_hour = part[3];
    fields.tm_min = part[4];
    fields.tm_sec = part[5];
    time_t seconds = timegm(&fields);
    // timegm normalises 31.02. into March: a date that comes back changed was no date.
    struct tm check;
    gmtime_r(&seconds, &check);
    if (check.tm_mday != part[0] || check.tm_mon != part[1] - 1 || check.tm_year != 100 + part[2] ||
        check.tm_hour != part[3] || check.tm_min != part[4] || check.tm_sec != part[5])
        return -1;
    *clock = (long long)seconds;
    return 0;
}

// A decimal number with optional sign and fraction, blanks allowed around it. Returns 0 or -1.
// Digits gather into a whole number that is divided once, so "999.9" reads as 999.9 exactly.
static int parse_decimal(const char *text, double *value) {
    while (*text == ' ') text++;
    double sign = 1.0;
    if (*text == '+' || *text == '-') sign = *text++ == '-' ? -1.0 : 1.0;
    double number = 0.0, divisor = 1.0;
    int digits = 0;
    bool fraction = false;
    for (; (*text >= '0' && *text <= '9') || (*text == '.' && !fraction); text++) {
        if (*text == '.') {
            fraction = true;
            continue;
        }
        if (fraction) divisor *= 10.0;
        number = number * 10.0 + (*text - '0');
        digits++;
    }
    while (*text == ' ') text++;
    if (digits == 0 || *text != '\0') return -1;
    *value = sign * number / divisor;
    return 0;
}

// Analogue channels: the chamber has channel 0 only.
static bool is_channel(const Request *r) {
    return at(r, 1) == '0';
}

static int read_values(Request *r, char letter, double first, double second) {
    if (!is_channel(r)) return refuse(r, "no such analogue channel");
    char one[6], two[6];
    answer_format_value(first, one);
    answer_format_value(second, two);
    return reply(r, "%c0 %s %s", letter, one, two);
}

static int answer_end_value(Request *r) {
    if (!is_channel(r)) return refuse(r, "no such analogue channel");
    char value[6];
    answer_format_value(r->chamber->set_value, value);
    return reply(r, "E0 %s", value);
}

// "a", "u", "d": channel at 1, value from 3 on.
static int answer_setting(Request *r, char letter) {
    if (!is_channel(r)) return refuse(r, "no such analogue channel");
    double value;
    if (r->length < 4 || parse_decimal(r->text + 3, &value) < 0)
        return refuse(r, "value is no decimal number");
    int status = letter == 'a' ? chamber_set_value(r->chamber, value, r->now)
                               : chamber_set_rate(r->chamber, letter == 'u', value, r->now);
    if (status < 0) return refuse(r, "value out of range");
    return reply(r, "%c", letter);
}

static int answer_clock(Request *r) {
    char field[13];
    answer_format_clock(chamber_clock(r->chamber, r->now), field);
    return reply(r, "T%s", field);
}

static int answer_set_clock(Request *r) {
    long long clock;
    if (r->length != 13 || answer_parse_clock(r->text + 1, &clock) < 0)
        return refuse(r, "no valid ddmmyyhhmmss");
    chamber_set_clock(r->chamber, clock, r->now);
    char field[13];
    answer_format_clock(clock, field);
    return reply(r, "t%s", field);
}

// Start, error, temperature control, humidity control, additional functions 1..4 (the first
// four flags), error number.
static int answer_status(Request *r) {
    const Chamber *c = r->chamber;
    const char *flags = c->digital + DIGITAL_FIRST_FLAG - 1;
    return reply(r, "S%c%c10%.4s%c", c->digital[DIGITAL_START - 1], c->digital[DIGITAL_ERROR - 1],
                 flags, (char)('0' + c->error));
}

static int state_of(char state) {
    return state == '0' ? 0 : state == '1' ? 1 : -1;
}

// "s": channel 1..3 at position 1, state at 3.
static int answer_set_channel(Request *r) {
    char channel = at(r, 1);
    int on = state_of(at(r, 3));
    if (channel < '1' || channel > '0' + DIGITAL_PAUSE) return refuse(r, "no such digital channel");
    if (on < 0) return refuse(r, "state is neither 0 nor 1");
    chamber_set_digital(r->chamber, channel - '0', on);
    return reply(r, "s%c", channel);
}

// "o": index as two digits at 1 and 2, state at 4.
static int answer_set_further(Request *r) {
    int index = r->length >= 3 ? two_digits(r->text + 1) : -1;
    int on = state_of(at(r, 4));
    if (index < 1 || index > CHAMBER_DIGITAL) return refuse(r, "no such digital channel");
    if (on < 0) return refuse(r, "state is neither 0 nor 1");
    chamber_set_digital(r->chamber, index, on);
    return reply(r, "o%02d", index);
}

// "p": the programme number, one to three digits from position 1; 0 ends the programme.
static int answer_programme(Request *r) {
    if (r->length < 2 || r->length > 4) return refuse(r, "programme number is not 0..999");
    int number = 0;
    for (int i = 1; i < r->length; i++) {
        if (r->text[i] < '0' || r->text[i] > '9')
            return refuse(r, "programme number is not 0..999");
        number = number * 10 + (r->text[i] - '0');
    }
    r->chamber->programme = number;
    return reply(r, "p");
}

static int answer_lock(Request *r) {
    char level = at(r, 1);
    if (level < '0' || level > '2') return refuse(r, "lock level is not 0, 1 or 2");
    r->chamber->lock_level = level;
    return reply(r, "l");
}

static int dispatch(Request *r) {
    Chamber *c = r->chamber;
    switch (at(r, 0)) {
    case 'A': return read_values(r, 'A', chamber_actual(c, r->now), c->set_value);
    case 'U': return read_values(r, 'U', c->rate_up, c->rate_down);
    case 'E': return answer_end_value(r);
    case 'a':
    case 'u':
    case 'd': return answer_setting(r, at(r, 0));
    case 'T': return answer_clock(r);
    case 't': return answer_set_clock(r);
    case 'S': return answer_status(r);
    case 's': return answer_set_channel(r);
    case 'O': return reply(r, "O%s", c->digital);
    case 'o': return answer_set_further(r);
    case 'P': return reply(r, "P%03d", c->programme);
    case 'p': return answer_programme(r);
    case 'F': return reply(r, "F%s", chamber_error_text(c));
    case 'L': return reply(r, "L%c", c->lock_level);
    case 'l': return answer_lock(r);
    case 'H': return reply(r, "H%s", ANSWER_LETTERS);
    case 'I': return reply(r, "Ikelvra-chamber simulator, chamber %d", r->address);
    case 'M': return reply(r, "M1 analogue channel, %d digital channels", CHAMBER_DIGITAL);
    case 'R': return reply(r, "RKelvra ASCII 3.0");
    case 'i':
    case 'm': return reply(r, "%s", r->text); // confirmed by repeating the request
    case '\0': return refuse(r, "empty payload");
    default: return refuse(r, "unknown command letter");
    }
}

int answer_request(Chamber *chamber, int address, const char *request, double now, char *answer,
                   const char **why) {
    Request r = {chamber, address, request, (int)strlen(request), now, answer, ""};
    int n = dispatch(&r);
    if (n < 0) {
        answer[0] = '\0';
        *why = r.why;
    }
    return n;
}
