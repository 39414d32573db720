// The exchange cycle beside its callbacks SENDEN and TIMER (ui/callbacks.h): how Enter receives,
// and the exchange of a bus scan. No Qt here.
#pragma once

#include "record/record.h"

// How SENDEN receives: 0 (the window, the default) waits the link delay and then reads; 1 (runs
// without a window) reads at once and ends as soon as a valid frame is complete, accepting
// exactly the responses that the wait would (link/receiver.cpp, receive_from).
void set_enter_reads_at_once(int atOnce);
// One exchange of the command field's text with the chamber address on the main panel, as a bus
// scan makes it: it reads at once, waits firstWait seconds for the first byte and for each later
// one as long as the timer's exchange does, and fills lamp, histories and record as every
// exchange does. Returns the record (valid until the next exchange), or null for an empty
// command field.
const ExchangeRecord *scan_exchange(double firstWait);
