// The lab's polling, its records handed over to the window's thread.
#include "ui/qt/lab_poller.h"

#include "exchange/lab_polling.h"
#include "record/record.h"

#include <QTimer>

#include <memory>

namespace {

constexpr int REAP_MS = 200;

} // namespace

LabPoller::LabPoller(QObject *parent) : QObject(parent) {}

LabPoller::~LabPoller() {
    lab_polling_finish(m_polling);
    for (LabPolling *stopped : m_stopped) lab_polling_finish(stopped);
}

void LabPoller::start(const Lab &lab) {
    if (m_polling) {
        lab_polling_stop(m_polling);
        m_stopped.append(m_polling);
    }
    const LabPollingOptions options = {1, 0, &LabPoller::deliver, this};
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
    if (!m_stopped.isEmpty()) QTimer::singleShot(REAP_MS, this, [this] { reap(); });
}

// On a port's thread: the record goes to the window's thread, and to the readers there.
void LabPoller::deliver(const ExchangeRecord *record, void *poller) {
    auto copy = std::make_shared<ExchangeRecord>(*record);
    QMetaObject::invokeMethod(
        static_cast<LabPoller *>(poller), [copy] { publish_exchange(copy.get()); },
        Qt::QueuedConnection);
}
