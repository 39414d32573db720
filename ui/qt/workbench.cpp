// The main window's menu bar and status line.
#include "ui/qt/workbench.h"

#include "ui/ascii.h"
#include "ui/lab_file.h"
#include "ui/lab_options.h"
#include "ui/qt/alarm_status.h"
#include "ui/qt/bus_scan_dialog.h"
#include "ui/qt/chamber_model.h"
#include "ui/qt/chambers_window.h"
#include "ui/qt/dispatch.h"
#include "ui/qt/exchange_status.h"
#include "ui/qt/history_actions.h"
#include "ui/qt/language.h"
#include "ui/qt/line_monitor.h"
#include "ui/qt/log_recorder.h"
#include "ui/qt/monitor_model.h"
#include "ui/qt/mqtt_publishing.h"
#include "ui/qt/panel.h"
#include "ui/qt/run_dialog.h"
#include "ui/qt/run_step_model.h"
#include "ui/qt/trend_window.h"
#include "ui/qt/userint_qt.h"
#include "ui/workbench.h"

#include <QCoreApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>

#include <memory>

Workbench::Workbench(Panel *panel)
    : QObject(panel), m_panel(panel), m_menuBar(new QMenuBar(panel)),
      m_statusLine(new QWidget(panel)), m_exchangeStatus(new QLabel(m_statusLine)),
      m_recordingStatus(new QLabel(m_statusLine)), m_publishingStatus(new QLabel(m_statusLine)),
      m_fileMenu(nullptr), m_viewMenu(nullptr), m_toolsMenu(nullptr), m_helpMenu(nullptr),
      m_status(nullptr), m_monitorModel(new MonitorModel(this)), m_trend(new TrendWindow(panel)),
      m_logRecorder(new LogRecorder(panel, m_recordingStatus)),
      m_publishing(new MqttPublishing(panel, m_publishingStatus)),
      m_histories(new HistoryActions(panel)), m_alarmLine(new QLabel(m_statusLine)),
      m_alarmStatus(new AlarmStatus(m_alarmLine, this)), m_chambers(new ChamberModel(true, this)) {
    m_menuBar->setNativeMenuBar(false); // above the panel in every desktop, as in its layout
    auto *parts = new QHBoxLayout(m_statusLine);
    parts->setContentsMargins(2, 1, 2, 1);
    for (QLabel *part : {m_exchangeStatus, m_alarmLine, m_recordingStatus, m_publishingStatus}) {
        part->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        part->setContentsMargins(4, 0, 4, 0);
        part->setTextInteractionFlags(Qt::TextSelectableByMouse);
        part->setMinimumHeight(part->fontMetrics().height() + 4); // also while empty
        parts->addWidget(part);
    }
    parts->setStretch(0, 1);
    m_recordingStatus->hide(); // shown while something is recorded
    m_exchangeStatus->setObjectName(QStringLiteral("exchangeStatus"));
    UiControl *lamp = panel->control(LED);
    m_status = new ExchangeStatus(m_exchangeStatus, lamp ? lamp->widget() : nullptr, this);
    buildMenus();
    openLabFileOption();
    panel->addAbove(m_menuBar);
    panel->addBelow(m_statusLine);
}

void Workbench::buildMenus() {
    m_fileMenu = m_menuBar->addMenu(byLanguage(QStringLiteral("&Datei"), QStringLiteral("&File")));
    m_fileMenu->addAction(m_logRecorder->action());
    m_fileMenu->addAction(m_publishing->action());
    m_fileMenu->addAction(m_histories->saveAction());
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(byLanguage(QStringLiteral("&Beenden"), QStringLiteral("&Quit")),
                          QKeySequence::Quit, this, [this] { commit(ESC_BUTTON); });

    m_viewMenu =
        m_menuBar->addMenu(byLanguage(QStringLiteral("&Ansicht"), QStringLiteral("&View")));
    m_viewMenu->addAction(
        byLanguage(QStringLiteral("&Leitungsmonitor"), QStringLiteral("&Line monitor")),
        QKeySequence(Qt::Key_F2), this, [this] { showLineMonitor(); });
    m_trend->chamberLabel = [this](int port, int address) {
        return m_chambers->label(port, address);
    };
    m_viewMenu->addAction(byLanguage(QStringLiteral("&Verlauf"), QStringLiteral("&Trend")),
                          QKeySequence(Qt::Key_F3), m_trend, [this] { m_trend->open(); });
    m_viewMenu->addAction(byLanguage(QStringLiteral("&Kammern"), QStringLiteral("&Chambers")),
                          QKeySequence(Qt::Key_F5), this, [this] { showChambers(); });
    m_toolsMenu =
        m_menuBar->addMenu(byLanguage(QStringLiteral("E&xtras"), QStringLiteral("&Tools")));
    m_toolsMenu->addAction(
        byLanguage(QStringLiteral("&Bus durchsuchen…"), QStringLiteral("&Scan bus…")),
        QKeySequence(Qt::Key_F4), this, [this] { openBusScan(); });
    m_toolsMenu->addAction(byLanguage(QStringLiteral("&Ablauf ausf\u00fchren \u2026"),
                                      QStringLiteral("&Run sequence \u2026")),
                           QKeySequence(Qt::Key_F6), this, [this] { openRunDialog(); });
    m_toolsMenu->addAction(
        byLanguage(QStringLiteral("A&larme \u2026"), QStringLiteral("A&larms \u2026")), this,
        [this] { editAlarms(); });

    m_helpMenu = m_menuBar->addMenu(byLanguage(QStringLiteral("&Hilfe"), QStringLiteral("&Help")));
    m_helpMenu->addAction(
        byLanguage(QStringLiteral("&Rahmenaufbau"), QStringLiteral("&Frame format")), this,
        [this] { commit(PICTUREBUTTON); });
    m_helpMenu->addAction(byLanguage(QStringLiteral("\u00dc&ber kelvra-ascii"),
                                     QStringLiteral("&About kelvra-ascii")),
                          this, [this] { showAbout(); });
}

