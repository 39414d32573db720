// Helpers for tests that drive the real panels through the Qt layer.
#pragma once

#include "ui/qt/userint_qt.h"
#include "ui/userint.h"

#include <QWidget>

#include <initializer_list>
#include <string>

// Creates the application object once (InitCVIRTE), and points what the window remembers
// between runs at a folder of this process's own.
void ui_init();
// Loads and shows the main panel of a language (0 German, 1 English) into main_panel, with the
// program's callbacks plus extra bindings, which replace a program callback of the same name.
int ui_load_main(int language, std::initializer_list<CallbackBinding> extra = {});
// Discards the main panel and any popup, resumes timer ticks and deletes the widgets now.
void ui_discard_panels();
// ui_discard_panels, and forgets what the window remembered: the next start is a first one.
void ui_discard_all();

// The widget of a control as its kind's class, or null.
template <class W>
W *ui_widget(int panel, int control) {
    return dynamic_cast<W *>(ControlWidget(panel, control));
}
// A double-click as a window system delivers it: press, release, press, double-click, release.
void ui_double_click(QWidget *widget, QPoint position = QPoint());

// Text value, item label and title as the core sees them (Latin-1 bytes).
std::string ui_text(int panel, int control);
std::string ui_label(int panel, int control, int index);
std::string ui_title(int panel);
int ui_int(int panel, int control);
