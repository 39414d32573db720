// The options of polling a lab without a window (--poll with --chamber, --lab, --json) and the
// lab file the window opens with (--lab). Their handlers are rows of the option table
// (ui/options.cpp). No Qt here.
#pragma once

#include "exchange/lab.h"

// --chamber PORT:ADDRESS[:COMMAND,...]: adds the chamber to the list. OPTIONS_CONTINUE, or
// EXIT_USAGE after a message.
int add_chamber_option(const char *value);
// --lab FILE: the lab file (read when the run begins). OPTIONS_CONTINUE or EXIT_USAGE.
int set_lab_option(const char *value);
// Forgets the chambers and the lab file of earlier options.
void reset_lab_options(void);
// The chambers that --chamber named, in their order.
const Lab *chamber_options(void);
// The file that --lab named, or null.
const char *lab_file_option(void);
