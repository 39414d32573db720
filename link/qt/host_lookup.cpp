// Host names looked up on a thread of their own, waited for with a deadline.
#include "link/qt/host_lookup.h"
#include "link/qt/os.h"
#include "link/qt/texts.h"
#include "link/qt/waits.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// What the lookup thread hands over; shared, since the thread may outlive the wait.
struct Lookup {
    std::mutex lock;
    bool done = false;
    QList<QHostAddress> addresses;
    QString cause;
};

constexpr qint64 pollMs = 5; // how often the wait looks for the answer

} // namespace

QList<QHostAddress> lookUpHost(const QString &host, QDeadlineTimer deadline, QString *cause) {
    if (const QHostAddress literal(host); !literal.isNull()) return {literal};
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, host] {
            QString why;
            QList<QHostAddress> addresses = resolveHost(host, &why);
            const std::lock_guard<std::mutex> hold(lookup->lock);
            lookup->addresses = std::move(addresses);
            lookup->cause = why;
            lookup->done = true;
        }).detach();
    } catch (const std::system_error &) {
        *cause = inLanguage(QStringLiteral("kein Thread f\u00fcr die Namensaufl\u00f6sung"),
                            QStringLiteral("no thread for the name lookup"));
        return {};
    }
    for (;;) {
        {
            const std::lock_guard<std::mutex> hold(lookup->lock);
            if (lookup->done) {
                *cause = lookup->cause;
                return lookup->addresses;
            }
        }
        if (deadline.hasExpired()) break;
        waitUntil(QDeadlineTimer(std::min(pollMs, deadline.remainingTime()), Qt::PreciseTimer));
    }
    *cause = inLanguage(QStringLiteral("Rechner %1 nicht rechtzeitig aufgel\u00f6st"),
                        QStringLiteral("no address for host %1 in time"))
                 .arg(host);
    return {};
}
