// The reader of network port names.
#include "link/qt/network_address.h"
#include "link/qt/texts.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace {

// Letters, digits, '-', '_' and dots: what a host name of a lab network holds. Anything else
// (spaces, '/', '@', a user or a path) is refused before it reaches the resolver.
bool plainHostName(const QString &host) {
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9_]([A-Za-z0-9_.-]*)$"));
    return host.size() <= 253 && name.match(host).hasMatch();
}

} // namespace

std::optional<NetworkAddress> parseNetworkAddress(const std::string &name, QString *problem) {
    const QString text = QString::fromUtf8(name);
    const qsizetype scheme = text.indexOf(QStringLiteral("://"));
    NetworkAddress address;
    address.rfc2217 =
        text.left(scheme).compare(QStringLiteral("rfc2217"), Qt::CaseInsensitive) == 0;
    const QString rest = text.mid(scheme + 3);
    const QString usage =
        QStringLiteral(" (%1://HOST:PORT)")
            .arg(address.rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp"));

    // "[v6]:port" or "host:port", with exactly one colon outside the brackets
    qsizetype colon = -1;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        address.host = rest.mid(1, close - 1);
        if (close < 0 || QHostAddress(address.host).protocol() != QAbstractSocket::IPv6Protocol) {
            *problem = inLanguage(QStringLiteral("keine IPv6-Adresse in Klammern"),
                                  QStringLiteral("no IPv6 address in the brackets")) +
                       usage;
            return std::nullopt;
        }
        if (rest.mid(close + 1, 1) == QLatin1String(":")) colon = close + 1;
    } else {
        colon = rest.indexOf(QLatin1Char(':'));
        address.host = rest.left(colon);
        if (colon >= 0 && rest.indexOf(QLatin1Char(':'), colon + 1) >= 0) {
            *problem = inLanguage(QStringLiteral("eine IPv6-Adresse steht in Klammern"),
                                  QStringLiteral("an IPv6 address goes in brackets")) +
                       QStringLiteral(" ([::1])");
            return std::nullopt;
        }
        if (!plainHostName(address.host)) {
            *problem =
                inLanguage(QStringLiteral("kein Rechnername"), QStringLiteral("no host name")) +
                usage;
            return std::nullopt;
        }
    }
    bool number = false;
    const QString digits = colon < 0 ? QString() : rest.mid(colon + 1);
    const uint port = digits.toUInt(&number);
    if (!number || port < 1 || port > 65535 || !digits.front().isDigit()) {
        *problem = inLanguage(QStringLiteral("die Portnummer 1 bis 65535 fehlt"),
                              QStringLiteral("the port number 1 to 65535 is missing")) +
                   usage;
        return std::nullopt;
    }
    address.port = quint16(port);
    return address;
}
