// What the Qt implementation of userint.h offers beyond that header: the widgets behind panel
// handles and control ids, for tests that drive the real panels with Qt events.
#pragma once

class QWidget;

// The window of a loaded panel, or null.
QWidget *PanelWidget(int panel);
// The widget of a control (a composite control's outer widget), or null for an unknown control
// and for the invisible timer.
QWidget *ControlWidget(int panel, int control);
