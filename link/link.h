// The link layer: frame builder, port access and response receiver.
#pragma once

#include "link/outcome.h"

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
    // Exchanges that follow one another on a line (a scan, a run, repeated sending) write each
    // request only once no byte has come for this long, about 35 byte times at 19200 baud: a
    // chamber that trails its answer (a CR LF some milliseconds after the ETX) is done by then,
    // and the next chamber's answer is not spoilt by it. A line that never falls quiet is given up
    // on after EXCHANGE_LIMIT_MS, and the request goes out all the same. The lab's sweeps wait a
    // shorter quiet of their own (POLL_QUIET_MS, exchange/poll.h).
    LINE_QUIET_MS = 20,
    PORT_NAME_SIZE = 16, // "com20" and its terminator
};

// Tells the operator of a port failure: the window shows an "RS-232 Message" box, the command
// line a line on stderr. message is Latin-1 and names the port and the cause.
typedef void (*PortFailureHook)(const char *message, void *context);

// What one exchange keeps while it runs on its port: the port it opened, when it must be done,
// what the write and the receive did. Each exchange has its own, so exchanges on different ports
// may run on different threads at once.
struct LinkExchange {
    int com_num;                     // the port number, 1..20; -1 until set
    char deviceName[PORT_NAME_SIZE]; // the name the port is opened by, "com3"
    double deadline;                 // Timer() by which the port must be closed; 0 before the write
    double quietSeconds;             // how long the line must have been quiet before the write; 0
                                     // for a single exchange, which writes at once
    int openError;                   // the RS232_* code of a failed open, else 0: the first cause,
    char openMessage[PORT_MESSAGE_SIZE]; // and its text, which a failed write then names
    LinkTrace trace;                     // the write's times and the receive's outcome
    PortFailureHook report;              // null: failures are only kept in the trace
    void *context;                       // handed to report
};

// Makes x ready for an exchange on port, opened by deviceName ("comN"), that tells its port
// failures through report (may be null).
void link_exchange_init(LinkExchange *x, int port, const char *deviceName, PortFailureHook report,
                        void *context);

// Builds the frame of pcCommand for the chamber address (low 8 bits) into pcTextToSend, which
// holds FRAME_BUFFER_SIZE bytes, followed by a terminator. Returns the bytes to send (n + 4).
int create_framing(const char *pcCommand, char *pcTextToSend, int uChamberaddress);
// 1 when the length bytes of text are all printable ASCII, as a command text must be (the frame
// sets bit 7 of each), else 0.
int command_text_printable(const char *text, int length);

// Opens x's port with the fixed line settings; reports a failure, keeps it as the exchange's first
// cause and goes on. Returns 0.
int ComPortOpen(LinkExchange *x);
// Waits until the output queue is empty (at most DRAIN_LIMIT_MS, and not past the exchange's
// limit) and closes the port; harmless when closed. Returns 0.
int ComPortClose(LinkExchange *x);
// Opens the port, waits for a quiet line if x->quietSeconds asks for it (what comes meanwhile is
// discarded and counted in the trace), frames the command text into frame and writes it. Returns
// the write's result: the frame's length (strlen(frame)), else the write failed or fell short,
// which is reported and kept in the trace as a port error (after a failed open, with the open's
// cause); no response can then follow. From the start of the write on, the exchange has
// EXCHANGE_LIMIT_MS until the port is closed.
int zeichen_senden(LinkExchange *x, const char *text, char *frame, unsigned char address);
// Seconds left of the exchange's EXCHANGE_LIMIT_MS (negative once it has run out); unbounded
// between an open and the write. The receive, its flush and the close end by it.
double exchange_time_left(const LinkExchange *x);
// Reads and validates one response into response (FRAME_BUFFER_SIZE bytes), discards what else
// is waiting and closes the port. Returns the bytes counted (nonzero) for a valid frame, then
// held at the start of response with a terminator, else 0. Only a port failure is reported.
int zeichen_empfangen(LinkExchange *x, char *response, unsigned char address);
// zeichen_empfangen for a receive that is due to begin at `from` (a Timer() time, ahead of now
// where a wait before it is not sat out) and whose first read waits firstWait seconds: it reads
// at once and returns as soon as a valid frame is complete, and accepts exactly the responses
// that the receive begun at `from` would accept (the rule: link/receiver.cpp).
int receive_from(LinkExchange *x, char *response, unsigned char address, double from,
                 double firstWait);
