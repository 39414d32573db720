// One simulated climate chamber: the temperature channel 0 with its set value and ramp rates,
// the clock, the digital channels, the programme, the keyboard lock and the pending error.
// Whatever depends on time takes now, seconds on a monotonic clock, so tests drive the time.
#pragma once

enum {
    DIGITAL_START = 1, // digital channels by their index, as "s" and "o" address them
    DIGITAL_ERROR = 2,
    DIGITAL_PAUSE = 3,
    DIGITAL_FIRST_FLAG = 4,
    CHAMBER_FLAGS = 5,
    CHAMBER_SOFTKEYS = 8,
    CHAMBER_DIGITAL = 3 + CHAMBER_FLAGS + CHAMBER_SOFTKEYS, // channels 1..16
    CHAMBER_PROGRAMMES = 999,
};

inline constexpr double CHAMBER_MIN_TEMPERATURE = -70.0; // degrees C
inline constexpr double CHAMBER_MAX_TEMPERATURE = 180.0;
inline constexpr double CHAMBER_MAX_RATE = 999.9; // K/min; also what "reset" sets

struct Chamber {
    double actual;    // channel 0's actual value
    double set_value; // channel 0's set value, which is also the end value of its ramp
    double rate_up;   // K/min toward a higher set value
    double rate_down; // K/min toward a lower set value
    double ramp_time; // the time up to which actual has been moved
    long long clock;  // the chamber clock at clock_time: seconds since 1970, read as UTC fields
    double clock_time;
    char digital[CHAMBER_DIGITAL + 1]; // '0' or '1' for channels 1..16 in order, NUL-terminated
    int programme;                     // running programme, 0 for none
    char lock_level;                   // '0' keyboard released, else the level it is locked at
    int error;                         // pending error number, 0 for none
};

// Starts a chamber at rest: 23.5 degrees toward a set value of 25.0 at 3.0 K/min both ways, the
// clock showing clock at now, all digital channels off, no programme, keyboard released.
void chamber_init(Chamber *chamber, long long clock, double now);
// Starts the chamber at address (1..32) as chamber_init does, but with its actual value 0.5
// degrees higher per address above 1, so that the chambers of a bus tell apart; the set value
// is 25.0 for all, and each ramps toward it from its own start.
void chamber_init_at(Chamber *chamber, int address, long long clock, double now);
// Moves the actual value toward the set value up to now and returns it.
double chamber_actual(Chamber *chamber, double now);
// Sets a new set value from now on. Returns 0, or -1 (nothing changed) when out of range.
int chamber_set_value(Chamber *chamber, double value, double now);
// Sets the rate for rising (rising != 0) or falling ramps from now on. Returns 0, or -1 (nothing
// changed) for a rate outside 0..CHAMBER_MAX_RATE.
int chamber_set_rate(Chamber *chamber, int rising, double rate, double now);
// The chamber clock at now, in seconds since 1970 read as UTC fields.
long long chamber_clock(const Chamber *chamber, double now);
// Sets the chamber clock to clock at now; it runs on from there.
void chamber_set_clock(Chamber *chamber, long long clock, double now);
// Switches digital channel 1..CHAMBER_DIGITAL on or off. The error channel raises or
// acknowledges the pending error. Returns 0, or -1 for a channel that does not exist.
int chamber_set_digital(Chamber *chamber, int channel, int on);
// The text of the pending error, "no error" when there is none.
const char *chamber_error_text(const Chamber *chamber);
