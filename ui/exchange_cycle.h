// The exchange cycle on the main panel, beside its callbacks SENDEN and TIMER (ui/callbacks.h):
// the panel read into a request, and the record shown on the panel. Other exchanges of the
// window (the bus scan) show themselves the same way. No Qt here.
#pragma once

#include "exchange/exchange.h"

// A request from the main panel as an exchange of the window makes it: the port ring's value and
// its current item's label as port number and name, the chamber address, the display mode, the
// given command text and trigger, and the hooks that show port failures in "RS-232 Message"
// boxes and the sent entry at the top of its history the moment the request is written.
void read_panel_request(ExchangeRequest *request, const char *command, int trigger);
// Shows an exchange's answer: the lamp on or off, and a valid answer's entry at the top of the
// received history.
void show_answer(const ExchangeRecord *record);
