// Polling the lab from the window: a worker thread per port (exchange/lab_polling.h), whose
// records come to the window's thread as posted events and are handed to every reader there. The
// window never waits for an exchange of the poller.
#pragma once

#include "exchange/lab.h"

#include <QObject>
#include <QTimer>

#include <functional>

struct ExchangeRecord;
struct LabPolling;

class LabPoller : public QObject {
public:
    explicit LabPoller(QObject *parent = nullptr);
    ~LabPoller() override; // waits for the exchanges in progress

    // Polls the lab's chambers (a copy), in place of any polling before.
    void start(const Lab &lab);
    // Ends polling after the exchanges in progress; their records still come.
    void stop();
    bool polling() const { return m_polling != nullptr; }

    // Told whenever polling starts or stops.
    std::function<void(bool polling)> onPollingChanged;

private:
    static void deliver(const ExchangeRecord *record, void *poller);
    void customEvent(QEvent *event) override; // a record delivered
    // Frees pollings that have ended since they were stopped.
    void reap();

    LabPolling *m_polling = nullptr;
    QList<LabPolling *> m_stopped; // ending in the background
    QTimer m_reap;                 // the next look at them
};
