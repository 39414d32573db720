// A chamber's answers: reads the payload of a request, acts on the chamber's state and writes
// the payload of the answer in the layout the tool's response display reads.
#pragma once

#include "link/link.h"
#include "sim/chamber.h"

enum {
    ANSWER_SIZE = MAX_COMMAND_LENGTH + 1, // the longest payload one frame carries, plus NUL
};

// The command letters a chamber answers, for the "H" answer and the help text.
extern const char ANSWER_LETTERS[];

// Answers request (a payload, NUL-terminated) as the chamber at address would at time now:
// writes the answer into answer (ANSWER_SIZE bytes) and returns its length. Returns -1 when the
// chamber gives no answer (unknown letter, malformed request, value out of range), and then
// *why names the cause; the chamber's state is then as before.
int answer_request(Chamber *chamber, int address, const char *request, double now, char *answer,
                   const char **why);

// Writes value as the five-character field of the answers ("023.5", "-10.0") into field
// (6 bytes). Values from -99.9 to 999.9 fit.
void answer_format_value(double value, char *field);
// Writes clock as ddmmyyhhmmss into field (13 bytes).
void answer_format_clock(long long clock, char *field);
// Reads twelve characters ddmmyyhhmmss (years 2000..2099) into *clock. Returns 0, or -1 when
// they are no valid date and time.
int answer_parse_clock(const char *text, long long *clock);
