// The response receiver: reads a response byte by byte and accepts only a well-formed frame from
// the addressed chamber with a valid checksum.
#include "link/link.h"
#include "link/rs232.h"
#include "ui/userint.h"

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
    int position; // where the next byte is stored
};

// Takes one byte into the frame; 0 when the byte makes the response invalid.
static int take_byte(struct Receive *r, unsigned char byte) {
    switch (r->state) {
    case WAIT_STX:
        if (byte != STX) return 0;
        // A frame that follows one rejected for its checksum is stored from the buffer's start.
        r->position = 0;
        r->response[r->position++] = (char)byte;
        r->xorSum = 0;
        r->counted = 0;
        r->state = WAIT_ADDRESS;
        return 1;
    case WAIT_ADDRESS:
        if (byte != r->address) return 0;
        r->xorSum ^= byte;
        r->response[r->position++] = (char)byte;
        r->counted++;
        r->state = IN_BODY;
        return 1;
    default:
        if (byte & 0x80) {
            if (r->position > LAST_BODY_POSITION) return 0; // too long for the buffer
            r->xorSum ^= byte;
            r->response[r->position++] = (char)byte;
            r->counted++;
            return 1;
        }
        if (byte != ETX) return 0;
        if ((r->xorSum & 0x7F) != 0) {
            r->state = WAIT_STX; // bad checksum: a new frame may still come within the time-out
            return 1;
        }
        r->response[r->position] = (char)byte;
        r->response[r->position + 1] = '\0';
        r->counted++;
        r->complete = 1;
        return 1;
    }
}

// Discards what is waiting until the line has been quiet for one link delay. A line that never
// falls quiet (noise, another talker) is given up after MAX_FLUSH_PASSES passes, two seconds:
// bytes trailing a frame are gone after the first pass, and whatever still comes is discarded
// by the next exchange's open anyway.
static void flush_until_quiet(void) {
    for (int pass = 0; pass < MAX_FLUSH_PASSES && GetInQLen(com_num) > 0; pass++) {
        FlushInQ(com_num);
        Delay((double)LINK_DELAY_MS / 1000);
    }
}

// Each read waits at most the port's time-out, but a response that trickles in without ever
// pausing that long would hold the window for minutes; after RECEIVE_LIMIT_MS it is abandoned.
// The largest frame takes 0.3 s at 19200 baud after at most 0.5 s for its first byte, so two
// seconds leave a wide margin and cost no more than one cyclic-sending interval.
int zeichen_empfangen(char *response, unsigned char address) {
    struct Receive r = {response, (unsigned char)(address | 0x80), WAIT_STX, 0, 0, 0, 0};
    const double start = Timer();

    while (!r.complete && Timer() - start < (double)RECEIVE_LIMIT_MS / 1000) {
        unsigned char byte = 0;
        int got = ComRd(com_num, (char *)&byte, 1);
        if (got == 0) break; // time-out

        int error = ReturnRS232Err();
        if (error == 0 && got < 0) error = got;
        if (error != 0) {
            MessagePopup("RS-232 Message", GetRS232ErrorString(error));
            ComPortClose();
            return 0;
        }
        if (!take_byte(&r, byte)) {
            flush_until_quiet();
            ComPortClose();
            return 0;
        }
    }
    flush_until_quiet();
    ComPortClose();
    return r.complete ? r.counted : 0;
}
