// The ticking of a timer control on the grid that every repeated exchange keeps.
#pragma once

#include <QTimer>

#include <functional>

// Ticks lie on a fixed grid (start + k * interval) so the period never drifts; a tick that falls
// due while a callback runs is dropped, never delivered late, and after a long callback the next
// tick is the next grid point still ahead. Ticks need a running event loop.
class GridTimer {
public:
    // An enabled timer starts now; tick runs for each tick that dispatch::tickWanted lets through.
    GridTimer(double intervalSeconds, bool enabled, std::function<void()> tick);
    void stop() { m_timer.stop(); }

private:
    void armNext(qint64 after);
    void onTimeout();

    QTimer m_timer;
    std::function<void()> m_tick;
    qint64 m_start = 0, m_period = 0, m_due = 0; // nanoseconds on dispatch::now()'s clock
};
