// Why the latest receive ended as it did, and every byte it read: made by the receiver beside its
// result, which stays the only thing the exchange itself decides by. No Qt here.
#pragma once

// Outcome codes. Their names (receive_code_name) are stable: logs and scripts read them.
enum {
    RECEIVE_OK,            // "ok": a valid frame
    RECEIVE_NO_ANSWER,     // "no-answer": no byte came within the time-out
    RECEIVE_BAD_START,     // "bad-start": a byte other than STX where a frame must begin
    RECEIVE_WRONG_ADDRESS, // "wrong-address": the byte after STX is not the chamber's address
    RECEIVE_NO_HIGH_BIT,   // "no-high-bit": a byte in the body lacks bit 7 and is not ETX
    RECEIVE_BAD_CHECKSUM,  // "bad-checksum": a frame failed its checksum, no valid one followed
    RECEIVE_TOO_LONG,      // "too-long": the body would not fit the response buffer
    RECEIVE_INCOMPLETE,    // "incomplete": the line fell silent in the middle of a frame
    RECEIVE_TOO_SLOW,      // "too-slow": still incomplete when the receive's bound ran out
    RECEIVE_PORT_ERROR,    // "port-error": the port reported a failure
    RECEIVE_OUTCOMES,      // the number of codes
};

enum {
    RECEIVE_LOG_SIZE = 4096, // bytes kept of one receive: more than two seconds of the line
    PORT_MESSAGE_SIZE = 512,
};

struct ReceiveOutcome {
    int code;
    // The byte that decided, as an index into bytes; -1 when silence, the bound or the port did.
    int decidingIndex;
    // That byte's value; for RECEIVE_BAD_CHECKSUM (where the checksum byte decides) the low seven
    // bits of the XOR that the checksum byte left instead of 0.
    int decidingValue;
    int frameStart; // index of the STX of the latest frame begun, -1 if none
    int count;      // bytes read; the first RECEIVE_LOG_SIZE of them are kept below
    unsigned char bytes[RECEIVE_LOG_SIZE];
    float ms[RECEIVE_LOG_SIZE]; // when each reached the program, ms after the write ended
    int flushed;   // bytes discarded: by the flush afterwards, and in an exchange's record also
                   // those that came before the write while the line fell quiet
    int awaitedMs; // how long after the write the first byte was awaited: the link delay, and in
                   // an exchange's record the request's wait before the receive and first read
    int portError; // the RS232_* code of RECEIVE_PORT_ERROR, else 0
    char portMessage[PORT_MESSAGE_SIZE]; // its text
};

// What an exchange's send and receive did. zeichen_senden fills the write's part and clears the
// receive's; zeichen_empfangen fills the receive's.
struct LinkTrace {
    long long writeWallMs;       // wall-clock time when the write began, ms since 1970 (UTC)
    double writeStart, writeEnd; // Timer() before and after the write
    int writeResult;             // ComWrt's result
    int discardedBefore;         // bytes discarded before the write while the line fell quiet
    ReceiveOutcome receive;
};

// Empties an outcome for a new receive: no byte read, RECEIVE_NO_ANSWER until something decides.
void receive_outcome_clear(ReceiveOutcome *outcome);
// How many of the bytes read the outcome keeps: the first RECEIVE_LOG_SIZE at most.
int receive_bytes_kept(const ReceiveOutcome *outcome);
// The stable name of a code ("ok", "no-answer", ...); "" for a value that is no code.
const char *receive_code_name(int code);
// The code of a name, or -1.
int receive_code_of(const char *name);
