// The chamber list remembered between runs, in the platform's standard place for settings.
// One function pair, so that a run can leave the settings alone by calling neither.
#pragma once

#include "exchange/lab.h"

// Reads the remembered list into *lab; false (and *lab untouched) when there is none or it is
// unreadable.
bool loadLabSettings(Lab *lab);
// Remembers the list.
void saveLabSettings(const Lab &lab);
