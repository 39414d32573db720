// The line monitor: every exchange's bytes both ways with their times and its outcome, the
// statistics on top, and pause, clear, copy and save. A window of its own beside the main window,
// never modal; it only reads what the monitor model has taken.
#pragma once

#include <QTimer>
#include <QWidget>

class MonitorFilter;
class MonitorModel;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

class LineMonitor : public QWidget {
public:
    // model must be a reader of exchange records before this window is made
    LineMonitor(MonitorModel *model, QWidget *parent);
    ~LineMonitor() override;
    LineMonitor(const LineMonitor &) = delete;
    LineMonitor &operator=(const LineMonitor &) = delete;

    QTableView *table() const { return m_table; }
    QLabel *statistics() const { return m_statistics; }
    // "all chambers", then each chamber that exchanges went to.
    QComboBox *chamberChoice() const { return m_chamberChoice; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void refresh();
    void togglePause(bool paused);
    void copySelection();
    void chooseFile();
    void save(const QString &path);

    MonitorModel *m_model;
    QLabel *m_statistics;
    QTableView *m_table;
    QPushButton *m_pause;
    MonitorFilter *m_filter;
    QComboBox *m_chamberChoice;
    QTimer m_refresh;     // statistics and scrolling follow the rows at most ten times a second
    bool m_follow = true; // the view was at its end when rows came, so it stays there
    int m_listener;
};
