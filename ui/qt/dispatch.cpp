// One callback at a time: the running flag, held-back events, tick dropping and the event loop.
#include "ui/qt/dispatch.h"

#include "ui/userint.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <deque>
#include <limits>

namespace {

bool running; // a callback or a guarded wait
qint64 lastEnd = std::numeric_limits<qint64>::min();
bool ticksSuspended;
int ticksHeld; // by the windows that use the panel's port
// The events held back while a callback runs, made on first use.
std::deque<std::function<void()>> &held() {
    static std::deque<std::function<void()>> events;
    return events;
}

QEventLoop *eventLoop;
bool quitPending;
int quitCode;

const QElapsedTimer &monotonicClock() {
    static QElapsedTimer timer = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return timer;
}

void runAsCallback(const std::function<void()> &action) {
    running = true;
    action();
    running = false;
    lastEnd = dispatch::now();
}

// Delivers what was held back while a callback ran, oldest first; each may hold back more.
void deliverHeld() {
    while (!running && !held().empty()) {
        const std::function<void()> next = std::move(held().front());
        held().pop_front();
        runAsCallback(next);
    }
}

} // namespace

namespace dispatch {

qint64 now() {
    return monotonicClock().nsecsElapsed();
}

bool busy() {
    return running;
}

void deliver(int panel, int control, CtrlCallbackPtr callback, int event, int eventData1) {
    if (!callback) return;
    if (running && event == EVENT_TIMER_TICK) return;
    whenIdle([=] { callback(panel, control, event, nullptr, eventData1, 0); });
}

void whenIdle(std::function<void()> action) {
    if (running) {
        held().push_back(std::move(action));
        return;
    }
    runAsCallback(action);
    deliverHeld();
}

void takeHeldInput() {
    // the wake-up makes the window system's source look at its queue, where the input waits
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void guarded(const std::function<void()> &modal) {
    const bool wasRunning = running;
    running = true;
    modal();
    running = wasRunning;
    if (wasRunning) return;
    lastEnd = now();
    deliverHeld();
}

void holdTicks(bool hold) {
    ticksHeld += hold ? 1 : -1;
    Q_ASSERT(ticksHeld >= 0);
}

bool tickWanted(qint64 due) {
    return !ticksSuspended && ticksHeld == 0 && due > lastEnd;
}

int run() {
    if (quitPending) {
        quitPending = false;
        return quitCode;
    }
    QEventLoop loop;
    eventLoop = &loop;
    const int code = loop.exec();
    eventLoop = nullptr;
    quitPending = false;
    return code;
}

void quit(int code) {
    quitCode = code;
    if (eventLoop)
        eventLoop->exit(code);
    else
        quitPending = true;
}

} // namespace dispatch

// userint.h's operations that are the dispatcher's alone, the same in both user-interface layers.
int QuitUserInterface(int returnCode) {
    dispatch::quit(returnCode);
    return 0;
}

int SuspendTimerCallbacks(void) {
    ticksSuspended = true;
    return 0;
}

int ResumeTimerCallbacks(void) {
    ticksSuspended = false;
    return 0;
}
