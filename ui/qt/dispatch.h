// Event delivery of the Qt user-interface layer: one callback at a time.
//
// This unit alone decides when a callback runs. It owns the running-callback flag, the
// suspension of timer ticks and the dropping of ticks that fall due while a callback runs, the
// guard that makes a modal wait (a message box) count as a callback, the held-back events that
// reach their callbacks once the running one has ended, and the event loop itself. It knows no
// panels or controls; they call it.
#pragma once

#include "ui/userint.h"

#include <QtGlobal>

#include <functional>

namespace dispatch {

// Nanoseconds on a monotonic clock: the clock of the timers' due times.
qint64 now();

// Runs the callback with the event now. While another callback or a guarded wait runs, a timer
// tick is dropped and any other event is held back, to be delivered in order once it has ended.
void deliver(int panel, int control, CtrlCallbackPtr callback, int event, int eventData1);
// Whether a callback or a guarded wait runs.
bool busy();
// Runs action now, or once the running callback has ended (as the operator's events are).
void whenIdle(std::function<void()> action);
// Delivers now the operator's input that the serial layer's waits held back: a window that runs
// one exchange after another from its timer calls it between them, since the event loop would
// otherwise turn to the next exchange before that input (a click on Cancel) and hold it again.
// Call it where no callback runs.
void takeHeldInput();
// Runs a modal wait of its own event loop (a message box) as a callback: no callback starts
// meanwhile, and a tick that falls due during it is dropped.
void guarded(const std::function<void()> &modal);

// Holds ticks back while a window uses the panel's port (a bus scan, a run), apart from the
// operator's switch: each hold(true) needs its hold(false), so two such windows never undo
// each other, and the switch turned on meanwhile waits for them.
void holdTicks(bool hold);
// Whether a tick that fell due at `due` is delivered: ticks are neither suspended nor held and
// no callback ran at that moment.
bool tickWanted(qint64 due);

// Runs the event loop until quit; returns quit's code at once when quit came before.
int run();
// Makes run return its code once the running callback has returned.
void quit(int code);

} // namespace dispatch
