// Tools > Run sequence (F6): an acceptance run in the window. It loads a sequence file, shows its
// steps with a live verdict each, the current wait's progress and the run's alarms, and runs one
// step's exchange at a time from the event loop, never inside another callback. Cyclic sending
// pauses while the run uses the panel's port, as during a bus scan; the run's exchanges reach
// the log, the line monitor and the trend as every exchange does.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <memory>

class AlarmStatus;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableView;
class RunStepModel;
struct AlarmEvent;
struct JunitReport;
struct Run;
struct Sequence;
struct StepResult;

class RunDialog : public QDialog {
public:
    // alarms: the status line's alarms, told when the run's alarms change; may be null.
    RunDialog(QWidget *parent, AlarmStatus *alarms);
    ~RunDialog() override;
    RunDialog(const RunDialog &) = delete;
    RunDialog &operator=(const RunDialog &) = delete;

    // Reads and parses a sequence file: its steps in the table, or why it does not parse
    // ("FILE:LINE:COLUMN: ...") in the status line. Returns whether it can run.
    bool load(const QString &path);
    // Begins the run of the loaded file; its steps follow from the event loop.
    void start();
    // Ends the run after the exchange in progress.
    void stop();
    bool running() const { return m_running; }
    // Writes the JUnit report of the run that ended. Returns 0 or a negative errno.
    int saveReport(const QString &path);

    RunStepModel *steps() const { return m_model; }
    QProgressBar *waitProgress() const { return m_progress; }
    QLabel *status() const { return m_status; }
    QListWidget *alarmList() const { return m_alarmList; }
    QPushButton *openButton() const { return m_open; }
    QPushButton *startButton() const { return m_start; }
    QPushButton *stopButton() const { return m_stop; }

protected:
    // Esc and the window's close button stop a run in progress first.
    void reject() override;

private:
    void chooseFile();
    void chooseReport();
    void advance();
    void showProgress();
    void finish();
    // Pauses cyclic sending while the run uses the panel's port, and resumes it otherwise.
    void holdCyclicSending(bool hold);
    bool usesPanelPort() const;
    static void began(const Run *run, int index, void *dialog);
    static void ended(const Run *run, const StepResult *result, void *dialog);
    static void alarmed(const Run *run, const AlarmEvent *event, void *dialog);

    std::unique_ptr<Sequence> m_sequence;
    std::unique_ptr<Run> m_run;
    std::unique_ptr<JunitReport> m_junit;
    QString m_path;
    bool m_running = false, m_holding = false, m_reportReady = false;
    QTimer m_next; // the next advance, when the run wants it
    QTimer m_tick; // the progress shown while it waits
    QPointer<AlarmStatus> m_alarms;
    QLabel *m_file;
    QPushButton *m_open, *m_start, *m_stop, *m_save;
    RunStepModel *m_model;
    QTableView *m_table;
    QProgressBar *m_progress;
    QLabel *m_progressText;
    QListWidget *m_alarmList;
    QLabel *m_status;
};
