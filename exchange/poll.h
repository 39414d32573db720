// Polling the chambers of one port: which chamber is due when, and the loop that runs them one
// exchange at a time. Each chamber keeps the timer's grid (exchange/grid.h) at its interval: its
// next turn is the first grid point after its turn began, so a sweep that takes longer than the
// interval lets grid points go and never queues them up. The chambers due together go in list
// order. A chamber that misses POLL_MISSES_TO_BACK_OFF turns in a
// row (no valid answer to any of its commands) is asked every POLL_BACK_OFF_MS instead, and only
// its first command until it answers; one back from silence goes on at its next grid point, with
// no burst of the polls it missed. Time comes from the caller (ms on any steady clock), so a test
// runs it in virtual time. No Qt here.
#pragma once

#include "exchange/lab.h"

enum {
    POLL_MAX_CHAMBERS = 32, // a bus carries addresses 1..32
    POLL_MISSES_TO_BACK_OFF = 3,
    POLL_BACK_OFF_MS = 30000,
};

// Between the end of one exchange (itself after the answer's last byte) and the next one, two
// byte times at 19200 baud, and the next exchange writes its request only once the line has been
// quiet that long. A sweep asks chamber after chamber as fast as the line allows, so its quiet is
// this short rather than LINE_QUIET_MS (link/link.h), which would make a sweep of 32 chambers
// three times its answers' wire time: bytes trailing a chamber's answer by more than this can
// still reach the next chamber's receive (its bad-start).
constexpr double POLL_QUIET_MS = 1.2;
// Exchanges that follow one another on the port run as one series, which holds the port (its
// device stays open, no other exchange comes between); the series ends before a wait longer than
// this, so that the window's exchanges on the port get their turn between sweeps.
constexpr double POLL_SERIES_GAP_MS = 20;

struct PolledChamber {
    LabChamber chamber;
    long long dueMs;                  // its next turn
    long long turnDueMs, turnStartMs; // the turn in progress: when it was due, when it began
    int next;                         // the command its turn goes on with; 0 between turns
    int answeredTurn;                 // a command of the turn in progress got a valid answer
    int misses;                       // turns in a row without a valid answer
    long long turns;                  // turns ended
};

struct PortPoll {
    long long startMs;   // the grid's origin
    long long turnLimit; // turns per chamber, after which it is done; 0 for no end
    int count;
    PolledChamber chamber[POLL_MAX_CHAMBERS];
};

// One exchange to run: a command of a chamber.
struct PollTurn {
    int index;   // of the chamber in the port's list
    int command; // index of its command
    long long dueMs;
};

// Begins the port's list empty, its grid starting at startMs, with no turn limit.
void port_poll_begin(PortPoll *poll, long long startMs);
// Adds a chamber, first due at the grid's start. Returns its index, or -1 when the list is full.
int port_poll_add(PortPoll *poll, const LabChamber *chamber);
// The exchange to run next: the chamber whose turn goes on, else the one due first (the earlier
// in the list among equals). Returns 0 when no chamber is left (an empty list, or every chamber
// has had turnLimit turns).
int port_poll_next(const PortPoll *poll, PollTurn *turn);
// Takes the outcome of the turn's exchange (answered: a valid answer came), begun at startMs.
void port_poll_done(PortPoll *poll, const PollTurn *turn, int answered, long long startMs);
// Whether the chamber is asked at the back-off rate.
int poll_backed_off(const PolledChamber *chamber);

// What the loop asks of its caller.
struct PollHooks {
    // ms on a steady clock, with their fraction: the quiet time is short
    double (*now)(void *context);
    // Returns at ms (or at once when ms has passed); 0 when the loop is to end instead.
    int (*waitUntil)(double ms, void *context);
    // Runs one exchange; returns 1 when a valid answer came.
    int (*run)(const LabChamber *chamber, int command, void *context);
    // A series of exchanges on the port begins (holding 1) or ends (0); may be null.
    void (*series)(int port, int holding, void *context);
    void *context;
};

// Runs the port's polling until waitUntil says to end, each exchange at its due time and
// POLL_QUIET_MS after the end of the one before, in series that end before longer waits.
void port_poll_run(PortPoll *poll, const PollHooks *hooks);
