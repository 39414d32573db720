// Host names looked up within a deadline: the system's resolver may take many seconds to give
// up on a name, longer than an exchange may last.
#pragma once

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>
#include <QString>

// The addresses of host, an address itself or a name the system resolves, known by the
// deadline; empty, with the cause in the panel language, otherwise. The lookup runs on a thread
// of its own, which a lookup past the deadline leaves to finish alone; the caller waits as every
// wait of the layer does (waits.h).
QList<QHostAddress> lookUpHost(const QString &host, QDeadlineTimer deadline, QString *cause);
