// Helpers for tests and benchmarks that run exchanges on the real main panel by Qt events.
#pragma once

#include "tests/support/exchange_chamber.h"
#include "tests/support/ui_harness.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

class QMessageBox;

// Points com1 at device and shows the German main panel with cyclic sending off, ready for
// exchanges by Enter.
void load_main_for_enter(const char *device);
// Replaces the command field's text by typing (select all, then the keys); "" empties it.
void type_command(const std::string &text);
// Enter in the command field: one exchange, done when this returns.
void press_enter();
// Moves the display-mode slider to mode with the arrow keys.
void choose_mode(int mode);
// Clicks the cyclic-sending toggle until it shows on (1) or off (0).
void set_cyclic_sending(int on);
// Runs action, which opens a file dialog, and answers it with path.
void through_file_dialog(const std::function<void()> &action, const std::string &path);
// The labels of a history, top first, and its selected index.
std::vector<std::string> history(int list);
int selected(int list);

// Records every item insertion into a history of the main panel as it happens, inside the
// exchange: when, and the panel's title at that moment.
class InsertionLog : public QObject {
public:
    explicit InsertionLog(int list);
    std::vector<SteadyTime> times;
    std::vector<std::string> titles;
};

// While it lives, catches every message box: records its title, text and times and dismisses
// it dismissAfterMs (or holdMs of its index, from 0) after it appeared.
class MessageBoxCatcher : public QObject {
public:
    struct Box {
        std::string title, text;
        SteadyTime shown, dismissed; // dismissed is the clock's epoch while the box is up
    };
    explicit MessageBoxCatcher(int dismissAfterMs = 50);
    explicit MessageBoxCatcher(std::function<int(size_t index)> holdMs);
    std::vector<Box> boxes;

private:
    QTimer watch;
    QPointer<QMessageBox> current;
};
