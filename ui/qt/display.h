// Whether the window system can be reached, asked before Qt is started: Qt itself would abort
// the program without one. One file per kind of desktop implements it; the build picks it.
#pragma once

// True when a display can be expected; else false after a message on stderr.
bool displayAvailable();
