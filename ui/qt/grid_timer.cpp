// Timer ticks on a fixed grid.
#include "ui/qt/grid_timer.h"
#include "exchange/grid.h"
#include "ui/qt/dispatch.h"

#include <algorithm>
#include <cmath>

GridTimer::GridTimer(double intervalSeconds, bool enabled, std::function<void()> tick)
    : m_tick(std::move(tick)),
      m_period(std::max<qint64>(1'000'000, qint64(std::llround(intervalSeconds * 1e9)))) {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { onTimeout(); });
    if (enabled) {
        m_start = dispatch::now();
        armNext(m_start);
    }
}

// Arms the timer for the first grid point strictly after the given time.
void GridTimer::armNext(qint64 after) {
    m_due = next_grid_point(m_start, m_period, after);
    const qint64 wait = m_due - dispatch::now();
    m_timer.start(int(std::max<qint64>(0, (wait + 999'999) / 1'000'000)));
}

void GridTimer::onTimeout() {
    const qint64 due = m_due;
    armNext(std::max(dispatch::now(), due));
    if (dispatch::tickWanted(due)) m_tick();
}
