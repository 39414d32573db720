// The schedule of one port's chambers and the loop over it.
#include "exchange/poll.h"

#include "exchange/grid.h"

#include <algorithm>

void port_poll_begin(PortPoll *poll, long long startMs) {
    poll->startMs = startMs;
    poll->turnLimit = 0;
    poll->count = 0;
}

int port_poll_add(PortPoll *poll, const LabChamber *chamber) {
    if (poll->count == POLL_MAX_CHAMBERS) return -1;
    PolledChamber &c = poll->chamber[poll->count];
    c = PolledChamber{};
    c.chamber = *chamber;
    c.dueMs = poll->startMs;
    return poll->count++;
}

int poll_backed_off(const PolledChamber *chamber) {
    return chamber->misses >= POLL_MISSES_TO_BACK_OFF;
}

int port_poll_next(const PortPoll *poll, PollTurn *turn) {
    int best = -1;
    for (int i = 0; i < poll->count; i++) {
        const PolledChamber &c = poll->chamber[i];
        if (c.next > 0) { // a turn goes on: the bus finishes one chamber before the next
            best = i;
            break;
        }
        if (poll->turnLimit > 0 && c.turns >= poll->turnLimit) continue;
        if (best < 0 || c.dueMs < poll->chamber[best].dueMs) best = i;
    }
    if (best < 0) return 0;
    turn->index = best;
    turn->command = poll->chamber[best].next;
    turn->dueMs = poll->chamber[best].dueMs;
    return 1;
}

void port_poll_done(PortPoll *poll, const PollTurn *turn, int answered, long long startMs) {
    if (turn->index < 0 || turn->index >= poll->count) return;
    PolledChamber &c = poll->chamber[turn->index];
    if (turn->command == 0) {
        c.turnDueMs = turn->dueMs;
        c.turnStartMs = startMs;
        c.answeredTurn = 0;
    }
    c.answeredTurn |= answered != 0;
    const bool silentProbe = poll_backed_off(&c) && turn->command == 0 && !answered;
    if (turn->command + 1 < c.chamber.commands && !silentProbe) {
        c.next = turn->command + 1;
        return;
    }
    c.next = 0;
    c.turns++;
    c.misses = c.answeredTurn ? 0 : c.misses + 1;
    // the next grid point after the turn began; one it ran past is let go, so nothing queues up,
    // also for a chamber back from silence; backed off, the grid point 30 s after the turn's
    long long after = c.turnStartMs;
    if (poll_backed_off(&c)) after = std::max(after, c.turnDueMs + POLL_BACK_OFF_MS - 1);
    c.dueMs = next_grid_point(poll->startMs, c.chamber.intervalMs, after);
}

static void hold_series(const PortPoll *poll, const PollHooks *hooks, bool *holding, bool hold) {
    if (*holding == hold) return;
    *holding = hold;
    if (hooks->series) hooks->series(poll->chamber[0].chamber.port, hold ? 1 : 0, hooks->context);
}

void port_poll_run(PortPoll *poll, const PollHooks *hooks) {
    double quietUntil = 0;
    bool holding = false;
    PollTurn turn;
    while (port_poll_next(poll, &turn)) {
        const double at = std::max((double)turn.dueMs, quietUntil);
        if (at > hooks->now(hooks->context) + POLL_SERIES_GAP_MS)
            hold_series(poll, hooks, &holding, false);
        if (!hooks->waitUntil(at, hooks->context)) break;
        hold_series(poll, hooks, &holding, true);
        const PolledChamber &c = poll->chamber[turn.index];
        const auto start = (long long)hooks->now(hooks->context);
        const int answered = hooks->run(&c.chamber, turn.command, hooks->context);
        port_poll_done(poll, &turn, answered, start);
        quietUntil = hooks->now(hooks->context) + POLL_QUIET_MS;
    }
    hold_series(poll, hooks, &holding, false);
}
