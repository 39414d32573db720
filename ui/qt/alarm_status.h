// The window's alarms: every exchange's record judged by the program's alarm watch. The status
// line tells the alarms that stand, each alarm raised or cleared is a desktop notification, and
// the log's alarm column is filled from the same judgement.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;
struct ExchangeRecord;

class AlarmStatus : public QObject {
public:
    // Shows the standing alarms in line (the status line's part, hidden while none stands).
    AlarmStatus(QLabel *line, QObject *parent);
    ~AlarmStatus() override;
    AlarmStatus(const AlarmStatus &) = delete;
    AlarmStatus &operator=(const AlarmStatus &) = delete;

    // Watches the alarms given one a line as --alarm writes them ("A0 actual between 15 and 40",
    // "no answer for 30 s"; blank lines and "#" comments left out) on every chamber, in place of
    // those set here before. Returns an empty text, or "line N, column M: what is wrong" with
    // nothing changed.
    QString setAlarms(const QString &lines);
    QString alarms() const { return m_alarms; }

    // The status line's part is refreshed after every exchange; a run's alarms show there too.
    void refresh();

private:
    static void heard(const ExchangeRecord *record, void *context);
    void hear(const ExchangeRecord *record);

    QPointer<QLabel> m_line;
    int m_listener;
    QString m_alarms;
};
