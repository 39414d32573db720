// The response receiver: reads a response byte by byte and accepts only a well-formed frame from
// the addressed chamber with a valid checksum. Beside its result it tells why it ended and what
// it read (link/outcome.h).
#include "link/link.h"
#include "link/outcome.h"
#include "link/rs232.h"

#include <cstdio>

enum {
    WAIT_STX = 0,
    WAIT_ADDRESS = 1,
    IN_BODY = 2,
    // A body byte may go no further: the ETX and the terminator still need their two bytes.
    LAST_BODY_POSITION = FRAME_BUFFER_SIZE - 3,
};

struct Receive {
    char *response;
    unsigned char address; // the chamber address OR 0x80, as it must arrive
    int state;
    int complete;
    unsigned char xorSum;
    int counted;
    int position;       // where the next byte is stored
    int checksumFailed; // a frame has ended with a bad checksum and no other has begun
    ReceiveOutcome *outcome;
};

// Ends the outcome with a code and the byte that decided it (-1 for none).
static void decide(struct Receive *r, int code, int index, int value) {
    r->outcome->code = code;
    r->outcome->decidingIndex = index;
    r->outcome->decidingValue = value;
}

// Takes the byte read as number index into the frame; 0 when it makes the response invalid.
static int take_byte(struct Receive *r, unsigned char byte, int index) {
    switch (r->state) {
    case WAIT_STX:
        if (byte != STX) {
            decide(r, RECEIVE_BAD_START, index, byte);
            return 0;
        }
        // A frame that follows one rejected for its checksum is stored from the buffer's start.
        r->position = 0;
        r->response[r->position++] = (char)byte;
        r->xorSum = 0;
        r->counted = 0;
        r->state = WAIT_ADDRESS;
        r->checksumFailed = 0;
        r->outcome->frameStart = index;
        return 1;
    case WAIT_ADDRESS:
        if (byte != r->address) {
            decide(r, RECEIVE_WRONG_ADDRESS, index, byte);
            return 0;
        }
        r->xorSum ^= byte;
        r->response[r->position++] = (char)byte;
        r->counted++;
        r->state = IN_BODY;
        return 1;
    default:
        if (byte & 0x80) {
            if (r->position > LAST_BODY_POSITION) { // too long for the buffer
                decide(r, RECEIVE_TOO_LONG, index, byte);
                return 0;
            }
            r->xorSum ^= byte;
            r->response[r->position++] = (char)byte;
            r->counted++;
            return 1;
        }
        if (byte != ETX) {
            decide(r, RECEIVE_NO_HIGH_BIT, index, byte);
            return 0;
        }
        if ((r->xorSum & 0x7F) != 0) {
            // bad checksum: a new frame may still come within the time-out; should none, the
            // checksum byte just before this ETX is what decided
            decide(r, RECEIVE_BAD_CHECKSUM, index - 1, r->xorSum & 0x7F);
            r->checksumFailed = 1;
            r->state = WAIT_STX;
            return 1;
        }
        r->response[r->position] = (char)byte;
        r->response[r->position + 1] = '\0';
        r->counted++;
        r->complete = 1;
        decide(r, RECEIVE_OK, index, byte);
        return 1;
    }
}

// The outcome when the reads end without a decision: by silence, or by the receive's bound.
static void end_without_byte(struct Receive *r, int bySilence) {
    if (r->state == WAIT_STX && r->checksumFailed) return; // stays RECEIVE_BAD_CHECKSUM
    if (!bySilence)
        decide(r, RECEIVE_TOO_SLOW, -1, 0);
    else if (r->state == WAIT_STX)
        decide(r, RECEIVE_NO_ANSWER, -1, 0);
    else
        decide(r, RECEIVE_INCOMPLETE, -1, 0);
}

// Notes a byte that was read, and when it reached the program: a byte that waited in the queue
// (during Enter's wait) keeps the time it came, not the time it was read. A fast chamber can
// answer while the write call is still returning (its wait runs the event loop, which takes the
// answer in); such a byte counts as come at the write's end, never before it.
static void log_byte(const LinkExchange *x, ReceiveOutcome *outcome, unsigned char byte) {
    double came = 0;
    if (GetComRdTimes(x->com_num, &came, 1) != 1) came = Timer();
    if (came < x->trace.writeEnd) came = x->trace.writeEnd;
    if (outcome->count < RECEIVE_LOG_SIZE) {
        outcome->bytes[outcome->count] = byte;
        outcome->ms[outcome->count] = (float)((came - x->trace.writeEnd) * 1000);
    }
    outcome->count++;
}

