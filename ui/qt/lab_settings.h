// The chamber list remembered between runs, in the window's settings file (ui/qt/settings.h).
#pragma once

#include "exchange/lab.h"

// Reads the remembered list into *lab; false (and *lab untouched) when there is none or it is
// unreadable.
bool loadLabSettings(Lab *lab);
// Remembers the list.
void saveLabSettings(const Lab &lab);
