// The link layer: frame builder, port access and response receiver.
#pragma once

enum {
    FRAME_BUFFER_SIZE = 512,  // frame buffer and response buffer
    MAX_COMMAND_LENGTH = 507, // longest command text whose frame and terminator fit a frame buffer
    STX = 0x02,
    ETX = 0x03,
    LINK_DELAY_MS = 500,     // time-out of every read and write, and the waits of an exchange
    RECEIVE_LIMIT_MS = 2000, // a response not complete this long after the receive began is dropped
    MAX_FLUSH_PASSES = 4,    // discarding a line that never falls quiet gives up after this many
    DRAIN_LIMIT_MS = 2000,   // the longest ComPortClose waits for the output queue to empty
    EXCHANGE_LIMIT_MS = 2500, // the longest an exchange holds the line, from its write to its close
};

// Port number of the current exchange: -1 until the first open, then RING_COM's value.
extern int com_num;

// Builds the frame of pcCommand for the chamber address (low 8 bits) into pcTextToSend, which
// holds FRAME_BUFFER_SIZE bytes, followed by a terminator. Returns the bytes to send (n + 4).
int create_framing(const char *pcCommand, char *pcTextToSend, int uChamberaddress);

// Opens the port selected on the main panel with the fixed line settings; reports a failure in
// an "RS-232 Message" box and goes on. Returns 0.
int ComPortOpen(void);
// Waits until the output queue is empty (at most DRAIN_LIMIT_MS, and not past the exchange's
// limit) and closes the port; harmless when closed. Returns 0.
int ComPortClose(void);
// Opens the port, frames the command text into frame and writes it. Returns the write's result:
// the frame's length (strlen(frame)), else the write failed or fell short, which is reported in
// an "RS-232 Message" box and kept in link_trace as a port error; no response can then follow.
// From the start of the write on, the exchange has EXCHANGE_LIMIT_MS until the port is closed.
int zeichen_senden(const char *text, char *frame, unsigned char address);
// Seconds left of the exchange's EXCHANGE_LIMIT_MS (negative once it has run out); unbounded
// between an open and the write. The receive, its flush and the close end by it.
double exchange_time_left(void);
// Reads and validates one response into response (FRAME_BUFFER_SIZE bytes), discards what else
// is waiting and closes the port. Returns the bytes counted (nonzero) for a valid frame, then
// held at the start of response with a terminator, else 0. Only a port failure is reported.
int zeichen_empfangen(char *response, unsigned char address);
// zeichen_empfangen for a receive that is due to begin at `from` (a Timer() time, ahead of now
// where a wait before it is not sat out) and whose first read waits firstWait seconds: it reads
// at once and returns as soon as a valid frame is complete, and accepts exactly the responses
// that the receive begun at `from` would accept (the rule: link/receiver.cpp).
int receive_from(char *response, unsigned char address, double from, double firstWait);
