// The chamber's state and how it changes with time and commands.
#include "sim/chamber.h"

#include <cmath>
#include <cstring>

enum { RAISED_ERROR = 1 };

static const char *const error_texts[] = {
    "no error",
    "temperature limit exceeded",
};

void chamber_init(Chamber *chamber, long long clock, double now) {
    chamber->actual = 23.5;
    chamber->set_value = 25.0;
    chamber->rate_up = 3.0;
    chamber->rate_down = 3.0;
    chamber->ramp_time = now;
    chamber->clock = clock;
    chamber->clock_time = now;
    memset(chamber->digital, '0', CHAMBER_DIGITAL);
    chamber->digital[CHAMBER_DIGITAL] = '\0';
    chamber->programme = 0;
    chamber->lock_level = '0';
    chamber->error = 0;
}

void chamber_init_at(Chamber *chamber, int address, long long clock, double now) {
    chamber_init(chamber, clock, now);
    chamber->actual += 0.5 * (address - 1);
}

double chamber_actual(Chamber *chamber, double now) {
    double elapsed = now - chamber->ramp_time;
    if (elapsed <= 0) return chamber->actual; // time never runs backwards for the ramp
    double target = chamber->set_value;
    if (chamber->actual < target)
        chamber->actual = std::fmin(chamber->actual + chamber->rate_up * elapsed / 60.0, target);
    else
        chamber->actual = std::fmax(chamber->actual - chamber->rate_down * elapsed / 60.0, target);
    chamber->ramp_time = now;
    return chamber->actual;
}

int chamber_set_value(Chamber *chamber, double value, double now) {
    if (!(value >= CHAMBER_MIN_TEMPERATURE && value <= CHAMBER_MAX_TEMPERATURE)) return -1;
    chamber_actual(chamber, now); // the ramp so far ran toward the old value
    chamber->set_value = value;
    return 0;
}

int chamber_set_rate(Chamber *chamber, int rising, double rate, double now) {
    if (!(rate >= 0.0 && rate <= CHAMBER_MAX_RATE)) return -1;
    chamber_actual(chamber, now);
    if (rising)
        chamber->rate_up = rate;
    else
        chamber->rate_down = rate;
    return 0;
}

long long chamber_clock(const Chamber *chamber, double now) {
    return chamber->clock + (long long)std::floor(now - chamber->clock_time);
}

void chamber_set_clock(Chamber *chamber, long long clock, double now) {
    chamber->clock = clock;
    chamber->clock_time = now;
}

int chamber_set_digital(Chamber *chamber, int channel, int on) {
    if (channel < 1 || channel > CHAMBER_DIGITAL) return -1;
    chamber->digital[channel - 1] = on ? '1' : '0';
    if (channel == DIGITAL_ERROR) chamber->error = on ? RAISED_ERROR : 0;
    return 0;
}

const char *chamber_error_text(const Chamber *chamber) {
    return error_texts[chamber->error];
}
