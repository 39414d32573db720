// Text for a terminal: bytes that come from the line or from outside the program are written so
// that none of them can act on the terminal (move the cursor, add a line, retitle it). No Qt here.
#pragma once

#include <cstdio>

// One Latin-1 character as put_latin1_visible writes it: into out with a terminator. Returns its
// length, 1 to 4.
int latin1_visible_char(unsigned char c, char out[5]);
// Writes Latin-1 text as UTF-8 to out, each control character (0x00..0x1F, 0x7F..0x9F) as the
// four characters "\xhh" in lower-case hex (ESC as \x1b, a line feed as \x0a). Returns 0, or -1
// if out failed.
int put_latin1_visible(const char *text, FILE *out);
// Writes text that is already in the terminal's encoding (an argument, a path) as it is, but each
// control character below 0x20 and 0x7F as "\xhh". Returns 0, or -1 if out failed.
int put_bytes_visible(const char *text, FILE *out);
