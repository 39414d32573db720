// File > Record log: starts and stops the log file of the run (record/logging.h), shows its name
// in the status line while it records (and that it began the file anew when the file was moved
// or deleted), and says in a box why a file cannot be opened or written.
#pragma once

#include <QObject>
#include <QString>

class QAction;
class QLabel;
class QWidget;

class LogRecorder : public QObject {
public:
    // window: the dialogs' parent; status: the status line's part that shows the file.
    LogRecorder(QWidget *window, QLabel *status);
    ~LogRecorder() override;

    // The menu item (Ctrl+L), checked while logging.
    QAction *action() const { return m_action; }
    // Logs to path from now on; a box says why when it cannot. Returns 0 or a negative errno.
    int start(const QString &path);

private:
    void toggle();
    QString choosePath();
    void showState();
    // A box that leaves the window working: the exchanges go on while it is up.
    void report(const QString &path, int error, bool opening);
    static void writeFailed(const char *path, int error, void *recorder);
    static void reopened(const char *path, void *recorder);

    QWidget *m_window;
    QLabel *m_status;
    QAction *m_action;
};