// Discards what is waiting, and while something was, waits one link delay and looks again. A
// queue found empty ends it at once, so a single exchange is not held up: bytes that trail the
// answer by a few milliseconds are still to come then. The next exchange's open discards what
// came meanwhile, and an exchange that follows another on the line waits for a quiet line before
// its request (LINE_QUIET_MS). A line that never falls quiet (noise, another talker) is given up
// after MAX_FLUSH_PASSES passes, two seconds. The passes end with the exchange's limit too.
static void flush_until_quiet(LinkExchange *x) {
    const double delay = (double)LINK_DELAY_MS / 1000;
    int waiting = 0;
    double left = 0;

    for (int pass = 0; pass < MAX_FLUSH_PASSES && (left = exchange_time_left(x)) > 0 &&
                       (waiting = GetInQLen(x->com_num)) > 0;
         pass++) {
        x->trace.receive.flushed += waiting;
        FlushInQ(x->com_num);
        Delay(left < delay ? left : delay);
    }
}

// Each read waits at most the port's time-out, but a response that trickles in without ever
// pausing that long would hold the window for minutes; after RECEIVE_LIMIT_MS it is abandoned.
// The largest frame takes 0.3 s at 19200 baud after at most 0.5 s for its first byte, so two
// seconds leave a wide margin and cost no more than one cyclic-sending interval. No read waits
// past the exchange's own limit either, which binds only where the receive began late (after
// Enter's wait) and the response is still coming in 2.5 s after the write.
int zeichen_empfangen(LinkExchange *x, char *response, unsigned char address) {
    return receive_from(x, response, address, Timer(), (double)LINK_DELAY_MS / 1000);
}

// Reading at once without changing what is accepted. A receive that begins at `from` (Enter's,
// after its 0.5 s wait) starts each read at the later of `from` and the moment the read before
// returned; bytes that came earlier wait in the input queue and are taken at once. So a byte is
// accepted, whenever it is read, exactly when:
//   - the first byte arrives by from + firstWait (Enter: 0.5 s + 0.5 s = 1.0 s after the write);
//   - every later byte arrives by max(from, the arrival of the byte before) + LINK_DELAY_MS;
//   - the read that takes it starts, counted the same way, less than RECEIVE_LIMIT_MS after
//     `from`, and nothing is waited for past the exchange's limit (write start + 2.5 s).
// The frame's rules do not depend on time, so taking a byte the moment it arrives instead of from
// the queue at `from` decides nothing differently; only the end comes sooner. Each read therefore
// counts its time-out from max(now, from); with `from` at the call this is the plain receive.
int receive_from(LinkExchange *x, char *response, unsigned char address, double from,
                 double firstWait) {
    ReceiveOutcome *outcome = &x->trace.receive;
    struct Receive r = {response, (unsigned char)(address | 0x80), WAIT_STX, 0, 0, 0, 0, 0,
                        outcome};
    const double gap = (double)LINK_DELAY_MS / 1000;
    double portTimeout = gap; // as ComPortOpen set it
    int bySilence = 0;

    receive_outcome_clear(outcome);
    while (!r.complete) {
        const double now = Timer();
        const double ahead = from > now ? from - now : 0; // the read's nominal start lies ahead
        const double left = exchange_time_left(x);
        if (now + ahead - from >= (double)RECEIVE_LIMIT_MS / 1000 || left - ahead <= 0) break;
        double wait = ahead + (outcome->count == 0 ? firstWait : gap);
        const int capped = left < wait;
        if (capped) wait = left;
        if (wait != portTimeout) SetComTime(x->com_num, portTimeout = wait);
        unsigned char byte = 0;
        int got = ComRd(x->com_num, (char *)&byte, 1);
        if (got == 0) { // time-out: silence, unless the exchange's limit cut the wait short
            bySilence = !capped;
            break;
        }

        int error = ReturnRS232Err();
        if (error == 0 && got < 0) error = got;
        if (error != 0) {
            const char *text = GetRS232ErrorString(error);
            decide(&r, RECEIVE_PORT_ERROR, -1, 0);
            outcome->portError = error;
            snprintf(outcome->portMessage, sizeof outcome->portMessage, "%s", text);
            if (x->report) x->report(text, x->context);
            ComPortClose(x);
            return 0;
        }
        const int index = outcome->count;
        log_byte(x, outcome, byte);
        if (!take_byte(&r, byte, index)) {
            flush_until_quiet(x);
            ComPortClose(x);
            return 0;
        }
    }
    if (!r.complete) end_without_byte(&r, bySilence);
    flush_until_quiet(x);
    ComPortClose(x);
    return r.complete ? r.counted : 0;
}
