// The main window's menu bar and status line around the main panel's area.
#pragma once

#include <QObject>
#include <QPointer>

class AlarmStatus;
class ChamberModel;
class ChambersWindow;
class ExchangeStatus;
class HistoryActions;
class LineMonitor;
class LogRecorder;
class MonitorModel;
class MqttPublishing;
class Panel;
class QLabel;
class QMenu;
class QMenuBar;
class RunDialog;
class TrendWindow;

class Workbench : public QObject {
public:
    explicit Workbench(Panel *panel);

    // The status line's part that tells what the latest exchange did.
    QLabel *exchangeStatus() const { return m_exchangeStatus; }
    QLabel *publishingStatus() const { return m_publishingStatus; }
    MqttPublishing *publishing() const { return m_publishing; }
    // The line monitor's window, opened by View > Line monitor (F2); null until first opened.
    LineMonitor *lineMonitor() const;
    void showLineMonitor();
    // The trend's window, opened by View > Trend (F3); it collects from the start.
    TrendWindow *trend() const { return m_trend; }
    // The chambers window, opened by View > Chambers (F5); null until first opened.
    ChambersWindow *chambersWindow() const;
    void showChambers();
    ChamberModel *chambers() const { return m_chambers; }

private:
    void buildMenus();
    // Commits on a control of the main panel, as a click on it would (through its callback,
    // never while another callback runs).
    void commit(int control);
    void showAbout();
    // Opens the bus scan, which begins at once (never inside another callback).
    void openBusScan();
    // Opens the run view (or raises it) and, when it holds no file yet, asks for one.
    void openRunDialog();
    // Asks for the alarms that watch every chamber.
    void editAlarms();
    // Puts the chambers of --lab into the chambers view.
    void openLabFileOption();

    Panel *m_panel;
    QMenuBar *m_menuBar;
    QWidget *m_statusLine;
    QLabel *m_exchangeStatus;
    QLabel *m_recordingStatus;
    QLabel *m_publishingStatus;
    QMenu *m_fileMenu;
    QMenu *m_viewMenu;
    QMenu *m_toolsMenu;
    QMenu *m_helpMenu;
    ExchangeStatus *m_status;
    MonitorModel *m_monitorModel; // takes every exchange from the start, shown or not
    QPointer<LineMonitor> m_lineMonitor;
    TrendWindow *m_trend;
    LogRecorder *m_logRecorder;
    MqttPublishing *m_publishing;
    HistoryActions *m_histories;
    QLabel *m_alarmLine;
    AlarmStatus *m_alarmStatus;
    QPointer<RunDialog> m_runDialog;
    ChamberModel *m_chambers; // the lab's list, its polling and what each chamber told
    QPointer<ChambersWindow> m_chambersWindow;
};
