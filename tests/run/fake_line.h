// A chamber behind a fake exchange function on a virtual clock, for the runner's tests: channel 0
// ramps toward its set value at its ramp rate as the clock runs, the commands a run uses get the
// simulator's answers, and faults spoil every n-th answer. An hour of waiting costs microseconds.
#pragma once

#include "exchange/exchange.h"
#include "run/runner.h"

#include <string>
#include <vector>

struct FakeLine {
    long long now = 1741940813000; // virtual ms, the wall clock and the steady one alike
    double actual = 25.0, set = 25.0, rate = 3.0; // K/min
    int faultEvery = 0;                           // every n-th exchange gets faultCode instead
    int faultCode = RECEIVE_BAD_CHECKSUM;         // RECEIVE_BAD_CHECKSUM, RECEIVE_NO_ANSWER or
                                                  // RECEIVE_PORT_ERROR
    std::vector<int> faultAt;                     // and these exchanges (counted from 1)
    int exchanges = 0;
    std::vector<std::string> sent; // "com1:1 A0"

    // An environment whose exchange, clocks and sleep are this line's, watching alarms.
    RunEnvironment environment(AlarmWatch *alarms);
};

// The record of an answer to command from address on port at wallMs: the payload's frame, valid
// or (code RECEIVE_BAD_CHECKSUM) with its checksum spoiled; no bytes for the other codes.
void fake_record(ExchangeRecord *record, int port, int address, const char *command,
                 const std::string &payload, int code, long long wallMs);
