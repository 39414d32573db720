// The grid that repeated exchanges keep: the window's timer and every poller. No Qt here.
#pragma once

// Exchange k is due at start + k * period, so the period never drifts; one that runs past a grid
// point lets that point go. The first grid point strictly after `after` (any unit, the same for
// all three; period > 0).
long long next_grid_point(long long start, long long period, long long after);
