// What the window puts back from its settings at start-up and remembers when it closes
// (workbench.h): the panel's port, address and display mode, the port names' devices, where the
// window and its views stood and which views were open, and the log file started from the menu.
#include "display/visible.h"
#include "link/com_map.h"
#include "link/rs232.h"
#include "ui/ascii.h"
#include "ui/lab_options.h"
#include "ui/options.h"
#include "ui/qt/chamber_model.h"
#include "ui/qt/line_monitor.h"
#include "ui/qt/mqtt_publishing.h"
#include "ui/qt/panel.h"
#include "ui/qt/settings.h"
#include "ui/qt/trend_window.h"
#include "ui/qt/userint_qt.h"
#include "ui/qt/workbench.h"
#include "ui/workbench.h"

#include <QFile>
#include <QPoint>
#include <QTimer>

#include <cstdio>

namespace {

// A control of the main panel whose value is remembered, and the values it may take.
struct PanelValue {
    int control;
    const char *key;
    int low, high;
};
const PanelValue panelValues[] = {
    {RING_COM, "panel/port", 1, 20},
    {KAMMER, "panel/address", 1, 32},
    {RINGSLIDE, "panel/mode", 0, 2},
};

// A view whose place is remembered, and whether it was open.
struct View {
    const char *key;
    QWidget *(*window)(Workbench *); // null while it has never been opened
    void (*open)(Workbench *);
};
QWidget *lineMonitorOf(Workbench *bench) {
    return bench->lineMonitor();
}
void openLineMonitor(Workbench *bench) {
    bench->showLineMonitor();
}
QWidget *trendOf(Workbench *bench) {
    return bench->trend();
}
void openTrend(Workbench *bench) {
    bench->trend()->open();
}
const View views[] = {
    {"lineMonitor", lineMonitorOf, openLineMonitor},
    {"trend", trendOf, openTrend},
};

// "views/<view>/<item>"
QString viewKey(const View &view, const char *item) {
    return QStringLiteral("views/%1/%2").arg(QLatin1String(view.key), QLatin1String(item));
}

Workbench *workbenchOf(const Panel *panel) {
    for (QObject *child : panel->children())
        if (auto *bench = dynamic_cast<Workbench *>(child)) return bench;
    return nullptr;
}

// Points a port name at the device the file's [ports] section names for it; null, or why not.
const char *mapRemembered(const QString &name, const QString &device) {
    static char error[COM_MAP_DEVICE_SIZE + 128];
    char path[COM_MAP_DEVICE_SIZE];
    int port = 0;
    const QByteArray value = QFile::encodeName(name + QLatin1Char('=') + device);
    if (parse_com_map(value.constData(), &port, path, sizeof path, error, sizeof error) != 0)
        return error;
    const int code = MapComPort(port, path);
    return code < 0 ? GetRS232ErrorString(code) : nullptr;
}

// The devices remembered for port names that no --map names.
void restorePortNames() {
    for (int port = 1; port <= 20; port++) {
        const QString name = QStringLiteral("com%1").arg(port);
        const QString device = Settings::value(QStringLiteral("ports/") + name).toString();
        if (device.isEmpty() || port_mapped_by_option(port)) continue;
        if (const char *cause = mapRemembered(name, device)) {
            std::fputs("kelvra-ascii: ignoring the remembered device of ", stderr);
            put_bytes_visible(qPrintable(name + QStringLiteral(": ")), stderr);
            put_bytes_visible(cause, stderr);
            std::fputc('\n', stderr);
        }
    }
}

void restoreViews(Workbench *bench) {
    for (const View &view : views) {
        if (!Settings::value(viewKey(view, "open")).toBool()) continue;
        view.open(bench);
        view.window(bench)->restoreGeometry(
            Settings::value(viewKey(view, "geometry")).toByteArray());
    }
}

// The log file the operator last chose from the menu, unless --log names one for this run; one
// that cannot be opened is said in a box and forgotten, so that it stops no later start. It runs
// as the event loop starts, before any exchange, so that the box stands in front of the window.
void resumeLog() {
    const QString remembered = Settings::value(QStringLiteral("log/file")).toString();
    if (log_file_option() || remembered.isEmpty()) return;
    if (record_log(QFile::encodeName(remembered).constData()) != 0)
        Settings::setValue(QStringLiteral("log/file"), QString());
}

} // namespace

int restore_window(int panel, int use) {
    Settings::open(use != 0);
    auto *window = dynamic_cast<Panel *>(PanelWidget(panel));
    if (!window) return UIE_BAD_PANEL;
    if (!Settings::inUse()) return 0;
    for (const PanelValue &remembered : panelValues) {
        bool number = false;
        const int value = Settings::value(QLatin1String(remembered.key)).toInt(&number);
        if (number && value >= remembered.low && value <= remembered.high)
            SetCtrlVal(panel, remembered.control, value);
    }
    restorePortNames();
    const QVariant place = Settings::value(QStringLiteral("window/position"));
    // inside the frame, which the window gets only when shown; DisplayPanel keeps it on a screen
    if (place.typeId() == QMetaType::QPoint)
        window->setGeometry(QRect(place.toPoint(), window->size()));
    if (Workbench *bench = workbenchOf(window)) {
        restoreViews(bench);
        bench->publishing()->resume();
        if (!lab_file_option()) bench->chambers()->restore(); // --lab chose for this run
    }
    auto *resume = new QTimer(window); // the window's, until it has fired
    resume->setSingleShot(true);
    QObject::connect(resume, &QTimer::timeout, resume, [resume] {
        resume->deleteLater();
        resumeLog();
    });
    resume->start(0);
    return 0;
}

int remember_window(int panel) {
    auto *window = dynamic_cast<Panel *>(PanelWidget(panel));
    if (window && Settings::inUse()) {
        for (const PanelValue &remembered : panelValues) {
            int value = 0;
            if (GetCtrlVal(panel, remembered.control, &value) == 0)
                Settings::setValue(QLatin1String(remembered.key), value);
        }
        Settings::setValue(QStringLiteral("window/position"), window->geometry().topLeft());
        if (Workbench *bench = workbenchOf(window)) {
            for (const View &view : views) {
                QWidget *shown = view.window(bench);
                const bool open = shown && shown->isVisible();
                Settings::setValue(viewKey(view, "open"), open);
                if (open) Settings::setValue(viewKey(view, "geometry"), shown->saveGeometry());
            }
        }
    }
    Settings::close();
    return 0;
}
