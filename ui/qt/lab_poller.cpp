// The lab's polling, its records handed over to the window's thread.
#include "ui/qt/lab_poller.h"

#include "exchange/lab_polling.h"
#include "record/record.h"
#include "ui/command_line.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

constexpr int REAP_MS = 200;

// A record on its way from a port's thread to the window's.
struct RecordEvent : QEvent {
    static constexpr Type TYPE = User;
    explicit RecordEvent(const ExchangeRecord &record) : QEvent(TYPE), record(record) {}
    ExchangeRecord record;
};

} // namespace

LabPoller::LabPoller(QObject *parent) : QObject(parent) {
    m_reap.setSingleShot(true);
    m_reap.setInterval(REAP_MS);
    connect(&m_reap, &QTimer::timeout, this, &LabPoller::reap);
}

LabPoller::~LabPoller() {
    lab_polling_finish(m_polling);
    for (LabPolling *stopped : m_stopped) lab_polling_finish(stopped);
}

void LabPoller::start(const Lab &lab) {
    if (m_polling) {
        lab_polling_stop(m_polling);
        m_stopped.append(m_polling);
    }
    const LabPollingOptions options = {DEFAULT_MODE, 0, &LabPoller::deliver, this};
    m_polling = lab_polling_start(&lab, &options);
    reap();
    if (onPollingChanged) onPollingChanged(m_polling != nullptr);
}

void LabPoller::stop() {
    if (!m_polling) return;
    lab_polling_stop(m_polling);
    m_stopped.append(m_polling);
    m_polling = nullptr;
    reap();
    if (onPollingChanged) onPollingChanged(false);
}

// A port's thread that was asked to stop ends after its exchange in progress; it is joined once
// it has, never by waiting for it on the window's thread.
void LabPoller::reap() {
    for (qsizetype i = m_stopped.size() - 1; i >= 0; i--) {
        if (!lab_polling_ended(m_stopped[i])) continue;
        lab_polling_finish(m_stopped[i]);
        m_stopped.removeAt(i);
    }
    if (!m_stopped.isEmpty() && !m_reap.isActive()) m_reap.start();
}

// On a port's thread: a copy of the record goes to the window's thread, and to the readers there.
// The event queue owns it, and drops it with the poller.
void LabPoller::deliver(const ExchangeRecord *record, void *poller) {
    QCoreApplication::postEvent(static_cast<LabPoller *>(poller), new RecordEvent(*record));
}

void LabPoller::customEvent(QEvent *event) {
    if (event->type() == RecordEvent::TYPE)
        publish_exchange(&static_cast<RecordEvent *>(event)->record);
}