LineMonitor *Workbench::lineMonitor() const {
    return m_lineMonitor;
}

void Workbench::showLineMonitor() {
    if (!m_lineMonitor) {
        m_lineMonitor = new LineMonitor(m_monitorModel, m_panel);
        m_lineMonitor->setObjectName(QStringLiteral("lineMonitor"));
    }
    m_lineMonitor->show();
    m_lineMonitor->raise();
    m_lineMonitor->activateWindow();
}

ChambersWindow *Workbench::chambersWindow() const {
    return m_chambersWindow;
}

void Workbench::showChambers() {
    if (!m_chambersWindow) {
        m_chambersWindow = new ChambersWindow(m_chambers, m_panel);
        m_chambersWindow->onChamberActivated = [this](int port, int address) {
            m_trend->showChamber(port, address);
        };
    }
    m_chambersWindow->show();
    m_chambersWindow->raise();
    m_chambersWindow->activateWindow();
}

// --lab FILE: the window opens with the file's chambers in place of the remembered ones.
void Workbench::openLabFileOption() {
    const char *path = lab_file_option();
    if (!path) return;
    auto lab = std::make_unique<Lab>();
    char error[LAB_ERROR_SIZE];
    if (lab_file_read(path, lab.get(), error, sizeof error) == 0) {
        m_chambers->setLab(*lab);
        return;
    }
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("kelvra-ascii"),
                                QString::fromUtf8(error), QMessageBox::Ok, m_panel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

void Workbench::commit(int control) {
    const int handle = m_panel->handle;
    if (UiControl *target = m_panel->control(control))
        dispatch::deliver(handle, control, target->callback, EVENT_COMMIT, 0);
}

void Workbench::openBusScan() {
    dispatch::whenIdle([this, panel = QPointer<Panel>(m_panel)] {
        if (!panel) return;
        auto *dialog = new BusScanDialog(panel);
        dialog->onAddChambers = [this](int port, const QList<int> &addresses) {
            QList<LabChamber> chambers;
            for (int address : addresses) {
                chambers.append(LabChamber());
                lab_chamber_init(&chambers.back(), port, address);
            }
            m_chambers->addChambers(chambers); // one listed already stays as it is
            showChambers();
        };
        dialog->show();
    });
}

void Workbench::openRunDialog() {
    if (!m_runDialog) {
        m_runDialog = new RunDialog(m_panel, m_alarmStatus);
        m_runDialog->setObjectName(QStringLiteral("runDialog"));
    }
    m_runDialog->show();
    m_runDialog->raise();
    m_runDialog->activateWindow();
    if (m_runDialog->steps()->rowCount() == 0)
        dispatch::whenIdle([dialog = m_runDialog] {
            if (dialog) dialog->openButton()->click();
        });
}

void Workbench::editAlarms() {
    QString text = m_alarmStatus->alarms();
    for (QString problem;;) {
        bool accepted = false;
        dispatch::guarded([&] {
            text = QInputDialog::getMultiLineText(
                m_panel, byLanguage(QStringLiteral("Alarme"), QStringLiteral("Alarms")),
                byLanguage(QStringLiteral("Ein Alarm je Zeile, f\u00fcr jede Kammer, z. B.\n"
                                          "A0 actual between 15 and 40 for 1 min\n"
                                          "no answer for 30 s"),
                           QStringLiteral("One alarm a line, for every chamber, e.g.\n"
                                          "A0 actual between 15 and 40 for 1 min\n"
                                          "no answer for 30 s")) +
                    (problem.isEmpty() ? QString() : QStringLiteral("\n\n") + problem),
                text, &accepted);
        });
        if (!accepted) return;
        problem = m_alarmStatus->setAlarms(text);
        if (problem.isEmpty()) return;
    }
}

void Workbench::showAbout() {
    const QString text =
        byLanguage(QStringLiteral("<p><b>kelvra-ascii %1</b></p><p>Testprogramm f\u00fcr "
                                  "Klimapr\u00fcfkammern mit dem Kelvra-ASCII-Protokoll 3.0.</p>"),
                   QStringLiteral("<p><b>kelvra-ascii %1</b></p><p>Test tool for climate test "
                                  "chambers that speak the Kelvra ASCII protocol 3.0.</p>"))
            .arg(QCoreApplication::applicationVersion());
    const QString title =
        byLanguage(QStringLiteral("\u00dcber kelvra-ascii"), QStringLiteral("About kelvra-ascii"));
    // a modal box of its own: no callback starts while it is up
    dispatch::guarded([&] { QMessageBox::about(m_panel, title, text); });
}

int open_workbench(int panel) {
    auto *found = dynamic_cast<Panel *>(PanelWidget(panel));
    if (!found) return UIE_BAD_PANEL;
    new Workbench(found); // owned by the panel
    return 0;
}
