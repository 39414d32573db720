// One record per exchange, made by the exchange cycle once it has done its work and handed to
// every reader (status line, line monitor, log file, trend, command-line printer). No Qt here.
#pragma once

#include "display/format.h"
#include "link/link.h"
#include "link/outcome.h"

enum {
    DEVICE_NAME_SIZE = 256,
};

// What started the exchange.
enum {
    BY_ENTER = 0, // Enter in the command field (also the command-line exchange)
    BY_TIMER = 1, // a tick of SCANNER
    BY_SCAN = 2,  // a bus scan's exchange with one address
    BY_POLL = 3,  // a poller's: the command line's polling, the chambers of the lab
    BY_RUN = 4,   // a step of an acceptance run
};

struct ExchangeRecord {
    int trigger;                        // BY_ENTER, BY_TIMER, BY_SCAN, BY_POLL or BY_RUN
    long long wallMs;                   // wall-clock time when the write began, ms since 1970 UTC
    int port;                           // com_num of the exchange
    char device[DEVICE_NAME_SIZE];      // the device that port name opened
    int address;                        // chamber address, as framed (low 8 bits)
    char command[FRAME_BUFFER_SIZE];    // the command text
    char sent[FRAME_BUFFER_SIZE];       // the frame as written, terminated
    int sentLength;                     // its bytes without the terminator
    int writeResult;                    // ComWrt's result: sentLength, or a negative code
    ReceiveOutcome received;            // every byte read, when, and why the receive ended
    int answered;                       // a valid response came (the lamp went on)
    double rttMs;                       // its last byte after the end of the write; -1 if none
    int mode;                           // display mode of both entries
    char sentText[DISPLAY_BUFFER_SIZE]; // the sent history's new entry
    char receivedText[DISPLAY_BUFFER_SIZE]; // the received history's new entry, "" if none
};

// A reader of records. It gets each record once, after the exchange; it never runs an exchange
// or writes to the line.
typedef void (*ExchangeListener)(const ExchangeRecord *record, void *context);

enum {
    MAX_EXCHANGE_LISTENERS = 16,
};

// Adds a reader that every later record reaches, after those added before it. Returns its id
// (positive), or -1 when MAX_EXCHANGE_LISTENERS are listening.
int add_exchange_listener(ExchangeListener listener, void *context);
// Removes the reader with that id; 0, or -1 for an unknown id.
int remove_exchange_listener(int id);
// Hands the record to every reader.
void publish_exchange(const ExchangeRecord *record);
// Copies the valid answer's frame, from its STX to its ETX, with a terminator into frame
// (FRAME_BUFFER_SIZE bytes). Returns its length, or 0 when the record holds no valid answer (or
// it lies beyond the bytes kept).
int answer_frame(const ExchangeRecord *record, char *frame);
