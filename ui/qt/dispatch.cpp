// One callback at a time: the running flag, held-back events, tick dropping and the event loop.
#include "ui/qt/dispatch.h"

#include "ui/userint.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>

#include <deque>
#include <limits>
#include <memory>

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

// The operator's input that the window system had queued when a modal wait began inside a
// callback. The waits leave that input queued, so the modal's own loop would read it first, and
// Qt drops what it reads for a window the modal blocks. It is taken off the queue before the
// modal runs and given back to its windows once the callback has ended, as it would have come
// without the modal.
struct KeptEvent {
    QPointer<QObject> window;
    std::unique_ptr<QEvent> event;
};
std::deque<KeptEvent> &keptInput() {
    static std::deque<KeptEvent> events;
    return events;
}

bool isInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel: return true;
    default: return false;
    }
}

class InputKeeper : public QObject {
protected:
    bool eventFilter(QObject *receiver, QEvent *event) override {
        if (!event->spontaneous() || !receiver->isWindowType() || !isInput(event->type()))
            return false;
        keptInput().push_back({receiver, std::unique_ptr<QEvent>(event->clone())});
        return true;
    }
};

// Runs what waits in the event queues, the window system's input among it.
void processQueued() {
    // the wake-up makes the window system's source look at its queue, where the input waits
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void keepQueuedInput() {
    if (!QCoreApplication::instance()) return;
    InputKeeper keeper;
    QCoreApplication::instance()->installEventFilter(&keeper);
    processQueued();
    QCoreApplication::instance()->removeEventFilter(&keeper);
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

// Gives back the input kept from a modal wait, then delivers what was held back while a callback
// ran, oldest first; each may keep or hold back more.
void deliverHeld() {
    static bool givingBack; // an event given back ends its own handling before the next comes
    while (!running) {
        if (!keptInput().empty() && !givingBack) {
            KeptEvent kept = std::move(keptInput().front());
            keptInput().pop_front();
            givingBack = true;
            if (kept.window) QCoreApplication::sendEvent(kept.window, kept.event.get());
            givingBack = false;
        } else if (!held().empty()) {
            const std::function<void()> next = std::move(held().front());
            held().pop_front();
            runAsCallback(next);
        } else {
            return;
        }
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
    processQueued();
}

void guarded(const std::function<void()> &modal) {
    const bool wasRunning = running;
    if (wasRunning) keepQueuedInput();
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
