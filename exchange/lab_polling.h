// Polling a lab: the chambers grouped by port, each port's chambers run by port_poll_run
// (exchange/poll.h) on a worker thread of its own through exchange(), with blocking waits, so
// different ports poll at once and one port carries one exchange at a time. A port that the
// window also uses takes turns with the window's exchanges in the order they ask (exchange.h).
// Each record goes to the caller's deliver hook on the port's thread; the caller hands it to its
// readers on its own thread. No Qt here.
#pragma once

#include "exchange/lab.h"
#include "record/record.h"

struct LabPolling;

typedef void (*PollDelivery)(const ExchangeRecord *record, void *context);

struct LabPollingOptions {
    int mode;            // display mode of the records' texts, 0..2
    long long turnLimit; // turns per chamber, then its port ends; 0 for no end
    PollDelivery deliver;
    void *context;
};

// Starts polling every chamber of the lab. Null when the lab is empty or no thread can be made.
LabPolling *lab_polling_start(const Lab *lab, const LabPollingOptions *options);
// Asks every port to end after the exchange in progress; returns at once. Harmless for null.
void lab_polling_stop(LabPolling *polling);
// Whether every port has ended (its turns done, or stopped).
int lab_polling_ended(const LabPolling *polling);
// Stops, waits until every port has ended, and frees. Harmless for null.
void lab_polling_finish(LabPolling *polling);
