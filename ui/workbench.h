// The window around the main panel: a menu bar above the panel's area and a status line below
// it, from which the views that read the exchange records open (line monitor, trend, bus scan).
// The panel's own area stays exactly as its file defines it. The user-interface layer implements
// this (ui/qt/); a run without a window never opens it.
#pragma once

// Puts the menu bar and the status line around the main panel, in the language of Fremdsprache.
// Call once, before DisplayPanel. Returns 0, or a negative UIE_* code.
int open_workbench(int panel);
// Logs every exchange to path from now on, as File > Record log does, and shows its name in the
// status line; a message box says why when the file cannot be opened. Returns 0, or a negative
// errno.
int record_log(const char *path);
// Puts back what the window remembered from earlier runs, unless use is 0 (--no-settings): the
// port, chamber address and display mode on the panel, the remembered devices of port names that
// no --map names, where the window and its views stood and which views were open, and the log
// file chosen from the menu when no --log is given. Call after open_workbench and before
// DisplayPanel. Returns 0, or a negative UIE_* code.
int restore_window(int panel, int use);
// Remembers the panel's port, address and display mode, the window's place and its open views
// for the next run (not with --no-settings), and closes the settings. Call once the event loop
// has ended. Returns 0.
int remember_window(int panel);
