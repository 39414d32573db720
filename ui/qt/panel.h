// A loaded panel of the Qt user-interface layer, and the loader that builds one from its file.
#pragma once

#include "ui/qt/controls.h"
#include "ui/userint.h"

#include <QJsonObject>
#include <QScrollArea>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <vector>

// A panel's window. Its controls stand in its area at the places the panel file gives; the window
// may hold more above and below the area (the main window's menu bar and status line), and grows
// by them while the area stays as it is. The window is at most as large as that; made smaller (on
// a screen with less room), it shows the area in part, and scrolls it.
class Panel : public QWidget {
public:
    Panel(int handle, QWidget *parentPanel);

    UiControl *control(int id) const;
    QWidget *area() const { return m_area; }
    // Takes the size that shows the whole area, or as much of it as room leaves; the window can
    // be made smaller, never larger.
    void fitInto(const QSize &room);
    // Puts a widget above the area (a menu bar) or below it (a status line).
    void addAbove(QWidget *widget);
    void addBelow(QWidget *widget);

    const int handle;
    std::map<int, UiControl *> controls;               // by control id; widgets owned by Qt
    std::vector<std::unique_ptr<TimerControl>> timers; // the invisible ones
    QPoint offset;                                     // a child panel's place within its parent
    bool popup = false;                                // shown by InstallPopup

protected:
    // A popup's close button commits on its text box; a top-level panel's ends the event loop.
    void closeEvent(QCloseEvent *event) override;

private:
    QScrollArea *m_scroll; // children, owned by Qt
    QWidget *m_area;       // within m_scroll
};

// Finds the function bound to a callback name; null leaves the control unbound.
using Binder = std::function<CtrlCallbackPtr(const QString &name)>;

// Builds the panel that a panel file defines (one object of its "panels" array), with every
// control at its default and its callbacks bound; null if the definition is malformed.
Panel *buildPanel(const QJsonObject &definition, int handle, Panel *parent, const Binder &bind);
