// One exchange with one chamber, whoever asks for it: a request in, the exchange record out.
// The window's Enter and timer, the command line, the bus scan and every poller call exchange();
// each shows or keeps the record as it likes. No Qt here.
#pragma once

#include "record/record.h"

// What one exchange is asked to do.
struct ExchangeRequest {
    int port;                        // port number 1..20
    char portName[PORT_NAME_SIZE];   // the name the port is opened by, "com3"
    int address;                     // chamber address; its low 8 bits are framed and checked
    char command[FRAME_BUFFER_SIZE]; // the command text; the frame carries at most
                                     // MAX_COMMAND_LENGTH of it
    int mode;                        // display mode of the record's two texts, 0..2
    int trigger;                     // BY_ENTER, BY_TIMER, BY_SCAN, ... (record/record.h)
    double waitSeconds;              // between the write and the receive
    int readAtOnce;                  // take the answer as it comes, accepting exactly what the
                                     // receive after waitSeconds would (link/receiver.cpp)
    double firstWait;                // the first read's time-out, seconds
    double quietSeconds;             // how long the line must have been quiet before the write:
                                     // LINE_QUIET_MS for exchanges that follow one another on a
                                     // line (link/link.h), 0 to write at once
    // Optional hooks, called on the caller's thread while the exchange runs:
    // a port failure for the operator ("RS-232 Message"), at the moment it happens;
    void (*portFailure)(const char *message, void *context);
    // the request is written (or failed to be): the record holds the frame and the sent text,
    // nothing of the answer yet.
    void (*written)(const ExchangeRecord *record, void *context);
    void *context;
};

// Holds port for a series of exchanges by the calling thread (a poller's sweep over the chambers
// of its bus): the series waits for its turn once, and a local device stays open between its
// exchanges (rs232.h, KeepComOpen). Another exchange comes between only when it waits for the
// port: the series then lets it go first and takes the turn after it. A thread holds one series at
// a time; port_series_end ends it. Exchanges of the series are made with exchange() as usual.
void port_series_begin(int port);
void port_series_end(int port);
// A request as Enter in the window makes it: command text (cut to MAX_COMMAND_LENGTH), address,
// port number and name "comN", display mode, the link delay before a plain receive, no wait for
// a quiet line, no hooks.
void request_init(ExchangeRequest *request, int port, int address, const char *command, int mode);
// Runs one exchange: opens the port, flushes, waits for a quiet line if asked, writes the frame,
// waits or reads at once, receives and validates the answer, flushes and closes; reports port
// failures through the hook. Fills *record whole (time, port, frame, outcome, round trip, texts;
// the bytes discarded before the write count with the flush's). An exchange on a port that
// another one holds waits for it; exchanges on different ports may run at once on different
// threads. Returns 1 when a valid answer came, 0 when none did, -1 for an empty command text
// (nothing is done, *record is untouched).
int exchange(const ExchangeRequest *request, ExchangeRecord *record);
