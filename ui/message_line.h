// An "RS-232 Message" as a line on standard error, for runs that show no box. No Qt here.
#pragma once

// Writes "title: message" as one UTF-8 line on stderr: line breaks become blanks, and control
// characters escapes, since the message names devices and programs that come from outside and
// none of it may act on the terminal.
void print_message_line(const char *title, const char *message);
